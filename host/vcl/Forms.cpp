#include "vcl/Forms.h"

#include "rtl/Assert.h"
#include <algorithm>
#include <limits>

namespace {
THookSlot<TModalRunner>& Runners() {
  static THookSlot<TModalRunner> Slot;
  return Slot;
}
} // namespace

const TModalRunner& ModalRunner() {
  return Runners().Current();
}

TModalRunnerScope::TModalRunnerScope(TModalRunner Runner) : FScope(Runners(), std::move(Runner)) {}
TModalRunnerScope::~TModalRunnerScope() = default;

const TEnumInfo& ModalResultIdents() {
  static const TEnumInfo Info{{},
                              {{u"mrNone", mrNone},
                               {u"mrOk", mrOk},
                               {u"mrCancel", mrCancel},
                               {u"mrAbort", mrAbort},
                               {u"mrRetry", mrRetry},
                               {u"mrIgnore", mrIgnore},
                               {u"mrYes", mrYes},
                               {u"mrNo", mrNo},
                               {u"mrAll", mrAll},
                               {u"mrNoToAll", mrNoToAll},
                               {u"mrYesToAll", mrYesToAll},
                               {u"mrClose", mrClose}}};
  return Info;
}

TCustomForm* GetParentForm(TControl* Control) {
  while (Control && !dynamic_cast<TCustomForm*>(Control))
    Control = Control->Parent();
  return static_cast<TCustomForm*>(Control);
}

// --- TCustomForm ------------------------------------------------------------------------------

namespace {
const TEnumInfo& BorderStyleInfo() {
  static const TEnumInfo Info{
      {u"bsNone", u"bsSingle", u"bsSizeable", u"bsDialog", u"bsToolWindow", u"bsSizeToolWin"}, {}};
  return Info;
}
const TEnumInfo& PositionInfo() {
  static const TEnumInfo Info{{u"poDesigned", u"poDefault", u"poDefaultPosOnly",
                               u"poDefaultSizeOnly", u"poScreenCenter", u"poDesktopCenter",
                               u"poMainFormCenter", u"poOwnerFormCenter"},
                              {}};
  return Info;
}
} // namespace

