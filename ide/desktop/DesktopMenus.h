// Qt menus that mirror the host's menu model. A sub-menu is filled when it is about to show,
// after the model's opening event has fired (a main-menu item's click, a popup's before-show
// event), so a menu the model rebuilds at every opening shows as it now is. Hot-key markers
// need no translation: Qt reads "&" and "&&" as the host does.
#pragma once

#include "rtl/Component.h"

#include <QMenu>
#include <QMenuBar>

#include <functional>

class TMainMenu;
class TMenuItem;
class TPopupMenu;

// What opening a sub-menu and choosing an item do in the model.
struct DesktopMenuDriver {
  std::function<void(TMenuItem*)> Open;  // before the sub-menu of this item shows
  std::function<void(TMenuItem*)> Click; // an item without children was chosen
};

// Replaces Menu's entries with the visible children of Item: "-" as a separator, items with
// children as sub-menus that open through the driver, the rest as actions.
void FillMenu(QMenu* Menu, TMenuItem* Item, const DesktopMenuDriver& Driver);

// The main window's menu bar, following the main menu's top-level entries as they come and go.
class DesktopMenuBar : public QMenuBar, private TComponentView {
  Q_OBJECT
public:
  DesktopMenuBar(TMainMenu* Menu, QWidget* Parent);
  ~DesktopMenuBar() override;

  // The Qt menu of a top-level entry (matched as the host's Find matches), or nullptr.
  QMenu* MenuFor(const QString& Caption) const;
  void Rebuild();

private:
  void ComponentChanged(TComponent* Sender, std::u16string_view Property) override;
  void ComponentDestroying(TComponent* Sender) override;

  TMenuItem* FRoot;
  DesktopMenuDriver FDriver;
};

// A popup menu of the model shown as a Qt menu: the before-show event fires as it opens, and
// its items are clicked through the popup (which may stand an action in for the item).
class DesktopPopupMenu : public QMenu, private TComponentView {
  Q_OBJECT
public:
  DesktopPopupMenu(TPopupMenu* Popup, QWidget* Parent);
  ~DesktopPopupMenu() override;

private:
  void ComponentChanged(TComponent* Sender, std::u16string_view Property) override;
  void ComponentDestroying(TComponent* Sender) override;

  TPopupMenu* FPopup;
  DesktopMenuDriver FDriver;
  bool FOpenedByModel = false; // the model fired the before-show event already
  bool FFiring = false;        // the Qt arrow is firing it now
};
