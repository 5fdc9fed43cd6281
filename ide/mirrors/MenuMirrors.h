// Qt menus that mirror the host's menu model. A sub-menu is filled when it is about to show,
// after the model's opening event has fired (a main-menu item's click, a popup's before-show
// event), so a menu the model rebuilds at every opening shows as it now is. Hot-key markers
// need no translation: Qt reads "&" and "&&" as the host does.
#pragma once

#include "vcl/Menus.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSet>

#include <functional>
#include <vector>

// What opening a sub-menu and choosing an item do in the model.
struct MenuDriver {
  std::function<void(TMenuItem*)> Open;  // before the sub-menu of this item shows
  std::function<void(TMenuItem*)> Click; // an item without children was chosen
};

// Replaces Menu's entries with the visible children of Item: "-" as a separator, items with
// children as sub-menus that open through the driver, the rest as actions.
void FillMenu(QMenu* Menu, TMenuItem* Item, const MenuDriver& Driver);

// The hot key of a menu text ("P&alette": 'a'), lower case; null when it has none ("&&" is a
// literal "&").
QChar HotKeyOf(const QString& Text);
// Text with its hot key moved, when the key is one of Taken (lower case), to the first letter or
// digit of it that is not: "P&alette" with 'a' taken gives "&Palette". Text whose key is free, or
// that has none, comes back as it is; without a free letter, it comes back without a hot key (a
// literal "&" stays "&&").
QString WithFreeHotKey(const QString& Text, const QSet<QChar>& Taken);

// The model main menu's top-level entries at the end of a Qt menu bar, following them as they
// come and go and as they change: an entry that gets its first child (a package adds a menu and
// then its items) becomes a sub-menu, one that loses its last child a command. A change that
// arrives while one of the mirror's menus is opening or open is shown once that menu has closed.
// The bar may belong to someone else (a host's main window): the mirror adds its entries after
// the bar's own, and touches, rebuilds and removes only the entries it added. An entry whose
// hot key one of the bar's own entries has already shows another letter of its caption, one the
// bar leaves free (WithFreeHotKey), so that every underlined letter opens what it underlines;
// the model's caption stays as it is. The letters follow the bar's own entries as they change. Its
// entries are children of the bar and go with it; the mirror itself belongs to Parent (never the
// bar: a mirror released before its bar takes its entries out of it, which a bar being released
// cannot take part in).
class MenuBarMirror : public QObject, private TMenuItemView {
  Q_OBJECT
public:
  MenuBarMirror(TMainMenu* Menu, QMenuBar* Bar, QObject* Parent);
  ~MenuBarMirror() override;

  QMenuBar* Bar() const { return FBar; }
  // The Qt menu of a top-level entry (matched as the host's Find matches), or nullptr.
  QMenu* MenuFor(const QString& Caption) const;
  // The bar's actions that this mirror added, in the bar's order.
  QList<QAction*> Actions() const;
  void Rebuild();

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  struct TEntry {
    TMenuItem* Item;
    QPointer<QAction> Action;
    QPointer<QMenu> Menu; // the entry's sub-menu, when it shows as one
  };

  void ItemsChanged(TMenuItem* Sender) override;
  void CaptionChanged(TMenuItem* Sender) override;
  void VisibleChanged(TMenuItem* Sender) override;
  void EnabledChanged(TMenuItem* Sender) override;
  void ComponentDestroying(TComponent* Sender) override;
  // Rebuilds now, or once the mirror's open menu has closed.
  void RebuildSoon();
  bool MenuOpen() const;
  // Stops listening to the entries and takes their Qt actions out of the bar.
  void Unlink();
  // What an entry's Qt action shows for its caption: with a hot key the bar leaves free.
  QString Shown(TMenuItem* Item) const;
  // Shows every entry's caption again (the bar's own entries changed).
  void ShowHotKeys();
  QWidget* Window() const;

  TMenuItem* FRoot;
  QPointer<QMenuBar> FBar;
  MenuDriver FDriver;
  std::vector<TEntry> FEntries;
  int FOpening = 0; // an entry's opening event runs
  bool FRebuildPending = false;
  bool FShowing = false; // the mirror sets its entries' texts
};

// A popup menu of the model shown as a Qt menu: the before-show event fires as it opens, and
// its items are clicked through the popup (which may stand an action in for the item).
class PopupMenuMirror : public QMenu, private TPopupMenuView {
  Q_OBJECT
public:
  PopupMenuMirror(TPopupMenu* Popup, QWidget* Parent);
  ~PopupMenuMirror() override;
  // Stops mirroring the model's popup (the menu is about to go).
  void Detach();
  // The popup shown, or nullptr once it is gone or detached.
  TPopupMenu* Popup() const { return FPopup; }

private:
  void PopupOpened(TPopupMenu* Sender) override;
  void ComponentDestroying(TComponent* Sender) override;

  TPopupMenu* FPopup;
  MenuDriver FDriver;
  bool FOpenedByModel = false; // the model fired the before-show event already
  bool FFiring = false;        // the Qt arrow is firing it now
};
