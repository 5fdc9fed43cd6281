#include "DesktopMenus.h"

#include "DesktopFailures.h"
#include "DesktopQtStrings.h"

#include <QTimer>

namespace {

// A model item as a Qt entry holds it: forgotten when the model releases the item, so that a
// signal of an entry that outlived its item (chosen while the model changed under an open menu)
// reaches nothing. Owned by the entry.
class TItemRef final : public QObject, private TComponentView {
public:
  TItemRef(TMenuItem* Item, QObject* Entry) : QObject(Entry), FItem(Item) { Item->AddView(this); }
  ~TItemRef() override {
    if (FItem)
      FItem->RemoveView(this);
  }
  TMenuItem* Item() const { return FItem; }

private:
  void ComponentDestroying(TComponent*) override { FItem = nullptr; }
  TMenuItem* FItem;
};

} // namespace

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
      auto* Ref = new TItemRef(Child, Sub);
      QObject::connect(Sub, &QMenu::aboutToShow, Sub, [Sub, Ref, Driver] {
        if (Ref->Item() && Driver.Open)
          RunGuarded(Sub, [&] { Driver.Open(Ref->Item()); });
        // Opening may have released the item (a handler that rebuilds its menu).
        if (TMenuItem* Current = Ref->Item())
          FillMenu(Sub, Current, Driver);
        else
          Sub->clear();
      });
      continue;
    }
    QAction* Action = Menu->addAction(ToQString(Child->Caption()));
    Action->setEnabled(Child->Enabled());
    auto* Ref = new TItemRef(Child, Action);
    QObject::connect(Action, &QAction::triggered, Menu, [Menu, Ref, Driver] {
      if (TMenuItem* Current = Ref->Item())
        RunGuarded(Menu->window(), [&] { Driver.Click(Current); });
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
  FRoot->AddView(this);
  Rebuild();
}

DesktopMenuBar::~DesktopMenuBar() {
  Unlink();
  if (FRoot)
    FRoot->RemoveView(this);
}

void DesktopMenuBar::Unlink() {
  for (const TEntry& E : FEntries)
    E.Item->RemoveView(this);
  FEntries.clear();
}

void DesktopMenuBar::Rebuild() {
  FRebuildPending = false;
  Unlink();
  clear();
  for (QMenu* Old : findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
    Old->deleteLater();
  if (!FRoot)
    return;
  for (int I = 0; I < FRoot->Count(); ++I) {
    TMenuItem* Item = FRoot->Items(I);
    if (Item->ComponentState() & csDestroying)
      continue;
    // Hidden entries are watched too: one that is shown later must appear.
    Item->AddView(this);
    const bool SubMenu = Item->Count() > 0;
    QAction* Action;
    if (!SubMenu) {
      Action = addAction(ToQString(Item->Caption()));
      connect(Action, &QAction::triggered, this,
              [this, Item] { RunGuarded(window(), [&] { Item->Click(); }); });
    } else {
      QMenu* Menu = addMenu(ToQString(Item->Caption()));
      Menu->setObjectName(ToQString(Item->Caption()));
      connect(Menu, &QMenu::aboutToShow, Menu, [this, Menu, Item] {
        ++FOpening;
        RunGuarded(window(), [&] { Item->Click(); });
        FillMenu(Menu, Item, FDriver);
        --FOpening;
      });
      connect(Menu, &QMenu::aboutToHide, this, [this] {
        if (FRebuildPending)
          QTimer::singleShot(0, this, [this] {
            if (FRebuildPending)
              RebuildSoon();
          });
      });
      Action = Menu->menuAction();
    }
    Action->setVisible(Item->Visible());
    Action->setEnabled(Item->Enabled());
    FEntries.push_back({Item, Action, SubMenu});
  }
}

bool DesktopMenuBar::MenuOpen() const {
  for (const TEntry& E : FEntries)
    if (E.SubMenu && E.Action->menu() && E.Action->menu()->isVisible())
      return true;
  return false;
}

void DesktopMenuBar::RebuildSoon() {
  if (FOpening > 0 || MenuOpen())
    FRebuildPending = true; // the menu's aboutToHide brings it back here
  else
    Rebuild();
}

QMenu* DesktopMenuBar::MenuFor(const QString& Caption) const {
  if (!FRoot)
    return nullptr;
  TMenuItem* Item = FRoot->Find(FromQString(Caption));
  if (!Item)
    return nullptr;
  for (const TEntry& E : FEntries)
    if (E.Item == Item && E.SubMenu && E.Action->isVisible())
      return E.Action->menu();
  return nullptr;
}

void DesktopMenuBar::ItemsChanged(TMenuItem* Sender) {
  if (Sender == FRoot) {
    RebuildSoon(); // entries came or went (a package adds its own)
    return;
  }
  // An entry's own sub-menu is filled at each opening; only its kind matters here.
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && E.SubMenu != (Sender->Count() > 0))
      RebuildSoon();
}

void DesktopMenuBar::CaptionChanged(TMenuItem* Sender) {
  if (Sender != FRoot)
    RebuildSoon();
}

void DesktopMenuBar::VisibleChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender)
      E.Action->setVisible(Sender->Visible());
}

void DesktopMenuBar::EnabledChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender)
      E.Action->setEnabled(Sender->Enabled());
}

void DesktopMenuBar::ComponentDestroying(TComponent* Sender) {
  if (Sender == FRoot) {
    Unlink();
    FRoot = nullptr;
    clear();
    return;
  }
  // An entry goes: its action must not reach it any more, whether or not the bar is rebuilt now.
  for (auto It = FEntries.begin(); It != FEntries.end(); ++It)
    if (It->Item == Sender) {
      It->Action->setVisible(false);
      It->Action->setEnabled(false);
      FEntries.erase(It);
      break;
    }
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
  FPopup->AddView(this);
  connect(this, &QMenu::aboutToShow, this, [this] {
    if (!FPopup)
      return;
    // Opened by the arrow: the model's popup fires its before-show event now. Opened by the
    // model (a click on the button's face), it has fired already.
    if (!FOpenedByModel) {
      FFiring = true;
      const bool Fired = RunGuarded(parentWidget(), [&] { FPopup->Popup(0, 0); });
      FFiring = false;
      if (!Fired) {
        // The failure has been shown. A menu left standing after it, empty or half built,
        // would only take the user's next click to close it: it closes as soon as it is up
        // (the button runs it in a loop of its own, which a queued close ends).
        clear();
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
        return;
      }
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
  Detach();
}

void DesktopPopupMenu::Detach() {
  if (FPopup)
    FPopup->RemoveView(this);
  FPopup = nullptr;
}

void DesktopPopupMenu::PopupOpened(TPopupMenu*) {
  if (FFiring || isVisible())
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
