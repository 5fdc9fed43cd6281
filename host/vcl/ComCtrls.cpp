#include "vcl/ComCtrls.h"

#include "vcl/Menus.h"

const TClassInfo& TToolButton::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TToolButton>(u"TToolButton", &TControl::StaticClass())
          .Creatable()
          .Ord(u"ImageIndex", &TToolButton::ImageIndex, &TToolButton::SetImageIndex)
          .Event(u"OnClick", &TToolButton::OnClick);
  return Info;
}
HOST_CLASS_TYPE(TToolButton)

TToolButton::TToolButton(TComponent* AOwner) : TControl(AOwner) {}

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (Value == FStyle)
    return;
  FStyle = Value;
  Changed(u"Style");
}

void TToolButton::SetImageIndex(int Value) {
  if (Value == FImageIndex)
    return;
  FImageIndex = Value;
  Changed(u"ImageIndex");
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
  if (Value == FDropdownMenu)
    return;
  if (FDropdownMenu)
    FDropdownMenu->RemoveFreeNotification(this);
  FDropdownMenu = Value;
  if (FDropdownMenu)
    FDropdownMenu->FreeNotification(this);
  Changed(u"DropdownMenu");
}

void TToolButton::Click() {
  if (OnClick)
    OnClick(this);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FDropdownMenu)
    FDropdownMenu = nullptr;
}

const TClassInfo& TToolBar::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TToolBar>(u"TToolBar", &TWinControl::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TToolBar)

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {}

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
