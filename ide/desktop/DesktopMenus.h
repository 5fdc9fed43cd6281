// Qt menus that mirror the host's menu model. A sub-menu is filled when it is about to show,
// after the model's opening event has fired (a main-menu item's click, a popup's before-show
// event), so a menu the model rebuilds at every opening shows as it now is. Hot-key markers
// need no translation: Qt reads "&" and "&&" as the host does.
#pragma once

#include "vcl/Menus.h"

#include <QMenu>
#include <QMenuBar>

#include <functional>
#include <vector>

// What opening a sub-menu and choosing an item do in the model.
struct DesktopMenuDriver {
  std::function<void(TMenuItem*)> Open;  // before the sub-menu of this item shows
  std::function<void(TMenuItem*)> Click; // an item without children was chosen
};

// Replaces Menu's entries with the visible children of Item: "-" as a separator, items with
// children as sub-menus that open through the driver, the rest as actions.
void FillMenu(QMenu* Menu, TMenuItem* Item, const DesktopMenuDriver& Driver);

// The main window's menu bar, following the main menu's top-level entries as they come and go
// and as they change: an entry that gets its first child (a package adds a menu and then its
// items) becomes a sub-menu, one that loses its last child a command. A change that arrives
// while one of the bar's menus is opening or open is shown once that menu has closed.
class DesktopMenuBar : public QMenuBar, private TMenuItemView {
  Q_OBJECT
public:
  DesktopMenuBar(TMainMenu* Menu, QWidget* Parent);
  ~DesktopMenuBar() override;

  // The Qt menu of a top-level entry (matched as the host's Find matches), or nullptr.
  QMenu* MenuFor(const QString& Caption) const;
  void Rebuild();

private:
  struct TEntry {
    TMenuItem* Item;
    QAction* Action;
    bool SubMenu; // shown as a sub-menu (else as a command)
  };

  void ItemsChanged(TMenuItem* Sender) override;
  void CaptionChanged(TMenuItem* Sender) override;
  void VisibleChanged(TMenuItem* Sender) override;
  void EnabledChanged(TMenuItem* Sender) override;
  void ComponentDestroying(TComponent* Sender) override;
  // Rebuilds now, or once the bar's open menu has closed.
  void RebuildSoon();
  bool MenuOpen() const;
  void Unlink();

  TMenuItem* FRoot;
  DesktopMenuDriver FDriver;
  std::vector<TEntry> FEntries;
  int FOpening = 0; // an entry's opening event runs
  bool FRebuildPending = false;
};

// A popup menu of the model shown as a Qt menu: the before-show event fires as it opens, and
// its items are clicked through the popup (which may stand an action in for the item).
class DesktopPopupMenu : public QMenu, private TPopupMenuView {
  Q_OBJECT
public:
  DesktopPopupMenu(TPopupMenu* Popup, QWidget* Parent);
  ~DesktopPopupMenu() override;
  // Stops mirroring the model's popup (the menu is about to go).
  void Detach();

private:
  void PopupOpened(TPopupMenu* Sender) override;
  void ComponentDestroying(TComponent* Sender) override;

  TPopupMenu* FPopup;
  DesktopMenuDriver FDriver;
  bool FOpenedByModel = false; // the model fired the before-show event already
  bool FFiring = false;        // the Qt arrow is firing it now
};
