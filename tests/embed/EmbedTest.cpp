// The C interface as a host in another language uses it: through the functions of OrvikEmbed.h
// only, with the add-in built beside the library and a hive of the test's own.
#include "OrvikEmbed.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// What a host would show and do, recorded.
struct TRecordingHost {
  std::vector<std::string> Reports;
  std::vector<int> ShownPages;
  // Works a modal form as the user would; answers the host's own result.
  std::function<int(orvik_session*, orvik_id)> Modal;
  orvik_session* Session = nullptr;
  int ModalRuns = 0;

  orvik_host Callbacks() {
    orvik_host H{};
    H.context = this;
    H.report = [](void* C, const char* M) {
      static_cast<TRecordingHost*>(C)->Reports.push_back(M);
    };
    H.show_page = [](void* C, int I) { static_cast<TRecordingHost*>(C)->ShownPages.push_back(I); };
    H.run_modal = [](void* C, orvik_id Form) {
      auto* Self = static_cast<TRecordingHost*>(C);
      ++Self->ModalRuns;
      return Self->Modal ? Self->Modal(Self->Session, Form) : 2;
    };
    return H;
  }
};

std::string Str(const char* S) {
  return S ? S : "<null>";
}

// The item of that caption among the children of Parent, or 0.
orvik_id Child(orvik_session* S, orvik_id Parent, const std::string& Caption) {
  for (int I = 0; I < orvik_item_count(S, Parent); ++I) {
    const orvik_id C = orvik_item_child(S, Parent, I);
    if (Str(orvik_item_caption(S, C)) == Caption)
      return C;
  }
  return 0;
}

// A menu as lines: the visible items, two blanks of indent per level.
void Dump(orvik_session* S, orvik_id Item, int Depth, std::string& Out) {
  for (int I = 0; I < orvik_item_count(S, Item); ++I) {
    const orvik_id C = orvik_item_child(S, Item, I);
    if (!(orvik_item_flags(S, C) & ORVIK_ITEM_VISIBLE))
      continue;
    Out += std::string(2 * Depth, ' ') + Str(orvik_item_caption(S, C)) + "\n";
    Dump(S, C, Depth + 1, Out);
  }
}

class EmbedTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A hive of this test's own, beside the one the test program was given.
    const char* Given = std::getenv("HOSTIDE_REGISTRY");
    ASSERT_NE(Given, nullptr);
    FGivenHive = Given;
    const std::string Hive = FGivenHive.substr(0, FGivenHive.rfind('/') + 1) +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".db";
    ::setenv("HOSTIDE_REGISTRY", Hive.c_str(), 1);
    const orvik_host Callbacks = Host.Callbacks();
    Session = orvik_open(&Callbacks);
    ASSERT_NE(Session, nullptr) << (Host.Reports.empty() ? "" : Host.Reports.front());
    Host.Session = Session;
  }
  void TearDown() override {
    orvik_close(Session);
    ::setenv("HOSTIDE_REGISTRY", FGivenHive.c_str(), 1);
  }

  void LoadAddIn() { ASSERT_EQ(orvik_load_addin(Session, nullptr), 1) << Reports(); }
  std::string Reports() const {
    std::string All;
    for (const std::string& R : Host.Reports)
      All += R + "\n";
    return All;
  }
  void SetPages(const std::vector<const char*>& Names) {
    orvik_set_pages(Session, Names.data(), static_cast<int>(Names.size()));
  }
  orvik_id PaletteEntry() { return Child(Session, orvik_main_menu(Session), "P&alette"); }
  // Opens "P&alette" as a user does and answers what it shows.
  std::string OpenPalette() {
    const orvik_id Entry = PaletteEntry();
    EXPECT_EQ(orvik_item_click(Session, Entry), 1) << Reports();
    std::string Out;
    Dump(Session, Entry, 0, Out);
    return Out;
  }
  orvik_id AddInButton() {
    for (int I = 0; I < orvik_tool_count(Session); ++I) {
      const orvik_id B = orvik_tool_button(Session, I);
      if (Str(orvik_tool_name(Session, B)) == "tbPalette")
        return B;
    }
    return 0;
  }

  TRecordingHost Host;
  orvik_session* Session = nullptr;
  std::string FGivenHive;
};

