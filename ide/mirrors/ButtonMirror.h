// A push button of a form as a QPushButton where the form puts it, following its caption,
// enabled state, visibility and bounds as they change. A click goes through the dialog the
// button stands on (which settles a grid's open cell first), else straight to the model.
#pragma once

#include "vcl/StdCtrls.h"

#include <QPushButton>

class ButtonMirror : public QPushButton, private TControlView {
  Q_OBJECT
public:
  ButtonMirror(TButton* Model, QWidget* Parent);
  ~ButtonMirror() override;

  // The model button, or nullptr once it is gone.
  TButton* Model() const { return FModel; }

private:
  void CaptionChanged(TControl*) override;
  void EnabledChanged(TControl*) override;
  void VisibleChanged(TControl*) override;
  void BoundsChanged(TControl*) override;
  void ComponentDestroying(TComponent*) override;

  TButton* FModel;
};
