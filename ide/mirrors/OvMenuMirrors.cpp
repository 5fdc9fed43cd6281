#include "OvMenuMirrors.h"

#include "OvFailures.h"
#include "OvQtStrings.h"

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

void OvFillMenu(QMenu* Menu, TMenuItem* Item, const OvMenuDriver& Driver) {
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
          OvFillMenu(Sub, Current, Driver);
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

// --- OvMenuBarMirror
// --------------------------------------------------------------------------------

OvMenuBarMirror::OvMenuBarMirror(TMainMenu* Menu, QMenuBar* Bar, QObject* Parent)
    : QObject(Parent), FRoot(Menu->Items()), FBar(Bar) {
  // The host fires a main-menu item's click when its sub-menu opens, and when it is chosen.
  FDriver.Open = [](TMenuItem* Item) { Item->Click(); };
  FDriver.Click = [](TMenuItem* Item) { Item->Click(); };
  Q_ASSERT(Parent != Bar);
  FRoot->AddView(this);
  Rebuild();
}

OvMenuBarMirror::~OvMenuBarMirror() {
  Unlink();
  if (FRoot)
    FRoot->RemoveView(this);
}

QWidget* OvMenuBarMirror::Window() const {
  return FBar ? FBar->window() : nullptr;
}

namespace {
// Takes an entry's Qt action out of the bar. Its deletion waits: a signal of that action or
// menu may be running.
void Drop(QMenuBar* Bar, QAction* Action, QMenu* Menu) {
  if (Bar && Action)
    Bar->removeAction(Action);
  if (Menu)
    Menu->deleteLater(); // and its menu action with it
  else if (Action)
    Action->deleteLater();
}
} // namespace

void OvMenuBarMirror::Unlink() {
  for (const TEntry& E : FEntries) {
    E.Item->RemoveView(this);
    Drop(FBar, E.Action, E.Menu);
  }
  FEntries.clear();
}

void OvMenuBarMirror::Rebuild() {
  FRebuildPending = false;
  Unlink();
  if (!FRoot || !FBar)
    return;
  for (int I = 0; I < FRoot->Count(); ++I) {
    TMenuItem* Item = FRoot->Items(I);
    if (Item->ComponentState() & csDestroying)
      continue;
    // Hidden entries are watched too: one that is shown later must appear.
    Item->AddView(this);
    QAction* Action;
    QMenu* Menu = nullptr;
    if (Item->Count() == 0) {
      Action = new QAction(ToQString(Item->Caption()), FBar);
      connect(Action, &QAction::triggered, this, [this, Item] {
        // Only while the entry is still this mirror's: its item may have gone meanwhile.
        for (const TEntry& E : FEntries)
          if (E.Item == Item) {
            RunGuarded(Window(), [&] { Item->Click(); });
            return;
          }
      });
    } else {
      Menu = new QMenu(ToQString(Item->Caption()), FBar);
      Menu->setObjectName(ToQString(Item->Caption()));
      connect(Menu, &QMenu::aboutToShow, this, [this, Menu, Item] {
        ++FOpening;
        RunGuarded(Window(), [&] { Item->Click(); });
        // The click may have released the entry (its handler rebuilt the main menu).
        bool Alive = false;
        for (const TEntry& E : FEntries)
          Alive = Alive || (E.Item == Item && E.Menu == Menu);
        if (Alive)
          OvFillMenu(Menu, Item, FDriver);
        else
          Menu->clear();
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
    FBar->addAction(Action);
    FEntries.push_back({Item, Action, Menu});
  }
}

QList<QAction*> OvMenuBarMirror::Actions() const {
  QList<QAction*> Own;
  if (!FBar)
    return Own;
  for (QAction* A : FBar->actions())
    for (const TEntry& E : FEntries)
      if (E.Action == A)
        Own << A;
  return Own;
}

bool OvMenuBarMirror::MenuOpen() const {
  for (const TEntry& E : FEntries)
    if (E.Menu && E.Menu->isVisible())
      return true;
  return false;
}

void OvMenuBarMirror::RebuildSoon() {
  if (FOpening > 0 || MenuOpen())
    FRebuildPending = true; // the menu's aboutToHide brings it back here
  else
    Rebuild();
}

QMenu* OvMenuBarMirror::MenuFor(const QString& Caption) const {
  if (!FRoot)
    return nullptr;
  TMenuItem* Item = FRoot->Find(FromQString(Caption));
  if (!Item)
    return nullptr;
  for (const TEntry& E : FEntries)
    if (E.Item == Item && E.Menu && E.Action && E.Action->isVisible())
      return E.Menu;
  return nullptr;
}

void OvMenuBarMirror::ItemsChanged(TMenuItem* Sender) {
  if (Sender == FRoot) {
    RebuildSoon(); // entries came or went (a package adds its own)
    return;
  }
  // An entry's own sub-menu is filled at each opening; only its kind matters here.
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && (E.Menu != nullptr) != (Sender->Count() > 0))
      RebuildSoon();
}

void OvMenuBarMirror::CaptionChanged(TMenuItem* Sender) {
  if (Sender != FRoot)
    RebuildSoon();
}

void OvMenuBarMirror::VisibleChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && E.Action)
      E.Action->setVisible(Sender->Visible());
}

void OvMenuBarMirror::EnabledChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && E.Action)
      E.Action->setEnabled(Sender->Enabled());
}

void OvMenuBarMirror::ComponentDestroying(TComponent* Sender) {
  if (Sender == FRoot) {
    Unlink();
    FRoot = nullptr;
    return;
  }
  // An entry goes: its action leaves the bar now, whether or not the bar is rebuilt now.
  for (auto It = FEntries.begin(); It != FEntries.end(); ++It)
    if (It->Item == Sender) {
      Drop(FBar, It->Action, It->Menu);
      FEntries.erase(It);
      break;
    }
}

// --- OvPopupMenuMirror
// ------------------------------------------------------------------------------

OvPopupMenuMirror::OvPopupMenuMirror(TPopupMenu* Popup, QWidget* Parent)
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
    OvFillMenu(this, FPopup->Items(), FDriver);
  });
  connect(this, &QMenu::aboutToHide, this, [this] {
    if (FPopup)
      FPopup->CloseUp();
  });
}

OvPopupMenuMirror::~OvPopupMenuMirror() {
  Detach();
}

void OvPopupMenuMirror::Detach() {
  if (FPopup)
    FPopup->RemoveView(this);
  FPopup = nullptr;
}

void OvPopupMenuMirror::PopupOpened(TPopupMenu*) {
  if (FFiring || isVisible())
    return;
  // The model asked for the menu to drop down (not through the Qt arrow): show it below the
  // button that owns it.
  FOpenedByModel = true;
  QWidget* Anchor = parentWidget();
  QPoint At = Anchor ? Anchor->mapToGlobal(QPoint(0, Anchor->height())) : QCursor::pos();
  popup(At);
}

void OvPopupMenuMirror::ComponentDestroying(TComponent*) {
  FPopup = nullptr;
}
