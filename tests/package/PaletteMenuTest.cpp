#include "PaletteMenuFixture.h"
#include "ReleaseWatch.h"

#include "rtl/StringList.h"
#include "vcl/ActnList.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST_F(PaletteMenuTest, EmptyPaletteGivesSeparatorAndEditEntryOnly) {
  EXPECT_EQ(Tree(PaletteMenu()), "Hidden (hidden)\n");
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\n-\nEdit Categories...\n");
  EXPECT_EQ(OpenButton(), "-\nEdit Categories...\n");
  EXPECT_EQ(Menu->Items()->Items(Menu->Items()->Count() - 1), PaletteMenu());
}

TEST_F(PaletteMenuTest, CategoriesStandInCodeUnitOrderAndTabsInListOrder) {
  Tab(u"beta");
  Tab(u"Alpha");
  Tab(u"Gamma");
  Tab(u"delta");
  Assign(u"beta", u"alpha");
  Assign(u"Alpha", u"alpha");
  Assign(u"Gamma", u"Zeta");
  const std::string Want = "Other\n  delta\nZeta\n  Gamma\nalpha\n  Alpha\n  beta\n"
                           "-\nEdit Categories...\n";
  EXPECT_EQ(OpenButton(), Want);
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\n" + Want);
}

TEST_F(PaletteMenuTest, PiecesAreUsedAsTypedIncludingEmptyOnes) {
  Tab(u"Both");
  Tab(u"Gap");
  Tab(u"Trail");
  Tab(u"Semi");
  Tab(u"Blank");
  Tab(u"Dash");
  Assign(u"Both", u"A;B");
  Assign(u"Gap", u"A;;B");
  Assign(u"Trail", u"A;B;");
  Assign(u"Semi", u";");
  Assign(u"Blank", u"A; B");
  Assign(u"Dash", u"-");
  EXPECT_EQ(OpenButton(), "\n  Gap\n  Semi\n  Semi\n  Trail\n"
                          " B\n  Blank\n"
                          "-\n  Dash\n"
                          "A\n  Blank\n  Both\n  Gap\n  Trail\n"
                          "B\n  Both\n  Gap\n  Trail\n"
                          "-\nEdit Categories...\n");
}

TEST_F(PaletteMenuTest, PiecesDifferingInCaseOrHotkeyShareTheFirstCreatedItem) {
  Tab(u"One");
  Tab(u"Two");
  Tab(u"Three");
  Assign(u"One", u"vcl");
  Assign(u"Two", u"VCL");
  Assign(u"Three", u"V&CL");
  EXPECT_EQ(OpenButton(), "vcl\n  One\n  Three\n  Two\n-\nEdit Categories...\n");
}

TEST_F(PaletteMenuTest, PiecesDifferingBeyondLetterCaseGetTheirOwnCategoryItems) {
  Tab(u"One");
  Tab(u"\uFF21bc");
  Tab(u"Abc");
  // Ligature, full-width and decomposed spellings are other names; case and "&" are not.
  Assign(u"One", u"\uFB01le;FILE;\uFF21bc;abc;A&BC;Cafe\u0301;caf\u00E9");
  Assign(u"\uFF21bc", u"Wide");
  Assign(u"Abc", u"Latin");
  const std::string Want = UTF8Encode(u"Cafe\u0301\n  One\n"
                                      u"FILE\n  One\n"
                                      u"Latin\n  Abc\n"
                                      u"Wide\n  \uFF21bc\n"
                                      u"abc\n  One\n  One\n"
                                      u"caf\u00E9\n  One\n"
                                      u"\uFB01le\n  One\n"
                                      u"\uFF21bc\n  One\n"
                                      u"-\nEdit Categories...\n");
  EXPECT_EQ(OpenButton(), Want);
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\n" + Want);
}

TEST_F(PaletteMenuTest, EqualPaletteCaptionsEachGetAnItemAndAmpersandsStayInItems) {
  Tab(u"Standard");
  Tab(u"Stand&ard");
  Tab(u"standard");
  Assign(u"Standard", u"Common");
  // Each keeps its own item; the stored names ignore case, so all three share one assignment.
  EXPECT_EQ(OpenButton(), "Common\n  Stand&ard\n  Standard\n  standard\n-\nEdit Categories...\n");
}

