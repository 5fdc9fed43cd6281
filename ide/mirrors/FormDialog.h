// A form of the model shown as a real modal dialog: the form's caption, size, position rule,
// font and colour, its buttons as push buttons and its grids as grid widgets, each where the
// layout puts it. A button's click goes to the model; when the model's form gets a modal
// result, the dialog closes with it. Enter clicks the form's default (or OK) button, Escape its
// cancel (or Cancel) button. A cell being edited in a grid is confirmed when the dialog is
// accepted in any way (any result but Cancel), and dropped when it is cancelled.
//
// Each control of the form is shown by the mirror registered for its class, or for its nearest
// ancestor class that has one (MirrorRegistry::Standard()); a control without a mirror is
// reported as a failure and left out.
#pragma once

#include "rtl/Component.h"
#include "vcl/Forms.h"

#include <QDialog>

class TButton;
class TControl;

class FormDialog : public QDialog, private TFormView {
  Q_OBJECT
public:
  FormDialog(TCustomForm* Form, QWidget* Parent);
  ~FormDialog() override;

  // Runs the dialog modally and returns the form's modal result.
  int Run();

  // A modal runner that shows every modal form of the model this way, over Parent (or with no
  // parent once Parent is gone).
  static TModalRunner Runner(QWidget* Parent);

  // What a click of the user on a button of the form does: the cell being edited in a grid is
  // kept for any button but the one that cancels, then the model's button is clicked.
  void ClickButton(TButton* Button);

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void reject() override;

private:
  void ModalResultChanged(TCustomForm* Sender) override;
  void CaptionChanged(TControl* Sender) override;
  void ComponentDestroying(TComponent* Sender) override;
  // Confirms (or drops) what the grids' cell editors hold.
  void FinishCellEditing(bool Confirm);
  TButton* ButtonFor(bool Default) const;

  TCustomForm* FForm;
};

// While it lives, every form the model shows modally (ShowModal) runs as an FormDialog over
// Parent, a host's main window as a rule; the runner it covered is in force again afterwards.
// Scopes of modal runners end in the reverse order of their start.
class ModalDialogScope {
public:
  explicit ModalDialogScope(QWidget* Parent) : FScope(FormDialog::Runner(Parent)) {}

private:
  TModalRunnerScope FScope;
};
