#include "OvToolBarMirror.h"

#include "OvFailures.h"
#include "OvGraphics.h"
#include "OvMenuMirrors.h"
#include "OvQtStrings.h"

#include "vcl/ComCtrls.h"
#include "vcl/Menus.h"

#include <QTimer>
#include <QToolButton>
#include <QWidgetAction>

OvToolBarMirror::OvToolBarMirror(TToolBar* Model, QToolBar* Bar, QObject* Parent,
                                 TImageSource Images)
    : QObject(Parent), FModel(Model), FBar(Bar), FImages(std::move(Images)) {
  Q_ASSERT(Parent != Bar);
  FModel->AddView(static_cast<TToolBarView*>(this));
  Rebuild();
}

OvToolBarMirror::~OvToolBarMirror() {
  Unlink();
  // The buttons leave the bar with the mirror; their menus stop answering the model at once.
  for (const QPointer<QAction>& A : FActions) {
    if (!A)
      continue;
    if (auto* W = qobject_cast<QWidgetAction*>(A.data()))
      if (auto* B = qobject_cast<QToolButton*>(W->defaultWidget()))
        if (auto* M = qobject_cast<OvPopupMenuMirror*>(B->menu()))
          M->Detach();
    if (FBar)
      FBar->removeAction(A);
    A->deleteLater();
  }
  if (FModel)
    FModel->RemoveView(static_cast<TToolBarView*>(this));
}

QWidget* OvToolBarMirror::Window() const {
  return FBar ? FBar->window() : nullptr;
}

QIcon OvToolBarMirror::ImageOf(int Index) const {
  if (FImages)
    return FImages(Index);
  return FModel ? ToQIcon(FModel->Images(), Index) : QIcon();
}

void OvToolBarMirror::Unlink() {
  for (TComponent* B : FLinked)
    B->RemoveView(static_cast<TToolButtonView*>(this));
  FLinked.clear();
}

QList<QAction*> OvToolBarMirror::Actions() const {
  QList<QAction*> Own;
  for (const QPointer<QAction>& A : FActions)
    if (A)
      Own << A;
  return Own;
}

void OvToolBarMirror::Rebuild() {
  FRebuildQueued = false;
  Unlink();
  if (!FBar)
    return;
  // The new buttons take the old ones' place: before the bar's first action after them, or at
  // the end.
  QAction* Before = nullptr;
  {
    const QList<QAction*> All = FBar->actions();
    qsizetype Last = -1;
    for (qsizetype I = 0; I < All.size(); ++I)
      for (const QPointer<QAction>& A : FActions)
        if (A == All[I])
          Last = I;
    if (Last >= 0 && Last + 1 < All.size())
      Before = All[Last + 1];
  }
  // Removing an action from the bar only hides its button; the action owns the button (and the
  // button its menu, a view of the model's popup), so the old actions go, and their menus stop
  // answering the model at once.
  for (const QPointer<QAction>& A : FActions) {
    if (!A)
      continue;
    if (auto* W = qobject_cast<QWidgetAction*>(A.data()))
      if (auto* B = qobject_cast<QToolButton*>(W->defaultWidget())) {
        B->setProperty("stale", true);
        if (auto* M = qobject_cast<OvPopupMenuMirror*>(B->menu()))
          M->Detach();
      }
    FBar->removeAction(A);
    A->deleteLater();
  }
  FActions.clear();
  if (!FModel)
    return;
  for (int I = 0; I < FModel->ControlCount(); ++I) {
    auto* Model = dynamic_cast<TToolButton*>(FModel->Controls(I));
    if (!Model)
      continue;
    Model->AddView(static_cast<TToolButtonView*>(this));
    FLinked.push_back(Model);
    if (Model->Style() == TToolButtonStyle::tbsSeparator ||
        Model->Style() == TToolButtonStyle::tbsDivider) {
      QAction* Separator = FBar->insertSeparator(Before);
      Separator->setVisible(Model->Visible());
      FActions.emplace_back(Separator);
      continue;
    }
    auto* Button = new QToolButton(FBar);
    Button->setProperty("ovButton", true);
    Button->setObjectName(ToQString(Model->Name()));
    Button->setToolTip(ToQString(Model->Hint()));
    Button->setText(ToQString(Model->Name()));
    Button->setIcon(ImageOf(Model->ImageIndex()));
    Button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Button->setCheckable(Model->Style() == TToolButtonStyle::tbsCheck);
    if (Model->Style() == TToolButtonStyle::tbsDropDown && Model->DropdownMenu()) {
      Button->setPopupMode(QToolButton::MenuButtonPopup);
      Button->setMenu(new OvPopupMenuMirror(Model->DropdownMenu(), Button));
    }
    connect(Button, &QToolButton::clicked, this,
            [this, Model] { RunGuarded(Window(), [&] { Model->Click(); }); });
    QAction* Action = FBar->insertWidget(Before, Button);
    Action->setVisible(Model->Visible());
    FActions.emplace_back(Action);
  }
}

QToolButton* OvToolBarMirror::ButtonNamed(const QString& Name) const {
  for (const QPointer<QAction>& A : FActions)
    if (auto* W = qobject_cast<QWidgetAction*>(A.data()))
      if (auto* B = qobject_cast<QToolButton*>(W->defaultWidget()))
        if (B->objectName() == Name && !B->property("stale").toBool())
          return B;
  return nullptr;
}

void OvToolBarMirror::Stale() {
  // Deferred, so that a change made while a button's own click runs does not pull that button
  // away.
  for (const QPointer<QAction>& A : FActions)
    if (auto* W = qobject_cast<QWidgetAction*>(A.data()))
      if (auto* B = qobject_cast<QToolButton*>(W->defaultWidget())) {
        B->setProperty("stale", true);
        B->setEnabled(false); // its model button may be gone before the rebuild
      }
  // One rebuild for a burst of changes (arranging the bar moves every button).
  if (FRebuildQueued)
    return;
  FRebuildQueued = true;
  QTimer::singleShot(0, this, [this] {
    if (FRebuildQueued)
      Rebuild();
  });
}

void OvToolBarMirror::ComponentDestroying(TComponent* Sender) {
  if (Sender == FModel) {
    Unlink();
    FModel = nullptr;
  } else {
    // Sender is told from TComponent's destructor: its TToolButton part is gone already, so it
    // is compared as the component it still is, never cast back to a button.
    std::erase(FLinked, Sender);
  }
}