TEST_F(EmbedTest, TheAddInAttachesItsEntryAndItsButtonInPlaceOfTheFirst) {
  EXPECT_EQ(orvik_version(), ORVIK_EMBED_VERSION);
  EXPECT_EQ(orvik_item_count(Session, orvik_main_menu(Session)), 0)
      << "the host's own entries are the host's";
  ASSERT_EQ(orvik_tool_count(Session), 1) << "a palette of pages has nothing to fold";
  LoadAddIn();
  EXPECT_NE(PaletteEntry(), 0u);

  ASSERT_EQ(orvik_tool_count(Session), 2);
  const orvik_id Mine = orvik_tool_button(Session, 0);
  const orvik_id Theirs = orvik_tool_button(Session, 1);
  EXPECT_EQ(Str(orvik_tool_name(Session, Mine)), "tbPalette");
  EXPECT_EQ(orvik_tool_flags(Session, Mine),
            ORVIK_TOOL_VISIBLE | ORVIK_TOOL_ENABLED | ORVIK_TOOL_DROPDOWN);
  EXPECT_EQ(Str(orvik_tool_hint(Session, Mine)), "Orvik Palette Menu");
  EXPECT_FALSE(orvik_tool_flags(Session, Theirs) & ORVIK_TOOL_VISIBLE);
  EXPECT_NE(orvik_tool_menu(Session, Mine), 0u);

  // The glyph: 16 x 16, its background (the bottom-left pixel's colour) transparent.
  int W = 0, H = 0;
  ASSERT_EQ(orvik_tool_image(Session, Mine, nullptr, 0, &W, &H), 256);
  std::vector<uint32_t> Pixels(static_cast<size_t>(W * H), 0xDEADBEEFu);
  ASSERT_EQ(orvik_tool_image(Session, Mine, Pixels.data(), W * H, &W, &H), 256);
  EXPECT_EQ(Pixels[15 * 16 + 0], 0u);
  int Opaque = 0;
  for (uint32_t P : Pixels) {
    EXPECT_NE(P, 0xDEADBEEFu);
    Opaque += (P >> 24) == 0xFF ? 1 : 0;
  }
  EXPECT_GT(Opaque, 16) << "the glyph draws something";

  // Unloaded with the session: the first button shows again (checked through a new session).
  orvik_close(Session);
  const orvik_host Callbacks = Host.Callbacks();
  Session = orvik_open(&Callbacks);
  ASSERT_NE(Session, nullptr) << Reports();
  EXPECT_EQ(orvik_tool_count(Session), 1);
  EXPECT_TRUE(orvik_tool_flags(Session, orvik_tool_button(Session, 0)) & ORVIK_TOOL_VISIBLE);
}

TEST_F(EmbedTest, PagesShowAsTheHostNamesThemAndAPickLandsOnItsPage) {
  LoadAddIn();
  SetPages({"Standard", "Data & Charts", "Additional"});
  EXPECT_EQ(Str(orvik_page_caption(Session, 1)), "Data && Charts");
  EXPECT_EQ(OpenPalette(), "Other\n"
                           "  Additional\n"
                           "  Data && Charts\n"
                           "  Standard\n"
                           "-\n"
                           "Edit Categories...\n");
  const orvik_id Other = Child(Session, PaletteEntry(), "Other");
  // Each page by its own item, the first and the last included, and one page twice in a row.
  for (const char* Caption : {"Data && Charts", "Standard", "Additional", "Additional"})
    EXPECT_EQ(orvik_item_click(Session, Child(Session, Other, Caption)), 1);
  EXPECT_EQ(Host.ShownPages, (std::vector<int>{1, 0, 2, 2}));
  EXPECT_TRUE(Host.Reports.empty()) << Reports();

  // One page only: still heard.
  SetPages({"Lonely"});
  OpenPalette();
  Host.ShownPages.clear();
  orvik_item_click(Session, Child(Session, Child(Session, PaletteEntry(), "Other"), "Lonely"));
  EXPECT_EQ(Host.ShownPages, std::vector<int>{0});
}

TEST_F(EmbedTest, TheMenuFollowsPagesThatComeAndGoAndOldItemsNameNothing) {
  LoadAddIn();
  SetPages({"Standard", "Additional"});
  OpenPalette();
  const orvik_id OldOther = Child(Session, PaletteEntry(), "Other");
  const orvik_id OldItem = Child(Session, OldOther, "Standard");
  ASSERT_NE(OldItem, 0u);

  SetPages({"Additional", "LazControls", "Misc"});
  // Rebuilt at every opening: the first opening's items are released by the next one at the
  // latest.
  OpenPalette();
  EXPECT_EQ(OpenPalette(), "Other\n"
                           "  Additional\n"
                           "  LazControls\n"
                           "  Misc\n"
                           "-\n"
                           "Edit Categories...\n");
  // The previous opening's items were released by the rebuild: their ids answer "gone".
  EXPECT_EQ(orvik_item_caption(Session, OldItem), nullptr);
  EXPECT_EQ(orvik_item_flags(Session, OldItem), -1);
  EXPECT_EQ(orvik_item_count(Session, OldOther), -1);
  EXPECT_EQ(orvik_item_child(Session, OldOther, 0), 0u);
  Host.ShownPages.clear();
  EXPECT_EQ(orvik_item_click(Session, OldItem), 0);
  EXPECT_TRUE(Host.ShownPages.empty());
  // Ids that never named anything, and a session that is not there.
  EXPECT_EQ(orvik_item_click(Session, 0), 0);
  EXPECT_EQ(orvik_item_caption(Session, 987654321), nullptr);
  EXPECT_EQ(orvik_item_count(nullptr, 1), -1);
  EXPECT_EQ(orvik_tool_count(nullptr), 0);
}