TEST_F(PaletteMenuTest, CategoryNamedHiddenShowsInTheMainMenuAndNothingPilesUp) {
  Tab(u"Secret");
  Assign(u"Secret", u"hid&den");
  const std::string Want = "Hidden (hidden)\nhid&den\n  Secret\n-\nEdit Categories...\n";
  EXPECT_EQ(OpenMain(), Want);
  EXPECT_EQ(OpenMain(), Want);
  EXPECT_EQ(PaletteMenu()->Items(0)->Count(), 0);
  EXPECT_EQ(OpenButton(), "hid&den\n  Secret\n-\nEdit Categories...\n");
}

TEST_F(PaletteMenuTest, EveryOpeningRebuildsFromThePaletteAndTheStore) {
  Tab(u"Standard");
  Tab(u"Additional");
  OpenMain();
  OpenButton();
  const int Owned = AddIn->ComponentCount();
  EXPECT_EQ(OpenMain(),
            "Hidden (hidden)\nOther\n  Additional\n  Standard\n-\nEdit Categories...\n");
  EXPECT_EQ(OpenButton(), "Other\n  Additional\n  Standard\n-\nEdit Categories...\n");
  // Items of earlier builds are released, not kept.
  EXPECT_EQ(AddIn->ComponentCount(), Owned);

  Assign(u"Standard", u"VCL");
  Palette->Categories()->Items(1)->SetCaption(u"Add&itional");
  Tab(u"Win32");
  EXPECT_EQ(OpenButton(),
            "Other\n  Add&itional\n  Win32\nVCL\n  Standard\n-\nEdit Categories...\n");
  Palette->Categories()->Delete(0);
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\nOther\n  Add&itional\n  Win32\n-\nEdit Categories...\n");
}

TEST_F(PaletteMenuTest, StoreFailingMidBuildKeepsItemsSoFarAndNextOpeningStartsAfresh) {
  Tab(u"A");
  Tab(u"B");
  Tab(u"C");
  Assign(u"A", u"X");
  OpenMain(); // a whole build first, whose items the failing one releases
  Hive->ReadsLeft = 1;
  EXPECT_THROW(PaletteMenu()->Click(), ERegistryException);
  EXPECT_EQ(Tree(PaletteMenu()), "Hidden (hidden)\nX\n  A\n");
  Hive->ReadsLeft = 0;
  EXPECT_THROW(ButtonMenu()->Popup(0, 0), ERegistryException);
  EXPECT_EQ(Tree(ButtonMenu()->Items()), "");
  Hive->ReadsLeft = -1;
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\nOther\n  B\n  C\nX\n  A\n-\nEdit Categories...\n");
}

// The previous build's items leave the menu and are released when the menu is built again;
// the new ones and the placeholder are not touched.
TEST_F(PaletteMenuTest, AnOpeningReleasesThePreviousItemsAndOnlyThose) {
  Tab(u"Standard");
  Tab(u"Additional");
  Assign(u"Standard", u"VCL;Common");
  const std::string Want =
      "Hidden (hidden)\nCommon\n  Standard\nOther\n  Additional\nVCL\n  Standard\n-\n"
      "Edit Categories...\n";
  EXPECT_EQ(OpenMain(), Want);
  OpenButton();
  const int Owned = AddIn->ComponentCount();
  TReleaseWatch Old;
  Old.WatchAllItems(PaletteMenu());
  Old.Watched -= 1; // the placeholder stays
  PaletteMenu()->Items(0)->RemoveFreeNotification(&Old);
  TReleaseWatch ButtonItems;
  ButtonItems.WatchAllItems(ButtonMenu()->Items());

  EXPECT_EQ(OpenMain(), Want);
  EXPECT_EQ(Old.Released, Old.Watched);
  EXPECT_EQ(ButtonItems.Released, 0) << "the other menu's items stay";
  EXPECT_EQ(AddIn->ComponentCount(), Owned);
  for (int I = 0; I < 5; ++I)
    OpenMain();
  EXPECT_EQ(AddIn->ComponentCount(), Owned) << "nothing piles up";
  AddIn.reset();
  EXPECT_EQ(ButtonItems.Released, ButtonItems.Watched) << "released with the data module";
}

TEST_F(PaletteMenuTest, EditEntryIsBoundInBothMenus) {
  OpenMain();
  OpenButton();
  TMenuItem* Main = PaletteMenu()->Find(u"Edit Categories...");
  TMenuItem* Button = ButtonMenu()->Items()->Find(u"Edit Categories...");
  ASSERT_NE(Main, nullptr);
  ASSERT_NE(Button, nullptr);
  EXPECT_TRUE(static_cast<bool>(Main->OnClick));
  EXPECT_TRUE(static_cast<bool>(Button->OnClick));
  EXPECT_FALSE(static_cast<bool>(PaletteMenu()->Find(u"-")->OnClick));
}

