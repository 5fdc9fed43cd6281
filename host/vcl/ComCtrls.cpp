#include "vcl/ComCtrls.h"

#include "rtl/SysUtils.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

#include <algorithm>

namespace {
const TEnumInfo& ToolButtonStyleInfo() {
  static const TEnumInfo Info{
      {u"tbsButton", u"tbsCheck", u"tbsDropDown", u"tbsSeparator", u"tbsDivider"}, {}};
  return Info;
}
constexpr int DefaultButtonWidth = 23;
constexpr int DefaultButtonHeight = 22;
constexpr int SeparatorWidth = 8;
} // namespace

// --- TToolButton ------------------------------------------------------------------------------

const TClassInfo& TToolButton::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TToolButton>(u"TToolButton", &TControl::StaticClass())
          .Creatable()
          .Ord(u"Style", &TToolButton::Style, &TToolButton::SetStyle, &ToolButtonStyleInfo())
          .Ord(u"ImageIndex", &TToolButton::ImageIndex, &TToolButton::SetImageIndex)
          .Ord(u"Down", &TToolButton::Down, &TToolButton::SetDown)
          .Str(u"Caption", &TToolButton::Caption, &TToolButton::SetCaption)
          .Ord(u"Enabled", &TToolButton::Enabled, &TToolButton::SetEnabled)
          .Event(u"OnClick", &TToolButton::OnClick);
  return Info;
}
HOST_CLASS_TYPE(TToolButton)

TToolButton::TToolButton(TComponent* AOwner) : TControl(AOwner) {
  SetBounds(0, 0, DefaultButtonWidth, DefaultButtonHeight);
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (Value == FStyle)
    return;
  const bool Separator =
      Value == TToolButtonStyle::tbsSeparator || Value == TToolButtonStyle::tbsDivider;
  FStyle = Value;
  // A separator is narrow unless it was given a width of its own.
  if (Separator && Width() == DefaultButtonWidth)
    SetWidth(SeparatorWidth);
  else if (!Separator && Width() == SeparatorWidth)
    SetWidth(DefaultButtonWidth);
  NotifyViews(&TToolButtonView::StyleChanged, this);
}

void TToolButton::SetImageIndex(int Value) {
  ChangeProperty(FImageIndex, Value, &TToolButtonView::ImageIndexChanged, this);
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
  if (Value == FDropdownMenu)
    return;
  if (FDropdownMenu)
    FDropdownMenu->RemoveFreeNotification(this);
  FDropdownMenu = Value;
  if (FDropdownMenu)
    FDropdownMenu->FreeNotification(this);
  NotifyViews(&TToolButtonView::DropdownMenuChanged, this);
}

void TToolButton::SetDown(bool Value) {
  ChangeProperty(FDown, Value, &TToolButtonView::DownChanged, this);
}

void TToolButton::SetCaption(const UnicodeString& Value) {
  ChangeProperty(FCaption, Value, &TControlView::CaptionChanged, this);
}

void TToolButton::SetEnabled(bool Value) {
  ChangeProperty(FEnabled, Value, &TControlView::EnabledChanged, this);
}

TToolBar* TToolButton::ToolBar() const {
  return dynamic_cast<TToolBar*>(Parent());
}

void TToolButton::Click() {
  if (!FEnabled)
    return;
  if (FStyle == TToolButtonStyle::tbsCheck)
    SetDown(!FDown);
  if (OnClick)
    OnClick(this);
}

bool TToolButton::CheckMenuDropdown() {
  if (!FDropdownMenu)
    return false;
  // Below the button, in the coordinates of its tool bar.
  FDropdownMenu->Popup(Left(), Top() + Height());
  return true;
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FDropdownMenu)
    FDropdownMenu = nullptr;
}

// --- TToolBar ---------------------------------------------------------------------------------

const TClassInfo& TToolBar::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TToolBar>(u"TToolBar", &TWinControl::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TToolBar)

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 150, 29);
}

int TToolBar::ButtonCount() const {
  int N = 0;
  for (int I = 0; I < ControlCount(); ++I)
    if (dynamic_cast<TToolButton*>(Controls(I)))
      ++N;
  return N;
}

TToolButton* TToolBar::Buttons(int Index) const {
  int N = 0;
  for (int I = 0; I < ControlCount(); ++I)
    if (auto* B = dynamic_cast<TToolButton*>(Controls(I)))
      if (N++ == Index)
        return B;
  throw EListError(u"Button index out of bounds (" + IntToStr(Index) + u")");
}

void TToolBar::SetImages(TCustomImageList* Value) {
  if (Value == FImages)
    return;
  if (FImages)
    FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (FImages)
    FImages->FreeNotification(this);
  NotifyViews(&TToolBarView::ImagesChanged, this);
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FImages)
    FImages = nullptr;
}

int TToolBar::InsertPosition(const TControl* AControl) const {
  for (int I = 0; I < ControlCount(); ++I)
    if (Controls(I) != AControl && Controls(I)->Left() >= AControl->Left())
      return I;
  return ControlCount();
}

void TToolBar::InsertControl(TControl* AControl) {
  TWinControl::InsertControl(AControl);
  ArrangeControls();
}

void TToolBar::RemoveControl(TControl* AControl) {
  TWinControl::RemoveControl(AControl);
  ArrangeControls();
}

void TToolBar::ChildChanged(TControl* AControl, std::u16string_view What) {
  TWinControl::ChildChanged(AControl, What);
  if (FArranging)
    return;
  if (What == u"Bounds") {
    // A control whose Left no longer fits its place moves to the place its Left gives it.
    std::vector<TControl*>& List = ControlList();
    auto It = std::find(List.begin(), List.end(), AControl);
    if (It == List.end())
      return;
    const bool AfterPrevious = It == List.begin() || (*(It - 1))->Left() <= AControl->Left();
    const bool BeforeNext = It + 1 == List.end() || (*(It + 1))->Left() >= AControl->Left();
    if (!AfterPrevious || !BeforeNext) {
      List.erase(It);
      List.insert(List.begin() + InsertPosition(AControl), AControl);
      NotifyViews(&TWinControlView::ControlsChanged, this);
    }
  }
  ArrangeControls();
}

void TToolBar::ArrangeControls() {
  if (FArranging)
    return;
  FArranging = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } Done{FArranging};
  int X = 0;
  for (int I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    C->SetLeft(X);
    if (C->Visible())
      X += C->Width();
  }
}
