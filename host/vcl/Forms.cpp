#include "vcl/Forms.h"

#include <algorithm>

namespace {
TModalRunner& Runner() {
  static TModalRunner R;
  return R;
}
} // namespace

void SetModalRunner(TModalRunner Runner_) {
  Runner() = std::move(Runner_);
}
const TModalRunner& ModalRunner() {
  return Runner();
}

// --- TCustomForm ------------------------------------------------------------------------------

const TClassInfo& TCustomForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCustomForm>(u"TCustomForm", &TWinControl::StaticClass())
          .Str(u"Caption", &TCustomForm::Caption, &TCustomForm::SetCaption)
          .Event(u"OnCreate", &TCustomForm::OnCreate)
          .Event(u"OnDestroy", &TCustomForm::OnDestroy);
  return Info;
}
HOST_CLASS_TYPE(TCustomForm)

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
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
  if (Value == FCaption)
    return;
  FCaption = Value;
  Changed(u"Caption");
}

void TCustomForm::SetModalResult(int Value) {
  FModalResult = Value;
  if (FModal && Value != mrNone)
    Changed(u"ModalResult");
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
  FModal = true;
  FModalResult = mrNone;
  SetVisible(true);
  FModalResult = ModalRunner()(*this);
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
