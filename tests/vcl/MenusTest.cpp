#include "vcl/Menus.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/ComCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const UnicodeString& Caption) {
  auto* Item = new TMenuItem(Owner);
  Item->SetCaption(Caption);
  if (Parent)
    Parent->Add(Item);
  return Item;
}

TEST(Menus, StripHotkeyDropsMarkersAndKeepsDoubledAmpersandAsOne) {
  EXPECT_EQ(StripHotkey(u"P&alette"), u"Palette");
  EXPECT_EQ(StripHotkey(u"Save && Close"), u"Save & Close");
  EXPECT_EQ(StripHotkey(u"&&&x"), u"&x");
  EXPECT_EQ(StripHotkey(u"end&"), u"end");
  EXPECT_EQ(StripHotkey(u""), u"");
}

TEST(Menus, FindIgnoresHotkeysAndLetterCaseOnlyAmongDirectChildren) {
  TComponent Owner(nullptr);
  TMainMenu Menu(&Owner);
  auto* File = NewItem(&Owner, Menu.Items(), u"&File");
  auto* Tools = NewItem(&Owner, Menu.Items(), u"T&ools");
  auto* Amp = NewItem(&Owner, Menu.Items(), u"Save && Close");
  NewItem(&Owner, File, u"E&xit");
  EXPECT_EQ(Menu.Items()->Find(u"file"), File);
  EXPECT_EQ(Menu.Items()->Find(u"TOOLS"), Tools);
  EXPECT_EQ(Menu.Items()->Find(u"&Tools"), Tools);
  // The wanted caption is read by the same rule: "&&" stands for "&".
  EXPECT_EQ(Menu.Items()->Find(u"save && close"), Amp);
  EXPECT_EQ(Menu.Items()->Find(u"Save & Close"), nullptr);
  EXPECT_EQ(Menu.Items()->Find(u"Exit"), nullptr);
  EXPECT_EQ(File->GetParentMenu(), &Menu);
}

TEST(Menus, FindMatchesLetterCaseVariantsOnlyNotLookalikes) {
  TComponent Owner(nullptr);
  TMainMenu Menu(&Owner);
  // Each look-alike stands before the caption it resembles, so a broader match would find it.
  auto* WideAbc = NewItem(&Owner, Menu.Items(), u"\uFF21bc"); // full-width A
  auto* Abc = NewItem(&Owner, Menu.Items(), u"A&bc");
  auto* Ligature = NewItem(&Owner, Menu.Items(), u"\uFB01le"); // "fi" ligature
  auto* File = NewItem(&Owner, Menu.Items(), u"File");
  NewItem(&Owner, Menu.Items(), u"Cafe\u0301"); // decomposed
  auto* Greek = NewItem(&Owner, Menu.Items(), u"\u03A3\u03BF\u03C6");
  EXPECT_EQ(Menu.Items()->Find(u"ABC"), Abc);
  EXPECT_EQ(Menu.Items()->Find(u"\uFF41BC"), WideAbc); // full-width letters have case too
  EXPECT_EQ(Menu.Items()->Find(u"FILE"), File);
  EXPECT_EQ(Menu.Items()->Find(u"\uFB01LE"), Ligature);
  EXPECT_EQ(Menu.Items()->Find(u"caf\u00E9"), nullptr);
  EXPECT_EQ(Menu.Items()->Find(u"\u03C3\u039F\u03A6"), Greek);

  EXPECT_EQ(MenuFindKey(u"Save && &Close"), u"save & close");
  // One code point to one, as the registry hive folds names: "ß" stays apart from "ss".
  EXPECT_NE(MenuFindKey(u"Stra\u00DFe"), MenuFindKey(u"STRASSE"));
  EXPECT_EQ(MenuFindKey(u"\U00010400x"), u"\U00010428x");        // beyond the BMP
  EXPECT_EQ(MenuFindKey(u"A\xD800"), UnicodeString(u"a\xD800")); // a lone surrogate stays
}

