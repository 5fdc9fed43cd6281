// Menus: a tree of TMenuItem below the root item of a TMenu.
#pragma once

#include "rtl/Component.h"

#include <vector>

class TMenuItem;
class TPopupMenu;
class TMenu;

// The caption without hot-key markers: each "&" goes, "&&" stands for one literal "&".
UnicodeString StripHotkey(std::u16string_view Caption);
// The key TMenuItem::Find compares captions by: two captions match under TMenuItem::Find
// exactly when their keys are equal. Hot-key markers and letter case do not count.
UnicodeString MenuFindKey(std::u16string_view Caption);

// What a view of a menu item hears.
class TMenuItemView : public virtual TComponentView {
public:
  virtual void CaptionChanged(TMenuItem*) {}
  virtual void VisibleChanged(TMenuItem*) {}
  virtual void EnabledChanged(TMenuItem*) {}
  // Children were added, inserted or removed.
  virtual void ItemsChanged(TMenuItem*) {}
};

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  // Leaves its parent item and releases its sub-items, as the host does.
  ~TMenuItem() override;
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // A caption of "-" is a separator line.
  bool IsLine() const { return FCaption == u"-"; }

  TNotifyEvent OnClick;
  // Fires OnClick with this item as sender (if enabled). The host also fires it when a
  // sub-menu opens, before the sub-menu shows.
  virtual void Click();

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int Index) const;
  TMenuItem* Parent() const { return FParent; }
  // The menu this item belongs to (through its root), or nullptr.
  TMenu* GetParentMenu() const;

  // The first direct child whose caption equals ACaption when hot-key markers and letter case
  // are ignored (equal MenuFindKey), or nullptr.
  TMenuItem* Find(std::u16string_view ACaption) const;
  int IndexOf(const TMenuItem* Item) const;
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  // Detaches the child at Index without releasing it.
  void Delete(int Index);
  void Remove(TMenuItem* Item);
  // Releases every child.
  void Clear();

private:
  friend class TMenu;
  void ItemsChanged();

  UnicodeString FCaption;
  bool FVisible = true;
  bool FEnabled = true;
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr; // set on a menu's root item only
};

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  HOST_CLASS_INFO;

  // The root item; its children are the menu's entries.
  TMenuItem* Items() const { return FItems; }

private:
  TMenuItem* FItems;
};

class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
  HOST_CLASS_INFO;
};

// What a view of a popup menu hears: the model asked it to drop down (its before-show event
// has fired), and it closed up.
class TPopupMenuView : public virtual TComponentView {
public:
  virtual void PopupOpened(TPopupMenu*) {}
  virtual void ClosedUp(TPopupMenu*) {}
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}
  HOST_CLASS_INFO;

  // Fires just before the menu opens.
  TNotifyEvent OnPopup;
  // Opens the menu at a screen point: fires OnPopup, then lets an attached view show it.
  virtual void Popup(int X, int Y);
  // A user's click on one of the menu's items; the host's popup menu fires the item's click.
  virtual void ClickItem(TMenuItem* Item);
  // Opening one of its sub-menus fires the item's click as a click does.
  virtual void OpenSubmenu(TMenuItem* Item) { ClickItem(Item); }
  bool IsPoppedUp() const { return FPoppedUp; }
  // The front end says when the menu has closed again.
  void CloseUp();

protected:
  virtual void DoPopup();

private:
  bool FPoppedUp = false;
};