const TClassInfo& TCustomForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCustomForm>(u"TCustomForm", &TWinControl::StaticClass())
          .Ord(u"BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
               &BorderStyleInfo())
          .Str(u"Caption", &TCustomForm::Caption, &TCustomForm::SetCaption)
          .Ord(u"ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
          .Ord(u"ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
          .Ord(u"Color", &TCustomForm::Color, &TCustomForm::SetColor, &ColorIdents())
          .Ord(u"Ctl3D", &TCustomForm::Ctl3D, &TCustomForm::SetCtl3D)
          .Object(u"Font", &TCustomForm::Font)
          .Ord(u"OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder)
          .Ord(u"PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch)
          .Ord(u"Position", &TCustomForm::Position, &TCustomForm::SetPosition, &PositionInfo())
          .Ord(u"TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight)
          .Event(u"OnCreate", &TCustomForm::OnCreate)
          .Event(u"OnDestroy", &TCustomForm::OnDestroy);
  return Info;
}
HOST_CLASS_TYPE(TCustomForm)

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
  SetColor(clBtnFace);
  if (Screen)
    Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
  if (Screen)
    std::erase(Screen->FForms, this);
}

void TCustomForm::AfterConstruction() {
  TWinControl::AfterConstruction();
  if (OnCreate)
    OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
  const bool First = !(ComponentState() & csDestroying);
  TWinControl::BeforeDestruction();
  if (First && OnDestroy)
    OnDestroy(this);
}

void TCustomForm::SetCaption(const UnicodeString& Value) {
  ChangeProperty(FCaption, Value, &TControlView::CaptionChanged, this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  ChangeProperty(FBorderStyle, Value, &TFormView::BorderStyleChanged, this);
}

void TCustomForm::SetPosition(TPosition Value) {
  FPosition = Value;
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
  if (Value == FActiveControl)
    return;
  if (Value && GetParentForm(Value) != this)
    throw EInvalidOperation(u"Cannot focus " + Value->Name() + u": it is not on form " + Name());
  if (FActiveControl)
    FActiveControl->RemoveFreeNotification(this);
  FActiveControl = Value;
  if (FActiveControl)
    FActiveControl->FreeNotification(this);
  NotifyViews(&TFormView::ActiveControlChanged, this);
}

void TCustomForm::SelectFirst() {
  // Controls without a tab order (-1) come after the others, in the order they were placed.
  auto Rank = [](const TControl* C) {
    return C->TabOrder() >= 0 ? C->TabOrder() : std::numeric_limits<int>::max();
  };
  TWinControl* First = nullptr;
  for (int I = 0; I < ControlCount(); ++I) {
    auto* C = dynamic_cast<TWinControl*>(Controls(I));
    if (C && C->Visible() && (!First || Rank(C) < Rank(First)))
      First = C;
  }
  if (First)
    SetActiveControl(First);
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FActiveControl)
    FActiveControl = nullptr;
}

void TCustomForm::ApplyPosition() {
  const TControl* Around = nullptr;
  switch (FPosition) {
  case poMainFormCenter:
    Around = Application ? Application->MainForm() : nullptr;
    break;
  case poOwnerFormCenter:
    Around = dynamic_cast<TCustomForm*>(Owner());
    break;
  case poScreenCenter:
  case poDesktopCenter:
    break;
  default:
    return;
  }
  if (Around == this)
    Around = nullptr;
  if (Around)
    SetBounds(Around->Left() + (Around->Width() - Width()) / 2,
              Around->Top() + (Around->Height() - Height()) / 2, Width(), Height());
  else if (Screen)
    SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(),
              Height());
}

void TCustomForm::Close() {
  if (FModal)
    SetModalResult(mrCancel);
  else
    SetVisible(false);
}

void TCustomForm::SetModalResult(int Value) {
  FModalResult = Value;
  if (FModal && Value != mrNone)
    NotifyViews(&TFormView::ModalResultChanged, this);
}

int TCustomForm::ShowModal() {
  if (FModal || Visible())
    throw EInvalidOperation(u"Cannot make a visible window modal");
  if (!ModalRunner())
    throw EInvalidOperation(u"Cannot show form " + Name() +
                            u" modally: no front end runs modal forms");
  struct TModalState {
    TCustomForm& F;
    ~TModalState() {
      F.FModal = false;
      F.SetVisible(false);
    }
  } State{*this};
  ApplyPosition();
  if (!FActiveControl)
    SelectFirst();
  FModal = true;
  FModalResult = mrNone;
  SetVisible(true);
  // A copy: the runner may install or remove others while it runs.
  const TModalRunner Runner = ModalRunner();
  FModalResult = Runner(*this);
  HOST_ASSERT(FModal, "a form stays modal until its modal run returns");
  return FModalResult;
}

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TForm>(u"TForm", &TCustomForm::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TForm)

// --- TApplication / TScreen -------------------------------------------------------------------

const TClassInfo& TApplication::StaticClass() {
  static const TClassInfo Info(u"TApplication", &TComponent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TApplication)

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

void TApplication::SetMainForm(TForm* Value) {
  if (FMainForm)
    FMainForm->RemoveFreeNotification(this);
  FMainForm = Value;
  if (FMainForm)
    FMainForm->FreeNotification(this);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FMainForm)
    FMainForm = nullptr;
}

const TClassInfo& TScreen::StaticClass() {
  static const TClassInfo Info(u"TScreen", &TComponent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TScreen)

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

void TScreen::SetSize(int AWidth, int AHeight) {
  FWidth = AWidth;
  FHeight = AHeight;
}

TCustomForm* TScreen::Forms(int Index) const {
  if (Index < 0 || Index >= FormCount())
    throw EListError(u"Form index out of bounds (" + IntToStr(Index) + u")");
  return FForms[static_cast<size_t>(Index)];
}

namespace {
// Application and Screen live as long as the library; forms the application still owns at
// unload are released with it.
struct TGlobals {
  TGlobals() {
    Screen = new TScreen(nullptr);
    Application = new TApplication(nullptr);
  }
  ~TGlobals() {
    FreeAndNil(Application);
    FreeAndNil(Screen);
  }
};
} // namespace

TApplication* Application = nullptr;
TScreen* Screen = nullptr;
static TGlobals Globals;