TEST(Menus, FindKeysAreEqualExactlyWhenFindMatches) {
  // Pairs that match: hot-key markers and letter case do not count, in any script.
  const std::pair<const char16_t*, const char16_t*> Same[] = {{u"&File", u"fILE"},
                                                              {u"Fi&le", u"&file"},
                                                              {u"Save && Close", u"save && close"},
                                                              {u"\u00C4rger", u"\u00E4RGER"},
                                                              {u"\u0394elta", u"\u03B4ELTA"},
                                                              {u"", u"&"}};
  for (auto [A, B] : Same)
    EXPECT_EQ(MenuFindKey(A), MenuFindKey(B)) << UTF8Encode(A) << " / " << UTF8Encode(B);
  // Pairs that do not: a literal "&", accents, blanks and other letters count.
  const std::pair<const char16_t*, const char16_t*> Different[] = {
      {u"&&File", u"File"}, {u"Arger", u"\u00C4rger"},       {u" B", u"B"},
      {u"VCL", u"VCX"},     {u"Category 1", u"Category 10"}, {u"-", u""}};
  for (auto [A, B] : Different)
    EXPECT_NE(MenuFindKey(A), MenuFindKey(B)) << UTF8Encode(A) << " / " << UTF8Encode(B);
  // Find and the keys agree on each pair.
  TComponent Owner(nullptr);
  TMenuItem Root(nullptr);
  for (auto [A, B] : Same) {
    auto* Item = NewItem(&Owner, &Root, A);
    EXPECT_EQ(Root.Find(B), Item);
    Root.Remove(Item);
  }
  for (auto [A, B] : Different) {
    auto* Item = NewItem(&Owner, &Root, A);
    EXPECT_EQ(Root.Find(B), nullptr);
    Root.Remove(Item);
  }
}

// An item class of its own that overrides Notification hears of a sibling's release through a
// link, as every class does, and of nothing else.
class TWatchingItem : public TMenuItem {
public:
  using TMenuItem::TMenuItem;
  int Removals = 0;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TMenuItem::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove)
      ++Removals;
  }
};

TEST(Menus, ItemClassesThatOverrideNotificationHearThroughLinks) {
  TComponent Owner(nullptr);
  for (int I = 0; I < 10; ++I)
    new TMenuItem(&Owner);
  auto* Watching = new TWatchingItem(&Owner);
  auto* Linked = new TMenuItem(&Owner);
  Linked->FreeNotification(Watching);
  delete Linked;
  delete Owner.Components(0);
  EXPECT_EQ(Watching->Removals, 1);
}

TEST(Menus, DeleteDetachesWithoutReleasingAndInsertPlacesByIndex) {
  TComponent Owner(nullptr);
  auto* Root = NewItem(&Owner, nullptr, u"root");
  auto* A = NewItem(&Owner, Root, u"A");
  auto* C = NewItem(&Owner, Root, u"C");
  auto* B = NewItem(&Owner, nullptr, u"B");
  Root->Insert(1, B);
  EXPECT_EQ(Root->IndexOf(B), 1);
  EXPECT_EQ(Root->Items(2), C);
  Root->Delete(0);
  EXPECT_EQ(Root->Count(), 2);
  EXPECT_EQ(A->Parent(), nullptr);
  EXPECT_EQ(Owner.ComponentCount(), 4); // still owned, not released
  EXPECT_THROW(Root->Insert(0, C), EInvalidOperation);
  EXPECT_THROW(Root->Insert(5, A), EListError);
  EXPECT_THROW(A->Add(A), EInvalidOperation);
  // An item with children is refused below itself at any depth, a leaf only into itself.
  auto* Grandchild = NewItem(&Owner, C, u"G");
  EXPECT_THROW(C->Add(Root), EInvalidOperation);
  EXPECT_THROW(Grandchild->Insert(0, Root), EInvalidOperation);
  EXPECT_EQ(Root->Parent(), nullptr);
  EXPECT_EQ(Grandchild->Count(), 0);
  Grandchild->Add(A);
  EXPECT_THROW(Root->Add(C), EInvalidOperation); // still in Root: inserted twice
  Root->Delete(Root->IndexOf(C));
  EXPECT_THROW(A->Add(C), EInvalidOperation); // C holds Grandchild, which holds A
  EXPECT_EQ(C->Parent(), nullptr);
  EXPECT_EQ(A->Parent(), Grandchild);
}

TEST(Menus, ReleasedItemLeavesItsParentAndTakesItsSubItems) {
  TComponent Owner(nullptr);
  auto* Root = NewItem(&Owner, nullptr, u"root");
  auto* Sub = NewItem(&Owner, Root, u"sub");
  NewItem(&Owner, Sub, u"leaf 1");
  NewItem(&Owner, Sub, u"leaf 2");
  ASSERT_EQ(Owner.ComponentCount(), 4);
  delete Sub;
  EXPECT_EQ(Root->Count(), 0);
  EXPECT_EQ(Owner.ComponentCount(), 1);
}

TEST(Menus, MenuReleasedBeforeTheOwnerOfItsItems) {
  TComponent AddIn(nullptr);
  {
    TMainMenu Menu(nullptr);
    NewItem(&AddIn, Menu.Items(), u"P&alette");
  }
  EXPECT_EQ(AddIn.ComponentCount(), 0);
}

