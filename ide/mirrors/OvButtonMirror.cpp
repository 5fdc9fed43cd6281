#include "OvButtonMirror.h"

#include "OvFailures.h"
#include "OvFormDialog.h"
#include "OvQtStrings.h"

OvButtonMirror::OvButtonMirror(TButton* Model, QWidget* Parent)
    : QPushButton(Parent), FModel(Model) {
  setObjectName(ToQString(Model->Name()));
  setAutoDefault(false);
  CaptionChanged(Model);
  EnabledChanged(Model);
  BoundsChanged(Model);
  connect(this, &QPushButton::clicked, this, [this] {
    if (!FModel)
      return;
    if (auto* Dialog = qobject_cast<OvFormDialog*>(parentWidget()))
      Dialog->ClickButton(FModel);
    else
      RunGuarded(window(), [&] { FModel->Click(); });
  });
  FModel->AddView(this);
}

OvButtonMirror::~OvButtonMirror() {
  if (FModel)
    FModel->RemoveView(this);
}

void OvButtonMirror::CaptionChanged(TControl*) {
  setText(ToQString(FModel->Caption()));
}

void OvButtonMirror::EnabledChanged(TControl*) {
  setEnabled(FModel->Enabled());
}

void OvButtonMirror::VisibleChanged(TControl*) {
  setVisible(FModel->Visible());
}

void OvButtonMirror::BoundsChanged(TControl*) {
  setGeometry(FModel->Left(), FModel->Top(), FModel->Width(), FModel->Height());
}

void OvButtonMirror::ComponentDestroying(TComponent*) {
  FModel = nullptr;
  setEnabled(false);
}
