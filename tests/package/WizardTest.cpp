// The add-in attached to the stand-in IDE through Register, and detached again when the IDE
// lets its wizard go.
#include "OvPaletteMenu.h"
#include "ReleaseWatch.h"

#include "Ide.h"
#include "IdeTestAids.h"

#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class WizardTest : public ::testing::Test {
protected:
  void SetUp() override {
    Ide.LoadPalette({{u"Standard", false, {u"TButton"}}, {u"Additional", true, {u"TBevel"}}});
    // This test stands in for the IDE's package loader: it keeps the wizards registered.
    Catcher = std::make_unique<TWizardCatcher>(
        [this](const TInterfacePtr<IOTAWizard>& W) { Registered.push_back(W); });
    PristineToolbar = Toolbar();
    PristineMenu = Menu();
  }
  void TearDown() override {
    Registered.clear();
    Catcher.reset();
  }

  std::string Toolbar() {
    std::string S;
    TToolBar* Bar = Ide.ToolBar();
    for (int I = 0; I < Bar->ButtonCount(); ++I) {
      TToolButton* B = Bar->Buttons(I);
      S += UTF8Encode(B->Name()) + (B->Visible() ? "" : "(hidden)") + " ";
    }
    return S;
  }
  std::string Menu() {
    std::string S;
    for (int I = 0; I < Ide.MainMenu()->Items()->Count(); ++I)
      S += UTF8Encode(Ide.MainMenu()->Items()->Items(I)->Caption()) + " ";
    return S;
  }
  static std::string Tree(const TMenuItem* Item, int Depth = 0) {
    std::string Out;
    for (int I = 0; I < Item->Count(); ++I) {
      Out += std::string(static_cast<size_t>(Depth) * 2, ' ') +
             UTF8Encode(Item->Items(I)->Caption()) + "\n";
      Out += Tree(Item->Items(I), Depth + 1);
    }
    return Out;
  }
  TToolButton* AddInButton() {
    for (int I = 0; I < Ide.ToolBar()->ButtonCount(); ++I)
      if (Ide.ToolBar()->Buttons(I)->Name() == u"tbPalette")
        return Ide.ToolBar()->Buttons(I);
    return nullptr;
  }

  THostIde Ide;
  TIdeFaults Faults{Ide};
  std::unique_ptr<TWizardCatcher> Catcher;
  std::vector<TInterfacePtr<IOTAWizard>> Registered; // released before the IDE
  std::string PristineToolbar, PristineMenu;
};

TEST_F(WizardTest, RegisterAttachesAndReleasingTheWizardDetachesExactlyOnce) {
  const int ImagesBefore = Ide.ToolImages()->Count();
  Register();
  ASSERT_EQ(Registered.size(), 1u);
  EXPECT_EQ(Registered[0]->GetIDString(), u"Orvik Software.Component Palette Menu");
  EXPECT_EQ(Registered[0]->GetName(), u"Component Palette Menu");
  EXPECT_EQ(Registered[0]->GetState(), 0u);
  ASSERT_NE(OvPaletteMenuWizardDataModule, nullptr);
  // Built from its stored layout, which also bound the creation and destruction handlers.
  EXPECT_EQ(OvPaletteMenuWizardDataModule->Name(), u"OvPaletteMenuWizardDataModule");
  EXPECT_EQ(OvPaletteMenuWizardDataModule->Width(), 319);
  EXPECT_EQ(OvPaletteMenuWizardDataModule->Height(), 144);
  EXPECT_FALSE(OvPaletteMenuWizardDataModule->OldCreateOrder());

  // The first button hidden, the add-in's drop-down button at the left end with the glyph.
  EXPECT_EQ(Toolbar(), "tbPalette tbCollapseAll(hidden) tbExpandAll ToolButton3 tbShowCaptions ");
  TToolButton* B = AddInButton();
  ASSERT_NE(B, nullptr);
  EXPECT_EQ(B->Owner(), OvPaletteMenuWizardDataModule);
  EXPECT_EQ(B->Style(), TToolButtonStyle::tbsDropDown);
  EXPECT_EQ(B->Hint(), u"Orvik Palette Menu");
  EXPECT_EQ(Ide.ToolImages()->Count(), ImagesBefore + 1);
  EXPECT_EQ(B->ImageIndex(), ImagesBefore);
  // The glyph's background is masked out, its picture is not.
  EXPECT_TRUE(Ide.ToolImages()->IsTransparent(B->ImageIndex(), 0, 15));
  EXPECT_TRUE(Ide.ToolImages()->IsTransparent(B->ImageIndex(), 15, 0));
  EXPECT_FALSE(Ide.ToolImages()->IsTransparent(B->ImageIndex(), 3, 3));

  // "P&alette" last, holding only its invisible placeholder until it is first opened.
  EXPECT_EQ(Menu(), PristineMenu + "P&alette ");
  TMenuItem* Palette = Ide.MainMenu()->Items()->Find(u"Palette");
  ASSERT_EQ(Palette->Count(), 1);
  EXPECT_EQ(Palette->Items(0)->Caption(), u"Hidden");
  EXPECT_FALSE(Palette->Items(0)->Visible());

  TReleaseWatch Counter;
  Counter.Watch(OvPaletteMenuWizardDataModule);
  Registered.clear(); // the IDE lets go of its only reference
  EXPECT_EQ(Counter.Released, 1);
  EXPECT_EQ(OvPaletteMenuWizardDataModule, nullptr);
  EXPECT_EQ(Toolbar(), PristineToolbar);
  EXPECT_EQ(Menu(), PristineMenu);
  EXPECT_EQ(Ide.ToolImages()->Count(), ImagesBefore + 1); // the glyph stays
}

