#include "FormDialog.h"

#include "Failures.h"
#include "GridMirror.h"
#include "MirrorRegistry.h"
#include "QtGraphics.h"
#include "QtStrings.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <memory>

FormDialog::FormDialog(TCustomForm* Form, QWidget* Parent) : QDialog(Parent), FForm(Form) {
  setObjectName(ToQString(Form->Name()));
  setWindowTitle(ToQString(Form->Caption()));
  setFixedSize(Form->ClientWidth(), Form->ClientHeight());
  if (Form->BorderStyle() == bsDialog)
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  QFont F = font();
  if (!Form->Font()->Name().empty())
    F.setFamily(ToQString(Form->Font()->Name()));
  if (Form->Font()->Height() != 0)
    F.setPixelSize(std::abs(Form->Font()->Height()));
  setFont(F);
  QPalette Pal = palette();
  Pal.setColor(QPalette::Window, ToQColor(Form->Color(), Pal));
  setPalette(Pal);
  setAutoFillBackground(true);

  // The model has placed the form by its position rule; centred forms are centred here too.
  if (Form->Position() == poScreenCenter || Form->Position() == poDesktopCenter) {
    if (QScreen* S = QGuiApplication::primaryScreen()) {
      const QRect Area = S->availableGeometry();
      move(Area.center() - QPoint(width() / 2, height() / 2));
    }
  } else {
    move(Form->Left(), Form->Top());
  }

  QStringList Missing;
  for (int I = 0; I < Form->ControlCount(); ++I) {
    TControl* C = Form->Controls(I);
    QObject* Made = MirrorRegistry::Standard().Create(C, this);
    auto* Shown = qobject_cast<QWidget*>(Made);
    if (!Shown) {
      delete Made;
      Missing << QStringLiteral("%1 (%2)").arg(ToQString(C->Name()),
                                               ToQString(C->ClassType().ClassName()));
      continue;
    }
    Shown->setVisible(C->Visible());
  }
  if (!Missing.isEmpty())
    ReportFailure(Parent ? Parent : this,
                  QStringLiteral("The form %1 has controls that cannot be shown: "
                                 "%2. The dialog opens without them.")
                      .arg(ToQString(Form->Name()), Missing.join(QStringLiteral(", "))));
  // Focus follows the model's active control, the grid of a dialog as a rule.
  if (FForm->ActiveControl())
    if (auto* W = findChild<QWidget*>(ToQString(FForm->ActiveControl()->Name())))
      W->setFocus();
  FForm->AddView(this);
}

FormDialog::~FormDialog() {
  if (FForm)
    FForm->RemoveView(this);
}

int FormDialog::Run() {
  exec();
  // The keyboard goes back to the window that opened the dialog; without a window manager
  // nobody else gives it back, and Alt+A and the like would reach nothing.
  if (QWidget* Owner = parentWidget())
    Owner->window()->activateWindow();
  return FForm ? FForm->ModalResult() : mrCancel;
}

TModalRunner FormDialog::Runner(QWidget* Parent) {
  return [Owner = QPointer<QWidget>(Parent)](TCustomForm& Form) {
    // The form's mirror as registered, this dialog unless a front end put another in its place.
    std::unique_ptr<FormDialog> Dialog(
        MirrorRegistry::Standard().CreateAs<FormDialog>(&Form, Owner.data()));
    if (!Dialog)
      Dialog = std::make_unique<FormDialog>(&Form, Owner.data());
    return Dialog->Run();
  };
}

void FormDialog::ClickButton(TButton* Button) {
  // As focus leaving a grid for a button would: the cell being edited is kept for any button
  // but the one that cancels.
  FinishCellEditing(!Button->Cancel() && Button->ModalResult() != mrCancel);
  RunGuarded(this, [&] { Button->Click(); });
}

void FormDialog::FinishCellEditing(bool Confirm) {
  for (GridMirror* Grid : findChildren<GridMirror*>())
    Grid->FinishEditing(Confirm);
}

TButton* FormDialog::ButtonFor(bool Default) const {
  if (!FForm)
    return nullptr;
  TButton* ByResult = nullptr;
  for (int I = 0; I < FForm->ControlCount(); ++I)
    if (auto* B = dynamic_cast<TButton*>(FForm->Controls(I))) {
      if (Default ? B->Default() : B->Cancel())
        return B;
      if (!ByResult && B->ModalResult() == (Default ? mrOk : mrCancel))
        ByResult = B;
    }
  return ByResult;
}

void FormDialog::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    if (TButton* B = ButtonFor(true))
      ClickButton(B);
    return;
  }
  if (Event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  QDialog::keyPressEvent(Event);
}

void FormDialog::reject() {
  // Escape or the window's close box: the cancel button's click, else the form's Close.
  if (TButton* B = ButtonFor(false))
    ClickButton(B);
  else if (FForm)
    RunGuarded(this, [&] { FForm->Close(); });
  else
    QDialog::reject();
}

void FormDialog::ModalResultChanged(TCustomForm*) {
  if (!FForm || FForm->ModalResult() == mrNone)
    return;
  // However the form was accepted, a cell being edited is part of what is accepted.
  FinishCellEditing(FForm->ModalResult() != mrCancel);
  if (FForm)
    done(FForm->ModalResult());
}

void FormDialog::CaptionChanged(TControl* Sender) {
  if (FForm && Sender == FForm)
    setWindowTitle(ToQString(FForm->Caption()));
}

void FormDialog::ComponentDestroying(TComponent*) {
  FForm = nullptr;
  QDialog::reject();
}
