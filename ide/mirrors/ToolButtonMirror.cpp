#include "ToolButtonMirror.h"

#include "Failures.h"
#include "MenuMirrors.h"
#include "QtGraphics.h"
#include "QtStrings.h"

#include "vcl/Menus.h"

#include <QAction>

ToolButtonMirror::ToolButtonMirror(TToolButton* Model, QWidget* Parent, TImageSource Images)
    : QToolButton(Parent), FModel(Model), FImages(std::move(Images)) {
  setObjectName(ToQString(Model->Name()));
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  CaptionChanged(Model);
  HintChanged(Model);
  EnabledChanged(Model);
  ShowImage();
  ShowStyle();
  DownChanged(Model);
  // Qt toggles a check button by itself; the model's click toggles Down, which is shown back.
  connect(this, &QToolButton::clicked, this, [this] {
    if (FModel)
      RunGuarded(window(), [&] { FModel->Click(); });
    if (FModel)
      DownChanged(FModel);
  });
  FModel->AddView(this);
}

ToolButtonMirror::~ToolButtonMirror() {
  if (auto* M = qobject_cast<PopupMenuMirror*>(menu()))
    M->Detach();
  if (FModel)
    FModel->RemoveView(this);
}

void ToolButtonMirror::ShowThrough(QAction* Action) {
  FAction = Action;
  if (FModel)
    VisibleChanged(FModel);
}

void ToolButtonMirror::SetImages(TImageSource Images) {
  FImages = std::move(Images);
  ShowImage();
}

void ToolButtonMirror::ShowImage() {
  if (!FModel)
    return;
  if (FImages)
    setIcon(FImages(FModel->ImageIndex()));
  else
    setIcon(
        ToQIcon(FModel->ToolBar() ? FModel->ToolBar()->Images() : nullptr, FModel->ImageIndex()));
}

void ToolButtonMirror::VisibleChanged(TControl*) {
  if (FAction)
    FAction->setVisible(FModel->Visible());
  else
    setVisible(FModel->Visible());
}

void ToolButtonMirror::HintChanged(TControl*) {
  setToolTip(ToQString(FModel->Hint()));
}

void ToolButtonMirror::CaptionChanged(TControl*) {
  // Shown as an icon; the text is what a screen reader and a text-only style show.
  setText(ToQString(FModel->Caption().empty() ? FModel->Name() : FModel->Caption()));
}

void ToolButtonMirror::EnabledChanged(TControl*) {
  setEnabled(FModel->Enabled());
}

void ToolButtonMirror::DownChanged(TToolButton*) {
  if (isCheckable())
    setChecked(FModel->Down());
  else
    setDown(FModel->Down());
}

void ToolButtonMirror::ShowStyle() {
  setCheckable(FModel->Style() == TToolButtonStyle::tbsCheck);
  TPopupMenu* Popup =
      FModel->Style() == TToolButtonStyle::tbsDropDown ? FModel->DropdownMenu() : nullptr;
  auto* Shown = qobject_cast<PopupMenuMirror*>(menu());
  if (Shown && Shown->Popup() == Popup)
    return;
  if (Shown) {
    Shown->Detach();
    setMenu(nullptr);
    Shown->deleteLater();
  }
  if (Popup) {
    setPopupMode(QToolButton::MenuButtonPopup);
    setMenu(new PopupMenuMirror(Popup, this));
  } else {
    setPopupMode(QToolButton::DelayedPopup);
  }
}

void ToolButtonMirror::ComponentDestroying(TComponent*) {
  FModel = nullptr;
  // What is left of the button reaches nothing until its bar takes it away.
  setEnabled(false);
  if (auto* M = qobject_cast<PopupMenuMirror*>(menu()))
    M->Detach();
}
