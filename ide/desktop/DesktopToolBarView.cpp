#include "DesktopToolBarView.h"

#include "DesktopFailures.h"
#include "DesktopMenus.h"
#include "DesktopQtStrings.h"

#include "vcl/ComCtrls.h"
#include "vcl/Menus.h"

#include <QTimer>
#include <QToolButton>
#include <QWidgetAction>

DesktopToolBarView::DesktopToolBarView(TToolBar* Bar, TImageSource Images, QWidget* Parent)
    : QToolBar(Parent), FBar(Bar), FImages(std::move(Images)) {
  setObjectName(ToQString(Bar->Name()));
  setMovable(false);
  setIconSize(QSize(16, 16));
  FBar->AddView(static_cast<TToolBarView*>(this));
  Rebuild();
}

DesktopToolBarView::~DesktopToolBarView() {
  Unlink();
  if (FBar)
    FBar->RemoveView(static_cast<TToolBarView*>(this));
}

void DesktopToolBarView::Unlink() {
  for (TComponent* B : FLinked)
    B->RemoveView(static_cast<TToolButtonView*>(this));
  FLinked.clear();
}

void DesktopToolBarView::Rebuild() {
  FRebuildQueued = false;
  Unlink();
  // Removing an action from the bar only hides its button; the action owns the button (and the
  // button its menu, a view of the model's popup), so the old actions go, and their menus stop
  // answering the model at once.
  const QList<QAction*> Old = actions();
  clear();
  for (QAction* A : Old) {
    if (auto* W = qobject_cast<QWidgetAction*>(A))
      if (auto* B = qobject_cast<QToolButton*>(W->defaultWidget())) {
        B->setProperty("stale", true);
        if (auto* M = qobject_cast<DesktopPopupMenu*>(B->menu()))
          M->Detach();
      }
    A->deleteLater();
  }
  if (!FBar)
    return;
  for (int I = 0; I < FBar->ControlCount(); ++I) {
    auto* Model = dynamic_cast<TToolButton*>(FBar->Controls(I));
    if (!Model)
      continue;
    Model->AddView(static_cast<TToolButtonView*>(this));
    FLinked.push_back(Model);
    if (Model->Style() == TToolButtonStyle::tbsSeparator ||
        Model->Style() == TToolButtonStyle::tbsDivider) {
      addSeparator()->setVisible(Model->Visible());
      continue;
    }
    auto* Button = new QToolButton(this);
    Button->setProperty("ovButton", true);
    Button->setObjectName(ToQString(Model->Name()));
    Button->setToolTip(ToQString(Model->Hint()));
    Button->setText(ToQString(Model->Name()));
    Button->setIcon(FImages ? FImages(Model->ImageIndex()) : QIcon());
    Button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Button->setCheckable(Model->Style() == TToolButtonStyle::tbsCheck);
    if (Model->Style() == TToolButtonStyle::tbsDropDown && Model->DropdownMenu()) {
      Button->setPopupMode(QToolButton::MenuButtonPopup);
      Button->setMenu(new DesktopPopupMenu(Model->DropdownMenu(), Button));
    }
    connect(Button, &QToolButton::clicked, this,
            [this, Model] { RunGuarded(window(), [&] { Model->Click(); }); });
    addWidget(Button)->setVisible(Model->Visible());
  }
}

QToolButton* DesktopToolBarView::ButtonNamed(const QString& Name) const {
  for (QToolButton* B : findChildren<QToolButton*>(Name, Qt::FindDirectChildrenOnly))
    if (B->property("ovButton").toBool() && !B->property("stale").toBool())
      return B;
  return nullptr;
}

void DesktopToolBarView::Stale() {
  // Deferred, so that a change made while a button's own click runs does not pull that button
  // away.
  for (QToolButton* B : findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!B->property("ovButton").toBool())
      continue;
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

void DesktopToolBarView::ComponentDestroying(TComponent* Sender) {
  if (Sender == FBar) {
    Unlink();
    FBar = nullptr;
  } else {
    // Sender is told from TComponent's destructor: its TToolButton part is gone already, so it
    // is compared as the component it still is, never cast back to a button.
    std::erase(FLinked, Sender);
  }
}