TEST_F(EmbedTest, TheButtonDropsItsMenuDownByItsFaceAndByItsArrow) {
  LoadAddIn();
  SetPages({"Standard", "Dialogs"});
  const orvik_id Button = AddInButton();
  const orvik_id Menu = orvik_tool_menu(Session, Button);

  // The face: the model drops the menu down and says which, built.
  EXPECT_EQ(orvik_tool_click(Session, Button), static_cast<int64_t>(Menu));
  std::string Shown;
  Dump(Session, Menu, 0, Shown);
  EXPECT_EQ(Shown, "Other\n  Dialogs\n  Standard\n-\nEdit Categories...\n");
  orvik_menu_closed(Session, Menu);

  // The arrow: the host drops it down and the model builds it before it shows.
  SetPages({"Standard", "Dialogs", "System"});
  EXPECT_EQ(orvik_menu_popup(Session, Menu), 1);
  Shown.clear();
  Dump(Session, Menu, 0, Shown);
  EXPECT_EQ(Shown, "Other\n  Dialogs\n  Standard\n  System\n-\nEdit Categories...\n");
  Host.ShownPages.clear();
  EXPECT_EQ(orvik_item_click(Session, Child(Session, Child(Session, Menu, "Other"), "System")), 1);
  EXPECT_EQ(Host.ShownPages, std::vector<int>{2});
  orvik_menu_closed(Session, Menu);
  // A root item that is no popup menu's is not dropped down.
  EXPECT_EQ(orvik_menu_popup(Session, orvik_main_menu(Session)), 0);
}

// The categories dialog worked through the form calls, as the host's dialog does.
TEST_F(EmbedTest, TheCategoriesDialogTakesATypedCategoryAndOkSavesIt) {
  LoadAddIn();
  SetPages({"Standard", "Data & Charts"});
  orvik_id Grid = 0, Ok = 0, Cancel = 0;
  std::vector<std::string> Keys;
  Host.Modal = [&](orvik_session* S, orvik_id Form) {
    EXPECT_EQ(Str(orvik_form_caption(S, Form)), "Component Palette Categories");
    EXPECT_EQ(orvik_form_centred(S, Form), 1);
    int Bounds[4];
    EXPECT_EQ(orvik_control_bounds(S, Form, Bounds), 1);
    EXPECT_EQ(Bounds[2], 297);
    EXPECT_EQ(Bounds[3], 373);
    for (int I = 0; I < orvik_control_count(S, Form); ++I) {
      const orvik_id C = orvik_control(S, Form, I);
      const std::string Name = Str(orvik_control_name(S, C));
      if (orvik_control_kind(S, C) == ORVIK_CONTROL_GRID)
        Grid = C;
      else if (Name == "BtnOk")
        Ok = C;
      else if (Name == "BtnCancel")
        Cancel = C;
    }
    EXPECT_NE(Grid, 0u);
    EXPECT_EQ(Str(orvik_control_caption(S, Ok)), "OK");
    EXPECT_EQ(orvik_button_flags(S, Ok) >> 8, 1);
    EXPECT_EQ(orvik_button_flags(S, Cancel) >> 8, 2);
    int Size[4];
    EXPECT_EQ(orvik_grid_size(S, Grid, Size), 1);
    EXPECT_EQ(Size[0], 2);
    EXPECT_EQ(Size[1], 3) << "a header and one row per page";
    EXPECT_EQ(Size[3], 1);
    EXPECT_EQ(orvik_grid_col_width(S, Grid, 0), 128);
    EXPECT_EQ(orvik_grid_row_height(S, Grid, 1), 18);
    for (int R = 1; R < Size[1]; ++R)
      Keys.push_back(Str(orvik_grid_cell(S, Grid, 0, R)));
    int Col = -1, Row = -1;
    EXPECT_EQ(orvik_grid_current(S, Grid, &Col, &Row), 1);
    EXPECT_EQ(Col, 1);
    EXPECT_EQ(Row, 1);
    // The tab column is refused; the category of the second row takes typed text.
    EXPECT_EQ(orvik_grid_select(S, Grid, 0, 2), 0);
    EXPECT_EQ(orvik_grid_select(S, Grid, 1, 2), 1);
    EXPECT_EQ(orvik_grid_can_edit(S, Grid), 1);
    EXPECT_EQ(orvik_grid_edit(S, Grid, "Visual; Ünïcode"), 1);
    EXPECT_EQ(Str(orvik_grid_cell(S, Grid, 1, 2)), "Visual; Ünïcode");
    EXPECT_EQ(orvik_button_press(S, Ok), 1);
    return 1;
  };
  EXPECT_EQ(Child(Session, PaletteEntry(), "Edit Categories..."), 0u) << "built at the opening";
  OpenPalette();
  ASSERT_EQ(orvik_item_click(Session, Child(Session, PaletteEntry(), "Edit Categories...")), 1)
      << Reports();
  EXPECT_EQ(Host.ModalRuns, 1);
  // Tab keys in sorted order; the "&" of a page name goes from the key as it does for any tab.
  EXPECT_EQ(Keys, (std::vector<std::string>{"Data  Charts", "Standard"}));
  // The form and its controls went with the dialog.
  EXPECT_EQ(orvik_control_kind(Session, Grid), -1);
  EXPECT_EQ(orvik_button_press(Session, Ok), -1);

  EXPECT_EQ(OpenPalette(), " Ünïcode\n"
                           "  Standard\n"
                           "Other\n"
                           "  Data && Charts\n"
                           "Visual\n"
                           "  Standard\n"
                           "-\n"
                           "Edit Categories...\n");
}