// --- navigation -------------------------------------------------------------------------------

TEST_F(PaletteMenuTest, PickingATabExpandsItAndScrollsItIntoView) {
  for (int I = 0; I < 12; ++I)
    Tab(u"Tab" + IntToStr(I), true, 5);
  Assign(u"Tab11", u"Far");
  OpenMain();
  TMenuItem* Item = PaletteMenu()->Find(u"Far")->Items(0);
  Item->Click();
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Tab11"}));
  EXPECT_TRUE(Palette->IsCategoryVisible(11));
  EXPECT_GT(Palette->ScrollPosition(), 0);
  // Already expanded: stays so, and is brought back into view.
  Palette->SetScrollPosition(0);
  Item->Click();
  EXPECT_TRUE(Palette->IsCategoryVisible(11));
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Tab11"}));
}

TEST_F(PaletteMenuTest, DropDownClicksArriveAsActionsAndStillNavigate) {
  Tab(u"Standard");
  Tab(u"Data &Access");
  OpenButton();
  TMenuItem* Other = ButtonMenu()->Items()->Find(u"Other");
  ButtonMenu()->ClickItem(Other->Items(0)); // "Data &Access"
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Data &Access"}));
  ButtonMenu()->ClickItem(Other->Items(1));
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Standard", u"Data &Access"}));
}

TEST_F(PaletteMenuTest, OnlyTheFirstOfEqualCaptionsIsActedOn) {
  Tab(u"Standard");
  Tab(u"Standard");
  Access::SwitchToTab(*AddIn, u"&Standard");
  EXPECT_FALSE(Palette->Categories()->Items(0)->Collapsed());
  EXPECT_TRUE(Palette->Categories()->Items(1)->Collapsed());
}

TEST_F(PaletteMenuTest, EachTabItemReachesItsOwnTabAmongCaptionsOfOneKey) {
  Tab(u"&Std");
  Tab(u"Std");
  Tab(u"S&td");
  OpenButton();
  TMenuItem* Other = ButtonMenu()->Items()->Find(u"Other");
  ASSERT_EQ(Other->Count(), 3);
  for (int I = 0; I < Other->Count(); ++I) {
    for (int C = 0; C < Palette->Categories()->Count(); ++C)
      Palette->Categories()->Items(C)->SetCollapsed(true);
    ButtonMenu()->ClickItem(Other->Items(I));
    EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{Other->Items(I)->Caption()}));
  }
}

TEST_F(PaletteMenuTest, CaptionsOfNoTabFallBackToTheTabNamedByTheKeyThenToAnyOfThatKey) {
  Tab(u"Stand&ard");
  Tab(u"Standard");
  Access::SwitchToTab(*AddIn, u"&Standard");
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Standard"}));
  Tab(u"Dialo&gs");
  Access::SwitchToTab(*AddIn, u"Dial&ogs");
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Standard", u"Dialo&gs"}));
  // The fallback stays exact: letter case is not ignored.
  Access::SwitchToTab(*AddIn, u"stand&ard");
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Standard", u"Dialo&gs"}));
}

TEST_F(PaletteMenuTest, VanishedTabsAndForeignSendersChangeNothing) {
  Tab(u"Standard");
  OpenMain();
  TMenuItem* Item = PaletteMenu()->Find(u"Other")->Items(0);
  Palette->Categories()->Delete(0);
  Tab(u"Additional");
  EXPECT_NO_THROW(Item->Click());
  EXPECT_TRUE(Expanded().empty());

  // Neither a menu item nor an action, or no sender: the empty caption is looked for.
  TComponent Stranger(nullptr);
  Access::TabItemClick(*AddIn, &Stranger);
  Access::TabItemClick(*AddIn, nullptr);
  EXPECT_TRUE(Expanded().empty());
  Tab(u"");
  Access::TabItemClick(*AddIn, nullptr);
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u""}));

  TCustomAction Action(nullptr);
  Action.SetCaption(u"&Additional");
  Access::TabItemClick(*AddIn, &Action);
  EXPECT_EQ(Expanded(), (std::vector<UnicodeString>{u"Additional", u""}));
}

TEST_F(PaletteMenuTest, AssignmentsAreReadUnderTheTabKey) {
  Assign(u"Standard", u"Common");
  EXPECT_EQ(Access::GetCategory(*AddIn, u"Standard"), u"Common");
  EXPECT_EQ(Access::GetCategory(*AddIn, u"Nothing"), u"");
  Tab(u"&Stand&ard");
  EXPECT_EQ(OpenButton(), "Common\n  &Stand&ard\n-\nEdit Categories...\n");
}

