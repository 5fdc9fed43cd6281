// A form of the model shown as a real modal dialog: the form's caption, size, position rule,
// font and colour, its buttons as push buttons and its grids as grid widgets, each where the
// layout puts it. A button's click goes to the model; when the model's form gets a modal
// result, the dialog closes with it. Enter clicks the form's default (or OK) button, Escape its
// cancel (or Cancel) button.
#pragma once

#include "rtl/Component.h"
#include "vcl/Forms.h"

#include <QDialog>

class TCustomForm;
class TButton;

class DesktopFormDialog : public QDialog, private TComponentView {
  Q_OBJECT
public:
  DesktopFormDialog(TCustomForm* Form, QWidget* Parent);
  ~DesktopFormDialog() override;

  // Runs the dialog modally and returns the form's modal result.
  int Run();

  // A modal runner that shows every modal form of the model this way, over Parent.
  static TModalRunner Runner(QWidget* Parent);
  // Makes Runner(Parent) the modal runner in force when no scope has installed one.
  static void InstallModalRunner(QWidget* Parent);

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void reject() override;

private:
  void ComponentChanged(TComponent* Sender, std::u16string_view Property) override;
  void ComponentDestroying(TComponent* Sender) override;
  TButton* ButtonFor(bool Default) const;
  void ClickModel(TButton* Button);

  TCustomForm* FForm;
};