TEST_F(EmbedTest, CancelWritesNothingAndAHostThatShowsNoFormsIsToldOfOnce) {
  LoadAddIn();
  SetPages({"Standard"});
  Host.Modal = [](orvik_session* S, orvik_id Form) {
    orvik_id Grid = 0, Cancel = 0;
    for (int I = 0; I < orvik_control_count(S, Form); ++I) {
      const orvik_id C = orvik_control(S, Form, I);
      if (orvik_control_kind(S, C) == ORVIK_CONTROL_GRID)
        Grid = C;
      if (Str(orvik_control_name(S, C)) == "BtnCancel")
        Cancel = C;
    }
    orvik_grid_edit(S, Grid, "Never");
    EXPECT_EQ(orvik_button_press(S, Cancel), 2);
    return 2;
  };
  OpenPalette();
  orvik_item_click(Session, Child(Session, PaletteEntry(), "Edit Categories..."));
  EXPECT_EQ(OpenPalette(), "Other\n  Standard\n-\nEdit Categories...\n");

  // A host without forms: the failure reaches the report, once however often it happens.
  orvik_close(Session);
  orvik_host Callbacks = Host.Callbacks();
  Callbacks.run_modal = nullptr;
  Session = orvik_open(&Callbacks);
  ASSERT_NE(Session, nullptr);
  LoadAddIn();
  SetPages({"Standard"});
  for (int Time = 0; Time < 2; ++Time) {
    OpenPalette();
    EXPECT_EQ(orvik_item_click(Session, Child(Session, PaletteEntry(), "Edit Categories...")), -1);
  }
  ASSERT_EQ(Host.Reports.size(), 1u) << Reports();
  EXPECT_NE(Host.Reports[0].find("Component Palette Categories"), std::string::npos);
}

TEST_F(EmbedTest, AMissingAddInIsReportedOnceNamingTheFileAndTheModelGoesOn) {
  const std::string Missing = "/nonexistent/OrvikPaletteMenu170.so";
  EXPECT_EQ(orvik_load_addin(Session, Missing.c_str()), 0);
  EXPECT_EQ(orvik_load_addin(Session, Missing.c_str()), 0);
  ASSERT_EQ(Host.Reports.size(), 1u) << Reports();
  EXPECT_NE(Host.Reports[0].find(Missing), std::string::npos);
  // Not an add-in at all: the package manager says what is wrong with it.
  EXPECT_EQ(orvik_load_addin(Session, "/etc/hostname"), 0);
  ASSERT_EQ(Host.Reports.size(), 2u);
  EXPECT_NE(Host.Reports[1].find("/etc/hostname"), std::string::npos) << Host.Reports[1];
  // The model goes on: pages, and the real add-in afterwards.
  SetPages({"Standard"});
  EXPECT_EQ(PaletteEntry(), 0u);
  LoadAddIn();
  EXPECT_NE(PaletteEntry(), 0u);
  EXPECT_NE(Str(orvik_default_addin(Session)).find("OrvikPaletteMenu170.so"), std::string::npos);
}

TEST_F(EmbedTest, OnlyOneModelLivesInAProcess) {
  TRecordingHost Second;
  const orvik_host Callbacks = Second.Callbacks();
  EXPECT_EQ(orvik_open(&Callbacks), nullptr);
  ASSERT_EQ(Second.Reports.size(), 1u);
  EXPECT_NE(Second.Reports[0].find("cannot start"), std::string::npos) << Second.Reports[0];
  EXPECT_EQ(orvik_open(nullptr), nullptr);
  orvik_close(nullptr);
}

} // namespace
