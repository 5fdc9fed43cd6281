#include "DesktopFormDialog.h"

#include "DesktopColors.h"
#include "DesktopFailures.h"
#include "DesktopGridWidget.h"
#include "DesktopQtStrings.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

DesktopFormDialog::DesktopFormDialog(TCustomForm* Form, QWidget* Parent)
    : QDialog(Parent), FForm(Form) {
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

  for (int I = 0; I < Form->ControlCount(); ++I) {
    TControl* C = Form->Controls(I);
    if (auto* Grid = dynamic_cast<TCustomGrid*>(C)) {
      auto* W = new DesktopGridWidget(Grid, this);
      W->setVisible(Grid->Visible());
    } else if (auto* Button = dynamic_cast<TButton*>(C)) {
      auto* B = new QPushButton(ToQString(Button->Caption()), this);
      B->setObjectName(ToQString(Button->Name()));
      B->setGeometry(Button->Left(), Button->Top(), Button->Width(), Button->Height());
      B->setAutoDefault(false);
      B->setEnabled(Button->Enabled());
      B->setVisible(Button->Visible());
      connect(B, &QPushButton::clicked, this, [this, Button] { ClickModel(Button); });
    }
  }
  // Focus follows the model's active control, the grid of a dialog as a rule.
  if (FForm->ActiveControl())
    if (auto* W = findChild<QWidget*>(ToQString(FForm->ActiveControl()->Name())))
      W->setFocus();
  FForm->SetView(this);
}

DesktopFormDialog::~DesktopFormDialog() {
  if (FForm)
    FForm->SetView(nullptr);
}

int DesktopFormDialog::Run() {
  exec();
  return FForm ? FForm->ModalResult() : mrCancel;
}

TModalRunner DesktopFormDialog::Runner(QWidget* Parent) {
  return [Parent](TCustomForm& Form) {
    DesktopFormDialog Dialog(&Form, Parent);
    return Dialog.Run();
  };
}

void DesktopFormDialog::InstallModalRunner(QWidget* Parent) {
  SetModalRunner(Runner(Parent));
}

void DesktopFormDialog::ClickModel(TButton* Button) {
  RunGuarded(this, [&] { Button->Click(); });
}

TButton* DesktopFormDialog::ButtonFor(bool Default) const {
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

void DesktopFormDialog::keyPressEvent(QKeyEvent* Event) {
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

void DesktopFormDialog::reject() {
  // Escape or the window's close box: the cancel button's click, else the form's Close.
  if (TButton* B = ButtonFor(false))
    ClickModel(B);
  else if (FForm)
    RunGuarded(this, [&] { FForm->Close(); });
  else
    QDialog::reject();
}

void DesktopFormDialog::ComponentChanged(TComponent*, std::u16string_view Property) {
  if (Property == u"ModalResult" && FForm && FForm->ModalResult() != mrNone)
    done(FForm->ModalResult());
  else if (Property == u"Caption" && FForm)
    setWindowTitle(ToQString(FForm->Caption()));
}

void DesktopFormDialog::ComponentDestroying(TComponent*) {
  FForm = nullptr;
  QDialog::reject();
}
