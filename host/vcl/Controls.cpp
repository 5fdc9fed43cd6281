#include "vcl/Controls.h"

#include "rtl/Assert.h"

#include <algorithm>

const TClassInfo& TControl::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TControl>(u"TControl", &TComponent::StaticClass())
                                     .Ord(u"Left", &TControl::Left, &TControl::SetLeft)
                                     .Ord(u"Top", &TControl::Top, &TControl::SetTop)
                                     .Ord(u"Width", &TControl::Width, &TControl::SetWidth)
                                     .Ord(u"Height", &TControl::Height, &TControl::SetHeight)
                                     .Ord(u"Visible", &TControl::Visible, &TControl::SetVisible)
                                     .Str(u"Hint", &TControl::Hint, &TControl::SetHint)
                                     .Ord(u"ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
                                     .Ord(u"TabOrder", &TControl::TabOrder, &TControl::SetTabOrder);
  return Info;
}
HOST_CLASS_TYPE(TControl)

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetColor(TColor Value) {
  ChangeProperty(FColor, Value, &TControlView::ColorChanged, this);
}

TFont* TControl::Font() const {
  if (!FFont) {
    FFont.reset(new TFont);
    auto* Self = const_cast<TControl*>(this);
    FFont->OnChange = [Self](TObject*) { Self->NotifyViews(&TControlView::FontChanged, Self); };
  }
  return FFont.get();
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent)
    return;
  if (FParent)
    FParent->RemoveControl(this);
  if (AParent)
    AParent->InsertControl(this);
  HOST_ASSERT(FParent == AParent, "a control's parent is the one it was last given");
  NotifyViews(&TControlView::ParentChanged, this);
}

void TControl::SetVisible(bool Value) {
  if (!ChangeProperty(FVisible, Value, &TControlView::VisibleChanged, this))
    return;
  if (FParent)
    FParent->ChildChanged(this, u"Visible");
}

void TControl::SetLeft(int Value) {
  SetBounds(Value, FTop, FWidth, FHeight);
}
void TControl::SetTop(int Value) {
  SetBounds(FLeft, Value, FWidth, FHeight);
}
void TControl::SetWidth(int Value) {
  SetBounds(FLeft, FTop, Value, FHeight);
}
void TControl::SetHeight(int Value) {
  SetBounds(FLeft, FTop, FWidth, Value);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
    return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  NotifyViews(&TControlView::BoundsChanged, this);
  if (FParent)
    FParent->ChildChanged(this, u"Bounds");
}

void TControl::SetHint(const UnicodeString& Value) {
  ChangeProperty(FHint, Value, &TControlView::HintChanged, this);
}

void TControl::SetShowHint(bool Value) {
  FShowHint = Value;
}
void TControl::SetTabOrder(int Value) {
  FTabOrder = Value;
}

// --- TWinControl ------------------------------------------------------------------------------

const TClassInfo& TWinControl::StaticClass() {
  static const TClassInfo Info(u"TWinControl", &TControl::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TWinControl)

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  while (!FControls.empty()) {
    TControl* Last = FControls.back();
    RemoveControl(Last);
    Free(Last);
  }
}

TControl* TWinControl::Controls(int Index) const {
  if (Index < 0 || Index >= ControlCount())
    throw EListError(u"Control index out of bounds (" + IntToStr(Index) + u")");
  return FControls[static_cast<size_t>(Index)];
}

int TWinControl::InsertPosition(const TControl*) const {
  return ControlCount();
}

void TWinControl::ChildChanged(TControl*, std::u16string_view) {}

void TWinControl::InsertControl(TControl* AControl) {
  HOST_ASSERT(!AControl->FParent &&
                  std::find(FControls.begin(), FControls.end(), AControl) == FControls.end(),
              "a control joins a parent only after leaving the last one");
  int At = std::clamp(InsertPosition(AControl), 0, ControlCount());
  FControls.insert(FControls.begin() + At, AControl);
  AControl->FParent = this;
  NotifyViews(&TWinControlView::ControlsChanged, this);
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto It = std::find(FControls.begin(), FControls.end(), AControl);
  if (It == FControls.end())
    return;
  HOST_ASSERT(AControl->FParent == this, "a control in a parent's list has it as its parent");
  FControls.erase(It);
  AControl->FParent = nullptr;
  NotifyViews(&TWinControlView::ControlsChanged, this);
}
