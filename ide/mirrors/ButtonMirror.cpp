#include "ButtonMirror.h"

#include "Failures.h"
#include "FormDialog.h"
#include "QtStrings.h"

ButtonMirror::ButtonMirror(TButton* Model, QWidget* Parent) : QPushButton(Parent), FModel(Model) {
  setObjectName(ToQString(Model->Name()));
  setAutoDefault(false);
  CaptionChanged(Model);
  EnabledChanged(Model);
  BoundsChanged(Model);
  connect(this, &QPushButton::clicked, this, [this] {
    if (!FModel)
      return;
    if (auto* Dialog = qobject_cast<FormDialog*>(parentWidget()))
      Dialog->ClickButton(FModel);
    else
      RunGuarded(window(), [&] { FModel->Click(); });
  });
  FModel->AddView(this);
}

ButtonMirror::~ButtonMirror() {
  if (FModel)
    FModel->RemoveView(this);
}

void ButtonMirror::CaptionChanged(TControl*) {
  setText(ToQString(FModel->Caption()));
}

void ButtonMirror::EnabledChanged(TControl*) {
  setEnabled(FModel->Enabled());
}

void ButtonMirror::VisibleChanged(TControl*) {
  setVisible(FModel->Visible());
}

void ButtonMirror::BoundsChanged(TControl*) {
  setGeometry(FModel->Left(), FModel->Top(), FModel->Width(), FModel->Height());
}

void ButtonMirror::ComponentDestroying(TComponent*) {
  FModel = nullptr;
  setEnabled(false);
}
