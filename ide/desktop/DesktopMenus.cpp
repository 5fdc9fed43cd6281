#include "DesktopMenus.h"

#include "DesktopFailures.h"
#include "DesktopQtStrings.h"

#include "vcl/Menus.h"

void FillMenu(QMenu* Menu, TMenuItem* Item, const DesktopMenuDriver& Driver) {
  Menu->clear();
  for (QMenu* Old : Menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
    Old->deleteLater();
  for (int I = 0; I < Item->Count(); ++I) {
    TMenuItem* Child = Item->Items(I);
    if (!Child->Visible())
      continue;
    if (Child->IsLine() && Child->Count() == 0) {
      Menu->addSeparator();
      continue;
    }
    if (Child->Count() > 0) {
      QMenu* Sub = Menu->addMenu(ToQString(Child->Caption()));
      Sub->setEnabled(Child->Enabled());
      QObject::connect(Sub, &QMenu::aboutToShow, Sub, [Sub, Child, Driver] {
        RunGuarded(Sub, [&] {
          if (Driver.Open)
            Driver.Open(Child);
        });
        FillMenu(Sub, Child, Driver);
      });
      continue;
    }
    QAction* Action = Menu->addAction(ToQString(Child->Caption()));
    Action->setEnabled(Child->Enabled());
    QObject::connect(Action, &QAction::triggered, Menu, [Menu, Child, Driver] {
      RunGuarded(Menu->window(), [&] { Driver.Click(Child); });
    });
  }
}

// --- DesktopMenuBar
// --------------------------------------------------------------------------------

DesktopMenuBar::DesktopMenuBar(TMainMenu* Menu, QWidget* Parent)
    : QMenuBar(Parent), FRoot(Menu->Items()) {
  // The host fires a main-menu item's click when its sub-menu opens, and when it is chosen.
  FDriver.Open = [](TMenuItem* Item) { Item->Click(); };
  FDriver.Click = [](TMenuItem* Item) { Item->Click(); };
  FRoot->SetView(this);
  Rebuild();
}

DesktopMenuBar::~DesktopMenuBar() {
  if (FRoot)
    FRoot->SetView(nullptr);
}

void DesktopMenuBar::Rebuild() {
  clear();
  for (QMenu* Old : findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
    Old->deleteLater();
  if (!FRoot)
    return;
  for (int I = 0; I < FRoot->Count(); ++I) {
    TMenuItem* Item = FRoot->Items(I);
    if (!Item->Visible())
      continue;
    if (Item->Count() == 0) {
      QAction* Action = addAction(ToQString(Item->Caption()));
      connect(Action, &QAction::triggered, this,
              [this, Item] { RunGuarded(window(), [&] { Item->Click(); }); });
      continue;
    }
    QMenu* Menu = addMenu(ToQString(Item->Caption()));
    Menu->setObjectName(ToQString(Item->Caption()));
    connect(Menu, &QMenu::aboutToShow, Menu, [this, Menu, Item] {
      RunGuarded(window(), [&] { Item->Click(); });
      FillMenu(Menu, Item, FDriver);
    });
  }
}

QMenu* DesktopMenuBar::MenuFor(const QString& Caption) const {
  if (!FRoot)
    return nullptr;
  TMenuItem* Item = FRoot->Find(FromQString(Caption));
  if (!Item)
    return nullptr;
  for (QMenu* M : findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
    if (M->objectName() == ToQString(Item->Caption()) && M->menuAction()->isVisible())
      return M;
  return nullptr;
}

void DesktopMenuBar::ComponentChanged(TComponent*, std::u16string_view Property) {
  // Entries come and go (a package adds its own); captions of open menus are refilled anyway.
  if (Property == u"Items")
    Rebuild();
}

void DesktopMenuBar::ComponentDestroying(TComponent*) {
  FRoot = nullptr;
  clear();
}

// --- DesktopPopupMenu
// ------------------------------------------------------------------------------

DesktopPopupMenu::DesktopPopupMenu(TPopupMenu* Popup, QWidget* Parent)
    : QMenu(Parent), FPopup(Popup) {
  FDriver.Open = [this](TMenuItem* Item) {
    if (FPopup)
      FPopup->OpenSubmenu(Item);
  };
  FDriver.Click = [this](TMenuItem* Item) {
    if (FPopup)
      FPopup->ClickItem(Item);
  };
  FPopup->SetView(this);
  connect(this, &QMenu::aboutToShow, this, [this] {
    if (!FPopup)
      return;
    // Opened by the arrow: the model's popup fires its before-show event now. Opened by the
    // model (a click on the button's face), it has fired already.
    if (!FOpenedByModel) {
      FFiring = true;
      RunGuarded(parentWidget(), [&] { FPopup->Popup(0, 0); });
      FFiring = false;
    }
    FOpenedByModel = false;
    FillMenu(this, FPopup->Items(), FDriver);
  });
  connect(this, &QMenu::aboutToHide, this, [this] {
    if (FPopup)
      FPopup->CloseUp();
  });
}

DesktopPopupMenu::~DesktopPopupMenu() {
  if (FPopup)
    FPopup->SetView(nullptr);
}

void DesktopPopupMenu::ComponentChanged(TComponent*, std::u16string_view Property) {
  if (Property != u"Popup" || FFiring || isVisible())
    return;
  // The model asked for the menu to drop down (not through the Qt arrow): show it below the
  // button that owns it.
  FOpenedByModel = true;
  QWidget* Anchor = parentWidget();
  QPoint At = Anchor ? Anchor->mapToGlobal(QPoint(0, Anchor->height())) : QCursor::pos();
  popup(At);
}

void DesktopPopupMenu::ComponentDestroying(TComponent*) {
  FPopup = nullptr;
}
