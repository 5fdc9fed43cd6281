#include "MenuMirrors.h"

#include "Failures.h"
#include "ModelRef.h"
#include "QtStrings.h"

#include <QActionEvent>
#include <QTimer>

#include <algorithm>

void FillMenu(QMenu* Menu, TMenuItem* Item, const MenuDriver& Driver) {
  Menu->clear();
  // The sub-menus of the last filling are used again in their order: creating and destroying a
  // widget per sub-menu at every opening costs more than the rest of the filling together.
  const QList<QMenu*> Old = Menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
  qsizetype Reused = 0;
  for (int I = 0; I < Item->Count(); ++I) {
    TMenuItem* Child = Item->Items(I);
    if (!Child->Visible())
      continue;
    if (Child->IsLine() && Child->Count() == 0) {
      Menu->addSeparator();
      continue;
    }
    if (Child->Count() > 0) {
      QMenu* Sub;
      if (Reused < Old.size()) {
        Sub = Old[Reused++];
        // Only this filling's handler may answer the sub-menu's opening.
        QObject::disconnect(Sub, &QMenu::aboutToShow, Sub, nullptr);
        Sub->setTitle(ToQString(Child->Caption()));
        Menu->addMenu(Sub);
      } else {
        Sub = Menu->addMenu(ToQString(Child->Caption()));
      }
      Sub->setEnabled(Child->Enabled());
      // The entries hold their items weakly: an entry that outlived its item (chosen while the
      // model changed under an open menu) reaches nothing.
      QObject::connect(Sub, &QMenu::aboutToShow, Sub, [Sub, Ref = ModelRef(Child), Driver] {
        if (Ref && Driver.Open)
          RunGuarded(Sub, [&] { Driver.Open(Ref.Get()); });
        // Opening may have released the item (a handler that rebuilds its menu).
        if (TMenuItem* Current = Ref.Get())
          FillMenu(Sub, Current, Driver);
        else
          Sub->clear();
      });
      continue;
    }
    QAction* Action = Menu->addAction(ToQString(Child->Caption()));
    Action->setEnabled(Child->Enabled());
    QObject::connect(Action, &QAction::triggered, Menu, [Menu, Ref = ModelRef(Child), Driver] {
      if (TMenuItem* Current = Ref.Get())
        RunGuarded(Menu->window(), [&] { Driver.Click(Current); });
    });
  }
  // Those left over go once their signals have returned; out of the menu's children now, so the
  // next filling cannot take them up again.
  for (qsizetype I = Reused; I < Old.size(); ++I) {
    Old[I]->setParent(nullptr);
    Old[I]->deleteLater();
  }
}

QChar HotKeyOf(const QString& Text) {
  for (qsizetype I = 0; I + 1 < Text.size(); ++I)
    if (Text[I] == QLatin1Char('&')) {
      if (Text[I + 1] != QLatin1Char('&'))
        return Text[I + 1].toLower();
      ++I; // "&&" stands for a literal "&"
    }
  return {};
}

QString WithFreeHotKey(const QString& Text, const QSet<QChar>& Taken) {
  const QChar Key = HotKeyOf(Text);
  if (Key.isNull() || !Taken.contains(Key))
    return Text;
  QString Result;
  bool Placed = false;
  for (qsizetype I = 0; I < Text.size(); ++I) {
    QChar C = Text[I];
    if (C == QLatin1Char('&')) {
      if (I + 1 >= Text.size() || Text[I + 1] != QLatin1Char('&'))
        continue; // the old marker
      Result += QLatin1String("&&");
      ++I;
      continue;
    }
    if (!Placed && C.isLetterOrNumber() && !Taken.contains(C.toLower())) {
      Result += QLatin1Char('&');
      Placed = true;
    }
    Result += C;
  }
  return Result;
}

// --- MenuBarMirror
// --------------------------------------------------------------------------------

MenuBarMirror::MenuBarMirror(TMainMenu* Menu, QMenuBar* Bar, QObject* Parent)
    : QObject(Parent), FRoot(Menu->Items()), FBar(Bar) {
  // The host fires a main-menu item's click when its sub-menu opens, and when it is chosen.
  FDriver.Open = [](TMenuItem* Item) { Item->Click(); };
  FDriver.Click = [](TMenuItem* Item) { Item->Click(); };
  Q_ASSERT(Parent != Bar);
  FRoot->AddView(this);
  // The bar's own entries coming, going and changing decide which hot keys are free.
  if (FBar)
    FBar->installEventFilter(this);
  Rebuild();
}

MenuBarMirror::~MenuBarMirror() {
  if (FBar)
    FBar->removeEventFilter(this);
  Unlink();
  if (FRoot)
    FRoot->RemoveView(this);
}

