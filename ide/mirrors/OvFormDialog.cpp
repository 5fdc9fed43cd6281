#include "OvFormDialog.h"

#include "OvFailures.h"
#include "OvGraphics.h"
#include "OvGridMirror.h"
#include "OvQtStrings.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <map>

// Mirrors keyed by the model class they show; a class without one is shown by its ancestor's.
const std::map<const TClassInfo*, OvFormDialog::TMirror>& OvFormDialog::Mirrors() {
  static const std::map<const TClassInfo*, TMirror> Table = {
      {&TCustomGrid::StaticClass(),
       [](TControl* C, OvFormDialog* Dialog) -> QWidget* {
         return new OvGridMirror(static_cast<TCustomGrid*>(C), Dialog);
       }},
      {&TButton::StaticClass(),
       [](TControl* C, OvFormDialog* Dialog) -> QWidget* {
         auto* Button = static_cast<TButton*>(C);
         auto* B = new QPushButton(ToQString(Button->Caption()), Dialog);
         B->setObjectName(ToQString(Button->Name()));
         B->setGeometry(Button->Left(), Button->Top(), Button->Width(), Button->Height());
         B->setAutoDefault(false);
         B->setEnabled(Button->Enabled());
         connect(B, &QPushButton::clicked, Dialog,
                 [Dialog, Button] { Dialog->ClickModel(Button); });
         return B;
       }},
  };
  return Table;
}

const OvFormDialog::TMirror* OvFormDialog::MirrorFor(const TClassInfo& Class) {
  for (const TClassInfo* C = &Class; C; C = C->Parent()) {
    const auto It = Mirrors().find(C);
    if (It != Mirrors().end())
      return &It->second;
  }
  return nullptr;
}

OvFormDialog::OvFormDialog(TCustomForm* Form, QWidget* Parent) : QDialog(Parent), FForm(Form) {
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
    const TMirror* Mirror = MirrorFor(C->ClassType());
    if (!Mirror) {
      Missing << QStringLiteral("%1 (%2)").arg(ToQString(C->Name()),
                                               ToQString(C->ClassType().ClassName()));
      continue;
    }
    (*Mirror)(C, this)->setVisible(C->Visible());
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

OvFormDialog::~OvFormDialog() {
  if (FForm)
    FForm->RemoveView(this);
}

int OvFormDialog::Run() {
  exec();
  // The keyboard goes back to the window that opened the dialog; without a window manager
  // nobody else gives it back, and Alt+A and the like would reach nothing.
  if (QWidget* Owner = parentWidget())
    Owner->window()->activateWindow();
  return FForm ? FForm->ModalResult() : mrCancel;
}

TModalRunner OvFormDialog::Runner(QWidget* Parent) {
  return [Owner = QPointer<QWidget>(Parent)](TCustomForm& Form) {
    OvFormDialog Dialog(&Form, Owner.data());
    return Dialog.Run();
  };
}

void OvFormDialog::ClickModel(TButton* Button) {
  // As focus leaving a grid for a button would: the cell being edited is kept for any button
  // but the one that cancels.
  FinishCellEditing(!Button->Cancel() && Button->ModalResult() != mrCancel);
  RunGuarded(this, [&] { Button->Click(); });
}

void OvFormDialog::FinishCellEditing(bool Confirm) {
  for (OvGridMirror* Grid : findChildren<OvGridMirror*>())
    Grid->FinishEditing(Confirm);
}

TButton* OvFormDialog::ButtonFor(bool Default) const {
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

void OvFormDialog::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    if (TButton* B = ButtonFor(true))
      ClickModel(B);
    return;
  }
  if (Event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  QDialog::keyPressEvent(Event);
}

void OvFormDialog::reject() {
  // Escape or the window's close box: the cancel button's click, else the form's Close.
  if (TButton* B = ButtonFor(false))
    ClickModel(B);
  else if (FForm)
    RunGuarded(this, [&] { FForm->Close(); });
  else
    QDialog::reject();
}

void OvFormDialog::ModalResultChanged(TCustomForm*) {
  if (!FForm || FForm->ModalResult() == mrNone)
    return;
  // However the form was accepted, a cell being edited is part of what is accepted.
  FinishCellEditing(FForm->ModalResult() != mrCancel);
  if (FForm)
    done(FForm->ModalResult());
}

void OvFormDialog::CaptionChanged(TControl* Sender) {
  if (FForm && Sender == FForm)
    setWindowTitle(ToQString(FForm->Caption()));
}

void OvFormDialog::ComponentDestroying(TComponent*) {
  FForm = nullptr;
  QDialog::reject();
}