// Fills the palette with TabCount tabs whose assignments take pieces of Pool at random, and
// checks that both menus come out as walking the category items for each piece would make them.
class PaletteMenuWalkTest : public PaletteMenuTest {
protected:
  void ExpectBuiltAsAWalkWould(const std::vector<UnicodeString>& Pool, int TabCount);
};

void PaletteMenuWalkTest::ExpectBuiltAsAWalkWould(const std::vector<UnicodeString>& Pool,
                                                  int TabCount) {
  std::vector<UnicodeString> Captions;
  unsigned Seed = 12345;
  auto Next = [&Seed](unsigned N) {
    Seed = Seed * 1103515245u + 12345u;
    return (Seed >> 16) % N;
  };
  for (int I = 0; I < TabCount; ++I) {
    const UnicodeString Caption = u"Tab" + IntToStr(static_cast<long long>(Next(1000)));
    Captions.push_back(Caption);
    Tab(Caption);
    const unsigned Pieces = Next(4); // 0: nothing stored, the tab goes under "Other"
    UnicodeString Cats;
    for (unsigned J = 0; J < Pieces; ++J)
      Cats += (J ? u";" : u"") + Pool[Next(static_cast<unsigned>(Pool.size()))];
    if (!Cats.empty())
      Assign(Caption, Cats);
  }

  // What walking the category items for each piece gives: the first item Find matches, else a
  // new one before the first whose caption does not sort before the piece.
  TStringList Sorted;
  for (const UnicodeString& C : Captions)
    Sorted.Add(C);
  Sorted.SetSorted(true);
  std::vector<std::pair<UnicodeString, std::vector<UnicodeString>>> Cats;
  for (int I = 0; I < Sorted.Count(); ++I) {
    UnicodeString Stored = Access::GetCategory(*AddIn, Sorted[I]);
    if (Stored.empty())
      Stored = u"Other";
    size_t From = 0;
    while (true) {
      const size_t P = Stored.find(u';', From);
      const UnicodeString Piece = Stored.substr(From, P == UnicodeString::npos ? P : P - From);
      auto It = std::find_if(Cats.begin(), Cats.end(), [&](const auto& C) {
        return MenuFindKey(C.first) == MenuFindKey(Piece);
      });
      if (It == Cats.end()) {
        It = std::find_if(Cats.begin(), Cats.end(),
                          [&](const auto& C) { return !(C.first < Piece); });
        It = Cats.insert(It, {Piece, {}});
      }
      It->second.push_back(Sorted[I]);
      if (P == UnicodeString::npos)
        break;
      From = P + 1;
    }
  }
  std::string Want;
  for (const auto& [Caption, Tabs] : Cats) {
    Want += UTF8Encode(Caption) + "\n";
    for (const UnicodeString& T : Tabs)
      Want += "  " + UTF8Encode(T) + "\n";
  }
  Want += "-\nEdit Categories...\n";
  ASSERT_GT(Cats.size(), 10u);

  // Each build has an index of its own: alternate the menus and build each twice.
  EXPECT_EQ(OpenButton(), Want);
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\n" + Want);
  EXPECT_EQ(OpenButton(), Want);
  EXPECT_EQ(OpenMain(), "Hidden (hidden)\n" + Want);
}

TEST_F(PaletteMenuWalkTest, ManyCategoriesMergeAndOrderAsOneWalkOfTheMenuWould) {
  // Pieces that merge by letter case or hot keys, arriving in no particular order.
  ExpectBuiltAsAWalkWould({u"VCL",   u"vcl",   u"V&CL",  u"Data", u"&data",      u"DATA ",
                           u"Zeta",  u"alpha", u"Alpha", u"-",    u"",           u"Other",
                           u"other", u"B",     u"b",     u"Web",  u"web&",       u"W&EB",
                           u"Z",     u"a",     u"zz",    u"Zz",   u"\u00C4rger", u"\u00E4RGER"},
                          80);
}

TEST_F(PaletteMenuWalkTest, HundredsOfCategoriesFindTheirItemsAsTheIndexGrows) {
  // More categories than the build's index starts with room for, each also written in other
  // letter case and with a hot key, so that it grows several times while items are found in it.
  std::vector<UnicodeString> Pool;
  for (int I = 0; I < 160; ++I) {
    const UnicodeString N = IntToStr(I);
    Pool.push_back(u"Group " + N);
    Pool.push_back(u"GROUP " + N);
    Pool.push_back(u"G&roup " + N);
  }
  ExpectBuiltAsAWalkWould(Pool, 600);
}

} // namespace