TEST(Menus, PopupFiresItsBeforeShowEventAndClicksReachItemsThroughAnAction) {
  TComponent Owner(nullptr);
  auto* Popup = new TPopupActionBar(&Owner);
  int Shown = 0;
  Popup->OnPopup = [&](TObject* Sender) {
    EXPECT_EQ(Sender, Popup);
    ++Shown;
  };
  auto* Item = NewItem(&Owner, Popup->Items(), u"&Standard");
  TObject* Seen = nullptr;
  bool SeenAction = false;
  UnicodeString SeenCaption;
  Item->OnClick = [&](TObject* Sender) {
    Seen = Sender;
    SeenAction = dynamic_cast<TCustomAction*>(Sender) != nullptr;
    if (SeenAction)
      SeenCaption = static_cast<TCustomAction*>(Sender)->Caption();
  };
  Popup->Popup(0, 0);
  EXPECT_EQ(Shown, 1);
  EXPECT_TRUE(Popup->IsPoppedUp());
  Popup->ClickItem(Item);
  EXPECT_TRUE(SeenAction);
  EXPECT_EQ(SeenCaption, u"&Standard");
  // A plain click on the item itself still sends the item.
  Item->Click();
  EXPECT_EQ(Seen, Item);
}

TEST(Menus, ToolButtonForgetsItsDropdownMenuWhenTheMenuIsReleased) {
  TComponent Owner(nullptr);
  TComponent Other(nullptr);
  auto* Button = new TToolButton(&Owner);
  auto* Popup = new TPopupActionBar(&Other);
  Button->SetDropdownMenu(Popup);
  delete Popup;
  EXPECT_EQ(Button->DropdownMenu(), nullptr);
}

TEST(Menus, ToolButtonForgetsItsSiblingDropdownMenuWhenTheMenuIsReleased) {
  // As the add-in has them: button and menu owned by one owner, with many items beside them
  // that come and go without the two hearing of them.
  for (const bool Release : {false, true}) {
    TComponent Owner(nullptr);
    TComponent Elsewhere(nullptr);
    auto* Button = new TToolButton(&Owner);
    auto* Popup = new TPopupActionBar(&Owner);
    Button->SetDropdownMenu(Popup);
    std::vector<TMenuItem*> Items;
    for (int I = 0; I < 20; ++I) {
      Items.push_back(new TMenuItem(&Owner));
      Popup->Items()->Add(Items.back());
    }
    for (int I = 0; I < 20; I += 3)
      delete Items[static_cast<size_t>(I)];
    EXPECT_EQ(Button->DropdownMenu(), Popup);
    if (Release) {
      delete Popup;
      EXPECT_EQ(Button->DropdownMenu(), nullptr);
    } else {
      Elsewhere.InsertComponent(Popup); // another owner: still the button's menu
      EXPECT_EQ(Popup->Owner(), &Elsewhere);
      EXPECT_EQ(Button->DropdownMenu(), Popup);
    }
    delete Button; // must not reach the menu
    if (!Release)
      delete Popup; // must not reach the button
  }
}

// An owner that records what it is told, in order.
class TRecordingOwner : public TComponent {
public:
  using TComponent::TComponent;
  std::vector<std::pair<TOperation, TComponent*>> Told;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    Told.emplace_back(Operation, AComponent);
  }
};

// Whatever order items are released in, leaves before their parents, the owner hears of each
// removal once, in the order of release, and the parents are left empty.
TEST(Menus, ItemsReleasedInAnyOrderAreAnnouncedOnceEach) {
  TRecordingOwner Owner(nullptr);
  auto* Root = NewItem(&Owner, nullptr, u"root");
  std::vector<TMenuItem*> Items;
  for (int I = 0; I < 40; ++I) {
    TMenuItem* Parent = I % 4 == 0 ? Root : Items[static_cast<size_t>(I / 4 * 4)];
    Items.push_back(NewItem(&Owner, Parent, u"item " + IntToStr(I)));
    Items.back()->SetEnabled(I % 2 == 0);
    Items.back()->SetVisible(I % 3 == 0);
    Items.back()->OnClick = [](TObject*) {};
  }
  // Leaves first, in a shuffled order, then their parents from the front.
  std::vector<TMenuItem*> Order;
  for (int I = 0; I < 40; ++I)
    if (I % 4 != 0)
      Order.push_back(Items[static_cast<size_t>(I)]);
  std::shuffle(Order.begin(), Order.end(), std::mt19937(7));
  for (int I = 0; I < 40; I += 4)
    Order.push_back(Items[static_cast<size_t>(I)]);
  ASSERT_EQ(Order.size(), 40u);
  Owner.Told.clear();
  for (TMenuItem* Item : Order)
    Free(Item);
  ASSERT_EQ(Owner.Told.size(), 40u);
  for (size_t I = 0; I < Order.size(); ++I) {
    EXPECT_EQ(Owner.Told[I].first, TOperation::opRemove);
    EXPECT_EQ(Owner.Told[I].second, Order[I]);
  }
  EXPECT_EQ(Root->Count(), 0);
  EXPECT_EQ(Owner.ComponentCount(), 1);
}

} // namespace
