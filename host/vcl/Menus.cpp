#include "vcl/Menus.h"

#include "rtl/Assert.h"
#include "rtl/SysUtils.h"

#include <algorithm>

UnicodeString StripHotkey(std::u16string_view Caption) {
  UnicodeString R;
  R.reserve(Caption.size());
  for (size_t I = 0; I < Caption.size(); ++I) {
    if (Caption[I] == u'&') {
      // "&&" is a literal "&"; a lone "&" marks the next character and disappears.
      if (I + 1 < Caption.size() && Caption[I + 1] == u'&') {
        R.push_back(u'&');
        ++I;
      }
      continue;
    }
    R.push_back(Caption[I]);
  }
  return R;
}

UnicodeString MenuFindKey(std::u16string_view Caption) {
  return SimpleFoldCase(StripHotkey(Caption));
}

// --- TMenuItem --------------------------------------------------------------------------------

namespace {
// Whether Item is Of or one of its parents, up to the root.
bool IsSelfOrParent(const TMenuItem* Of, const TMenuItem* Item) {
  for (const TMenuItem* P = Of; P; P = P->Parent())
    if (P == Item)
      return true;
  return false;
}
} // namespace

const TClassInfo& TMenuItem::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TMenuItem>(u"TMenuItem", &TComponent::StaticClass())
                                     .Creatable()
                                     .Str(u"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
                                     .Ord(u"Visible", &TMenuItem::Visible, &TMenuItem::SetVisible)
                                     .Ord(u"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled)
                                     .Event(u"OnClick", &TMenuItem::OnClick);
  return Info;
}
HOST_CLASS_TYPE(TMenuItem)

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (FParent)
    FParent->Remove(this);
  HOST_ASSERT(!FParent, "a released menu item has left its parent");
  while (!FItems.empty()) {
    TMenuItem* Last = FItems.back();
    FItems.pop_back();
    Last->FParent = nullptr;
    Free(Last);
  }
}

void TMenuItem::SetCaption(const UnicodeString& Value) {
  ChangeProperty(FCaption, Value, &TMenuItemView::CaptionChanged, this);
}

void TMenuItem::SetVisible(bool Value) {
  ChangeProperty(FVisible, Value, &TMenuItemView::VisibleChanged, this);
}

void TMenuItem::SetEnabled(bool Value) {
  ChangeProperty(FEnabled, Value, &TMenuItemView::EnabledChanged, this);
}

void TMenuItem::Click() {
  if (FEnabled && OnClick)
    OnClick(this);
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError(u"Menu index out of bounds (" + IntToStr(Index) + u")");
  return FItems[static_cast<size_t>(Index)];
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* Root = this;
  while (Root->FParent)
    Root = Root->FParent;
  HOST_ASSERT(!Root->FMenu || Root->FMenu->Items() == Root, "a menu's root item knows its menu");
  return Root->FMenu;
}

TMenuItem* TMenuItem::Find(std::u16string_view ACaption) const {
  const UnicodeString Wanted = MenuFindKey(ACaption);
  for (TMenuItem* Item : FItems)
    if (MenuFindKey(Item->FCaption) == Wanted)
      return Item;
  return nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

void TMenuItem::Add(TMenuItem* Item) {
  Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item)
    throw EInvalidOperation(u"Cannot insert a nil menu item");
  if (Item->FParent)
    throw EInvalidOperation(u"Menu inserted twice");
  // Only an item with children can be an ancestor of another; a leaf can only be this one.
  if (Item->FItems.empty() ? Item == this : IsSelfOrParent(this, Item))
    throw EInvalidOperation(u"A menu item cannot be inserted into itself");
  if (Index < 0 || Index > Count())
    throw EListError(u"Menu index out of bounds (" + IntToStr(Index) + u")");
  if (Index == Count())
    FItems.push_back(Item);
  else
    FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  HOST_ASSERT(FItems[static_cast<size_t>(Index)] == Item && !Item->FMenu,
              "an item inserted stands at its index, and no menu's root is a child");
  ItemsChanged();
}

void TMenuItem::Delete(int Index) {
  TMenuItem* Item = Items(Index);
  HOST_ASSERT(Item->FParent == this, "a menu item in a parent's list has it as its parent");
  FItems.erase(FItems.begin() + Index);
  Item->FParent = nullptr;
  ItemsChanged();
}

void TMenuItem::Remove(TMenuItem* Item) {
  int Index = IndexOf(Item);
  if (Index < 0)
    throw EListError(u"Menu item not found");
  Delete(Index);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) {
    [[maybe_unused]] const size_t Before = FItems.size();
    Free(FItems.back()); // it detaches itself
    HOST_ASSERT(FItems.size() < Before, "a released child leaves its parent's list");
  }
}

void TMenuItem::ItemsChanged() {
  NotifyViews(&TMenuItemView::ItemsChanged, this);
}

// --- TMenu ------------------------------------------------------------------------------------

const TClassInfo& TMenu::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TMenu>(u"TMenu", &TComponent::StaticClass()).Object(u"Items", &TMenu::Items);
  return Info;
}
HOST_CLASS_TYPE(TMenu)

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(this)) {
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  // The root item is owned by this menu; release it (and with it every entry) first, while the
  // menu is still whole.
  Free(FItems);
}

const TClassInfo& TMainMenu::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TMainMenu>(u"TMainMenu", &TMenu::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TMainMenu)

const TClassInfo& TPopupMenu::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TPopupMenu>(u"TPopupMenu", &TMenu::StaticClass())
                                     .Creatable()
                                     .Event(u"OnPopup", &TPopupMenu::OnPopup);
  return Info;
}
HOST_CLASS_TYPE(TPopupMenu)

void TPopupMenu::DoPopup() {
  if (OnPopup)
    OnPopup(this);
}

void TPopupMenu::Popup(int, int) {
  DoPopup();
  FPoppedUp = true;
  NotifyViews(&TPopupMenuView::PopupOpened, this);
}

void TPopupMenu::CloseUp() {
  if (!FPoppedUp)
    return;
  FPoppedUp = false;
  NotifyViews(&TPopupMenuView::ClosedUp, this);
}

void TPopupMenu::ClickItem(TMenuItem* Item) {
  if (Item)
    Item->Click();
}