QWidget* MenuBarMirror::Window() const {
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

void MenuBarMirror::Unlink() {
  for (const TEntry& E : FEntries) {
    E.Item->RemoveView(this);
    Drop(FBar, E.Action, E.Menu);
  }
  FEntries.clear();
}

QString MenuBarMirror::Shown(TMenuItem* Item) const {
  const QString Caption = ToQString(Item->Caption());
  if (!FBar)
    return Caption;
  QSet<QChar> Taken;
  for (QAction* A : FBar->actions()) {
    const bool Mine = std::any_of(FEntries.begin(), FEntries.end(),
                                  [A](const TEntry& E) { return E.Action == A; });
    const QChar Key = HotKeyOf(A->text());
    // A hidden entry keeps its key: a Qt bar still gives it its share of the presses.
    if (!Mine && !Key.isNull())
      Taken.insert(Key);
  }
  return WithFreeHotKey(Caption, Taken);
}

void MenuBarMirror::ShowHotKeys() {
  const bool Was = FShowing;
  FShowing = true;
  for (const TEntry& E : FEntries) {
    if (!E.Action || (E.Item->ComponentState() & csDestroying))
      continue;
    const QString Text = Shown(E.Item);
    if (E.Action->text() == Text)
      continue;
    if (E.Menu)
      E.Menu->setTitle(Text);
    else
      E.Action->setText(Text);
  }
  FShowing = Was;
}

bool MenuBarMirror::eventFilter(QObject* Watched, QEvent* Event) {
  const QEvent::Type Type = Event->type();
  if (Watched == FBar && !FShowing &&
      (Type == QEvent::ActionAdded || Type == QEvent::ActionRemoved ||
       Type == QEvent::ActionChanged)) {
    QAction* A = static_cast<QActionEvent*>(Event)->action();
    const bool Mine = std::any_of(FEntries.begin(), FEntries.end(),
                                  [A](const TEntry& E) { return E.Action == A; });
    if (!Mine)
      ShowHotKeys();
  }
  return QObject::eventFilter(Watched, Event);
}

void MenuBarMirror::Rebuild() {
  FRebuildPending = false;
  Unlink();
  if (!FRoot || !FBar)
    return;
  const bool Was = FShowing;
  FShowing = true; // the entries added below are the mirror's own
  for (int I = 0; I < FRoot->Count(); ++I) {
    TMenuItem* Item = FRoot->Items(I);
    if (Item->ComponentState() & csDestroying)
      continue;
    // Hidden entries are watched too: one that is shown later must appear.
    Item->AddView(this);
    QAction* Action;
    QMenu* Menu = nullptr;
    if (Item->Count() == 0) {
      Action = new QAction(Shown(Item), FBar);
      connect(Action, &QAction::triggered, this, [this, Ref = ModelRef(Item)] {
        if (TMenuItem* Current = Ref.Get())
          RunGuarded(Window(), [&] { Current->Click(); });
      });
    } else {
      Menu = new QMenu(Shown(Item), FBar);
      Menu->setObjectName(ToQString(Item->Caption()));
      connect(Menu, &QMenu::aboutToShow, this, [this, Menu, Ref = ModelRef(Item)] {
        ++FOpening;
        if (TMenuItem* Current = Ref.Get())
          RunGuarded(Window(), [&] { Current->Click(); });
        // The click may have released the entry (its handler rebuilt the main menu).
        if (TMenuItem* Current = Ref.Get())
          FillMenu(Menu, Current, FDriver);
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
  FShowing = Was;
}

QList<QAction*> MenuBarMirror::Actions() const {
  QList<QAction*> Own;
  if (!FBar)
    return Own;
  for (QAction* A : FBar->actions())
    for (const TEntry& E : FEntries)
      if (E.Action == A)
        Own << A;
  return Own;
}

bool MenuBarMirror::MenuOpen() const {
  for (const TEntry& E : FEntries)
    if (E.Menu && E.Menu->isVisible())
      return true;
  return false;
}

void MenuBarMirror::RebuildSoon() {
  if (FOpening > 0 || MenuOpen())
    FRebuildPending = true; // the menu's aboutToHide brings it back here
  else
    Rebuild();
}

QMenu* MenuBarMirror::MenuFor(const QString& Caption) const {
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

void MenuBarMirror::ItemsChanged(TMenuItem* Sender) {
  if (Sender == FRoot) {
    RebuildSoon(); // entries came or went (a package adds its own)
    return;
  }
  // An entry's own sub-menu is filled at each opening; only its kind matters here.
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && (E.Menu != nullptr) != (Sender->Count() > 0))
      RebuildSoon();
}

void MenuBarMirror::CaptionChanged(TMenuItem* Sender) {
  // The entry's own action shows the new caption; nothing else of the bar changes.
  for (const TEntry& E : FEntries)
    if (E.Item == Sender) {
      const QString Text = Shown(Sender);
      if (E.Menu) {
        E.Menu->setTitle(Text);
        E.Menu->setObjectName(ToQString(Sender->Caption()));
      } else if (E.Action) {
        E.Action->setText(Text);
      }
    }
}

void MenuBarMirror::VisibleChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && E.Action)
      E.Action->setVisible(Sender->Visible());
}

void MenuBarMirror::EnabledChanged(TMenuItem* Sender) {
  for (const TEntry& E : FEntries)
    if (E.Item == Sender && E.Action)
      E.Action->setEnabled(Sender->Enabled());
}

void MenuBarMirror::ComponentDestroying(TComponent* Sender) {
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

// --- PopupMenuMirror
// ------------------------------------------------------------------------------

PopupMenuMirror::PopupMenuMirror(TPopupMenu* Popup, QWidget* Parent)
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

PopupMenuMirror::~PopupMenuMirror() {
  Detach();
}

void PopupMenuMirror::Detach() {
  if (FPopup)
    FPopup->RemoveView(this);
  FPopup = nullptr;
}

void PopupMenuMirror::PopupOpened(TPopupMenu*) {
  if (FFiring || isVisible())
    return;
  // The model asked for the menu to drop down (not through the Qt arrow): show it below the
  // button that owns it.
  FOpenedByModel = true;
  QWidget* Anchor = parentWidget();
  QPoint At = Anchor ? Anchor->mapToGlobal(QPoint(0, Anchor->height())) : QCursor::pos();
  popup(At);
}

void PopupMenuMirror::ComponentDestroying(TComponent*) {
  FPopup = nullptr;
}