TEST_F(WizardTest, TheButtonsFaceDropsDownTheSameMenuAsItsArrow) {
  Register();
  TToolButton* B = AddInButton();
  ASSERT_NE(B, nullptr);
  TPopupMenu* Menu = B->DropdownMenu();
  ASSERT_NE(Menu, nullptr);
  B->CheckMenuDropdown();
  const std::string ByArrow = Tree(Menu->Items());
  Menu->CloseUp();
  Menu->Items()->Clear();
  B->Click();
  EXPECT_TRUE(Menu->IsPoppedUp());
  EXPECT_EQ(Tree(Menu->Items()), ByArrow);
  EXPECT_EQ(ByArrow, "Other\n  Additional\n  Standard\n-\nEdit Categories...\n");
}

TEST_F(WizardTest, EachMissingPieceFailsRegisterCleanlyWithAClearError) {
  const std::vector<std::pair<std::string, std::u16string>> Cases{
      {"toolform", u"no open form is named \"ToolForm\""},
      {"palette", u"the form ToolForm has no component named \"Palette\""},
      {"palette-class", u"ToolForm.Palette is a TWinControl, not a TCategoryButtons"},
      {"toolbar", u"the form ToolForm has no component named \"Toolbar1\""},
      {"toolbar-class", u"ToolForm.Toolbar1 is a TWinControl, not a TToolBar"},
      {"toolbar-controls", u"the tool bar ToolForm.Toolbar1 has no control"},
      {"toolbar-images", u"the tool bar ToolForm.Toolbar1 has no image list"},
      {"services", u"the IDE offers no services"},
      {"ntaservices",
       u"the IDE services do not include INTAServices {8209041F-F37F-4570-88B8-6C310FFFF81A}"},
      {"main-menu", u"the IDE services give no main menu"},
  };
  for (const auto& [Piece, Why] : Cases) {
    SCOPED_TRACE(Piece);
    Faults.Break(Piece);
    const int Images = Ide.ToolImages()->Count();
    try {
      Register();
      ADD_FAILURE() << "attached without " << Piece;
    } catch (const EComponentError& E) {
      EXPECT_EQ(E.Message(), u"Cannot attach the palette menu to the IDE: " + Why);
    }
    EXPECT_TRUE(Registered.empty());
    EXPECT_EQ(OvPaletteMenuWizardDataModule, nullptr);
    Faults.Repair();
    // Nothing of the add-in is left: not its button, not its menu entry.
    EXPECT_EQ(Toolbar(), PristineToolbar);
    EXPECT_EQ(Menu(), PristineMenu);
    // Every check comes before the first change: not even the glyph is left behind.
    EXPECT_EQ(Ide.ToolImages()->Count(), Images);
  }
  Register();
  EXPECT_EQ(Registered.size(), 1u);
}

TEST_F(WizardTest, ASecondAttachmentIsRefusedAndLeavesTheFirstAlone) {
  Register();
  try {
    Register();
    ADD_FAILURE() << "attached twice";
  } catch (const EComponentError& E) {
    EXPECT_EQ(E.Message(), u"The palette menu is already attached to the IDE");
  }
  EXPECT_EQ(Registered.size(), 1u);
  EXPECT_EQ(Toolbar(), "tbPalette tbCollapseAll(hidden) tbExpandAll ToolButton3 tbShowCaptions ");
  Registered.clear();
  EXPECT_EQ(Toolbar(), PristineToolbar);
}

TEST_F(WizardTest, ObjectsTheIdeReleasesWhileAttachedAreForgotten) {
  Register();
  // The IDE drops its tool bar, with the add-in's button and its own first button on it.
  Free(Ide.ToolBar());
  EXPECT_EQ(Ide.ToolForm()->FindComponent(u"tbCollapseAll"), nullptr);
  // Detaching then touches neither.
  Registered.clear();
  EXPECT_EQ(OvPaletteMenuWizardDataModule, nullptr);
  EXPECT_EQ(Menu(), PristineMenu);
}

} // namespace
