// Loading and unloading packages in the stand-in IDE, with the add-in built beside the tests.
#include "Ide.h"
#include "IdeTestAids.h"

#include "rtl/PackageInfo.h"

#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

class PackagesTest : public ::testing::Test {
protected:
  std::string Toolbar() {
    std::string S;
    for (int I = 0; I < Ide.ToolBar()->ButtonCount(); ++I) {
      TToolButton* B = Ide.ToolBar()->Buttons(I);
      S += UTF8Encode(B->Name()) + (B->Visible() ? " " : "(hidden) ");
    }
    return S;
  }
  std::string LastMenuEntry() {
    TMenuItem* Root = Ide.MainMenu()->Items();
    return UTF8Encode(Root->Items(Root->Count() - 1)->Caption());
  }
  std::u16string LoadError(const std::string& File) {
    try {
      Ide.Packages().Load(File);
    } catch (const EPackageError& E) {
      return E.Message();
    }
    return u"(loaded)";
  }

  // Every record as "FILE STATE", in order.
  std::string States() {
    std::string S;
    for (const auto& P : Ide.Packages().Packages())
      S += (S.empty() ? "" : ", ") + P->FileName + " " + PackageStateName(P->State);
    return S;
  }

  THostIde Ide;
};

TEST_F(PackagesTest, LoadRegistersTheWizardAndUnloadReleasesItBeforeTheLibraryGoes) {
  const std::string Pristine = Toolbar();
  const TPackageRecord& P = Ide.Packages().Load("OrvikPaletteMenu170.so");
  EXPECT_EQ(P.FileName, "OrvikPaletteMenu170.so");
  EXPECT_EQ(P.Name, u"OrvikPaletteMenu");
  EXPECT_EQ(P.Description, u"Orvik Palette Menu 3.2");
  EXPECT_EQ(P.Version, u"3.2.0.0");
  ASSERT_EQ(P.Wizards.size(), 1u);
  EXPECT_EQ(P.Wizards[0].IDString, u"Orvik Software.Component Palette Menu");
  EXPECT_EQ(P.Wizards[0].Name, u"Component Palette Menu");
  EXPECT_EQ(Toolbar(), "tbPalette tbCollapseAll(hidden) tbExpandAll ToolButton3 tbShowCaptions ");
  EXPECT_EQ(LastMenuEntry(), "P&alette");
  EXPECT_EQ(LoadError("OrvikPaletteMenu170.so"), u"Package OrvikPaletteMenu170.so is already "
                                                 u"loaded");

  // Released by its stem; the wizard's release detaches the add-in while its code is there.
  // The record stays, unloaded.
  Ide.Packages().Unload("OrvikPaletteMenu170");
  EXPECT_EQ(States(), "OrvikPaletteMenu170.so unloaded");
  EXPECT_FALSE(Ide.Packages().AnyRegistered());
  EXPECT_EQ(Toolbar(), Pristine);
  EXPECT_EQ(LastMenuEntry(), "&Help");

  // Loaded afresh, it attaches again, in the same record.
  Ide.Packages().Load("OrvikPaletteMenu170.so");
  EXPECT_EQ(LastMenuEntry(), "P&alette");
  EXPECT_EQ(States(), "OrvikPaletteMenu170.so registered");
  Ide.Packages().Unload("OrvikPaletteMenu");
  EXPECT_THROW(Ide.Packages().Unload("OrvikPaletteMenu"), EPackageError);
}

TEST_F(PackagesTest, ThePackageUnitDeclaresWhatThePackageRequiresAndContains) {
  const TPackageInfo& I = *Ide.Packages().Load("OrvikPaletteMenu170.so").Info;
  EXPECT_EQ(I.Flags & (pfDesignOnly | pfRunOnly), pfDesignOnly);
  ASSERT_EQ(I.Requires.size(), 2u);
  EXPECT_EQ(std::u16string(I.Requires[0]), u"designide170");
  EXPECT_EQ(std::u16string(I.Requires[1]), u"vcl170");
  std::vector<std::u16string> Units;
  int Registers = 0;
  for (const TPackageUnitInfo& U : I.Contains) {
    Units.emplace_back(U.Name);
    Registers += U.Register != nullptr;
  }
  EXPECT_EQ(Units, (std::vector<std::u16string>{u"OrvikPaletteMenu", u"OvPaletteMenuCommon",
                                                u"OvPaletteMenuCategoriesForm", u"OvPaletteMenu"}));
  EXPECT_EQ(Registers, 1);
  EXPECT_EQ(I.Version.LanguageId, 0x0409);
  EXPECT_EQ(I.Version.CodePage, 1252);
  EXPECT_EQ(std::u16string(I.Version.ProductVersion), u"3.2.0.0");
  EXPECT_EQ(std::u16string(I.Version.FileDescription), u"Orvik Palette Menu Expert");
  EXPECT_EQ(std::u16string(I.Version.ProductName), u"Orvik Palette Menu Expert");
  EXPECT_EQ(&Ide.Packages().Find("OrvikPaletteMenu"), &Ide.Packages().Find("OrvikPaletteMenu170"));
}

TEST_F(PackagesTest, AFailingRegisterUnloadsThePackageAndLeavesNothingBehind) {
  const std::string Pristine = Toolbar();
  EXPECT_EQ(LoadError("OrvikPaletteMenuNoGlyph170.so"),
            u"OrvikPaletteMenuNoGlyph170.so failed to register: Cannot attach the palette menu "
            u"to the IDE: the package has no bitmap resource ORVIK_PALETTE_MENU");
  EXPECT_FALSE(Ide.Packages().AnyRegistered());
  EXPECT_EQ(Toolbar(), Pristine);
  EXPECT_EQ(LastMenuEntry(), "&Help");
  // A glyph that cannot be read fails after the first button was hidden: it shows again.
  EXPECT_EQ(LoadError("OrvikPaletteMenuBadGlyph170.so"),
            u"OrvikPaletteMenuBadGlyph170.so failed to register: Bitmap resource "
            u"ORVIK_PALETTE_MENU: 32 bits per pixel are not supported (only 24)");
  EXPECT_EQ(Toolbar(), Pristine);
  EXPECT_EQ(LastMenuEntry(), "&Help");
  // The same package under its real file loads: nothing of the failed ones is in the way. It
  // may be named without its suffix, as unload names it.
  EXPECT_EQ(LoadError("OrvikPaletteMenu170"), u"(loaded)");
}

TEST_F(PackagesTest, FilesThatAreNotPackagesAreRefusedByName) {
  EXPECT_EQ(LoadError("NoSuchPackage170.so").substr(0, 37),
            u"Package NoSuchPackage170.so not found");
  EXPECT_EQ(LoadError("NoSuchPackage170").substr(0, 34), u"Package NoSuchPackage170 not found");
  EXPECT_EQ(LoadError("librtl170.so"),
            u"librtl170.so is not a package: it has no GetPackageInfoTable");
  const std::string Text = ::testing::TempDir() + "NotALibrary.so";
  std::ofstream(Text) << "not a library";
  EXPECT_EQ(LoadError(Text).substr(0, 36), u"Cannot load package NotALibrary.so: ");
  EXPECT_FALSE(Ide.Packages().AnyRegistered());
  // Each is listed as failed, with its error.
  EXPECT_EQ(States(), "NoSuchPackage170.so failed, NoSuchPackage170 failed, librtl170.so failed, "
                      "NotALibrary.so failed");
  EXPECT_EQ(Ide.Packages().Packages()[2]->LastError,
            u"librtl170.so is not a package: it has no GetPackageInfoTable");
}

TEST_F(PackagesTest, AFailedPackageKeepsItsLastErrorUntilItLoads) {
  EXPECT_NE(LoadError("OrvikPaletteMenuNoGlyph170.so"), u"(loaded)");
  EXPECT_NE(LoadError("OrvikPaletteMenuNoGlyph170.so"), u"(loaded)");
  // Asked for twice, listed once: what the package is, and why it failed.
  ASSERT_EQ(Ide.Packages().Packages().size(), 1u);
  const TPackageRecord& P = *Ide.Packages().Packages()[0];
  EXPECT_EQ(P.State, TPackageState::Failed);
  EXPECT_EQ(P.Description, u"Orvik Palette Menu 3.2");
  EXPECT_EQ(P.Info, nullptr);
  EXPECT_TRUE(P.Wizards.empty());
  EXPECT_NE(P.LastError.find(u"no bitmap resource ORVIK_PALETTE_MENU"), std::u16string::npos);
  // A failed package is not loaded: it cannot be found or unloaded.
  EXPECT_THROW(Ide.Packages().Find("OrvikPaletteMenuNoGlyph170"), EPackageError);
  EXPECT_THROW(Ide.Packages().Unload("OrvikPaletteMenuNoGlyph170"), EPackageError);

  // A later success clears the error of the same file.
  ASSERT_EQ(LoadError("OrvikPaletteMenu170.so"), u"(loaded)");
  Ide.Packages().Unload("OrvikPaletteMenu170");
  ASSERT_EQ(LoadError("OrvikPaletteMenu170.so"), u"(loaded)");
  EXPECT_EQ(States(), "OrvikPaletteMenuNoGlyph170.so failed, OrvikPaletteMenu170.so registered");
  EXPECT_TRUE(Ide.Packages().Packages()[1]->LastError.empty());
}

TEST_F(PackagesTest, UnloadingEverythingReportsWhatStaysLoaded) {
  Ide.Packages().Load("OrvikPaletteMenu170.so");
  // Someone outside the IDE still holds the wizard: its code cannot go.
  TInterfacePtr<IOTAWizard> Held = Ide.Packages().Packages()[0]->Wizards[0].Wizard;
  try {
    Ide.Packages().UnloadAll();
    ADD_FAILURE() << "UnloadAll reported nothing";
  } catch (const EPackageError& E) {
    EXPECT_EQ(E.Message(), u"Not every package could be unloaded: OrvikPaletteMenu170.so: "
                           u"wizard Orvik Software.Component Palette Menu is still referenced 1 "
                           u"time(s), so the package's code stays loaded");
  }
  const TPackageRecord& P = *Ide.Packages().Packages()[0];
  EXPECT_EQ(States(), "OrvikPaletteMenu170.so stuck in memory");
  EXPECT_NE(P.Handle, nullptr);
  EXPECT_FALSE(Ide.Packages().AnyRegistered());
  // Not registered, it cannot be found or unloaded again.
  EXPECT_THROW(Ide.Packages().Unload("OrvikPaletteMenu170"), EPackageError);
  // Still in memory, it cannot be loaded a second time over itself.
  EXPECT_NE(LoadError("OrvikPaletteMenu170.so").find(u"could not be unloaded before"),
            std::u16string::npos);
  // The last reference detaches the add-in while the IDE is still whole.
  Held.Reset();
  EXPECT_EQ(LastMenuEntry(), "&Help");
}

// Only the package manager makes the badge that decides where wizards go; the test aids get
// theirs from it.
static_assert(!std::is_default_constructible_v<Badge<TPackageManager>>);
static_assert(!std::is_constructible_v<TRegisterWizardHookScope, TRegisterWizardHook>);

TEST_F(PackagesTest, AWizardCatcherTakesTheWizardsWhileItLivesThenThePackageManagerAgain) {
  std::vector<TInterfacePtr<IOTAWizard>> Caught;
  {
    TWizardCatcher Catcher([&](const TInterfacePtr<IOTAWizard>& W) { Caught.push_back(W); });
    EXPECT_TRUE(Ide.Packages().Load("OrvikPaletteMenu170.so").Wizards.empty());
    ASSERT_EQ(Caught.size(), 1u);
    EXPECT_EQ(Caught[0]->GetIDString(), u"Orvik Software.Component Palette Menu");
    Caught.clear(); // the add-in detaches
    Ide.Packages().Unload("OrvikPaletteMenu170");
  }
  EXPECT_EQ(Ide.Packages().Load("OrvikPaletteMenu170.so").Wizards.size(), 1u);
  EXPECT_EQ(States(), "OrvikPaletteMenu170.so registered");
}

// A registered package whose file is gone: asking for it again by its name fails (nothing is
// found), but the package stays registered and listed as such, its wizard still the IDE's.
TEST_F(PackagesTest, AFileNotFoundAgainLeavesTheRegisteredPackageAlone) {
  namespace fs = std::filesystem;
  const fs::path Dir = fs::path(::testing::TempDir()) / "vanishing-package";
  fs::create_directories(Dir);
  fs::copy_file(TPackageManager::ExecutableDir() + "/OrvikPaletteMenu170.so",
                Dir / "Vanishing170.so", fs::copy_options::overwrite_existing);
  const fs::path WasIn = fs::current_path();
  fs::current_path(Dir);
  Ide.Packages().Load("Vanishing170.so");
  fs::remove(Dir / "Vanishing170.so");
  EXPECT_NE(LoadError("Vanishing170.so").find(u"not found"), std::u16string::npos);
  fs::current_path(WasIn);
  EXPECT_EQ(States(), "Vanishing170.so registered");
  EXPECT_TRUE(Ide.Packages().Packages()[0]->LastError.empty());
  EXPECT_EQ(Ide.Packages().Find("Vanishing170").Wizards.size(), 1u);
  Ide.Packages().Unload("Vanishing170");
  EXPECT_EQ(States(), "Vanishing170.so unloaded");
}

} // namespace

namespace {

// The model a host plugin lends to a real IDE: no menus of its own, only the tool bar buttons
// that act on the palette; the add-in attaches to it as to the stand-in.
TEST(EmbeddedIdeTest, HoldsOnlyWhatTheAddInAddsToTheMainMenu) {
  THostIde Ide(TIdeShape::Embedded);
  EXPECT_EQ(Ide.Shape(), TIdeShape::Embedded);
  TMenuItem* Root = Ide.MainMenu()->Items();
  EXPECT_EQ(Root->Count(), 0);
  ASSERT_EQ(Ide.ToolBar()->ButtonCount(), 2);
  EXPECT_EQ(Ide.ToolBar()->Buttons(0)->Name(), u"tbCollapseAll");
  EXPECT_EQ(Ide.ToolBar()->Buttons(1)->Name(), u"tbExpandAll");

  Ide.LoadPalette(THostIde::DefaultPalette());
  Ide.Packages().Load(THostIde::DefaultPackage());
  ASSERT_EQ(Root->Count(), 1);
  EXPECT_EQ(Root->Items(0)->Caption(), u"P&alette");
  EXPECT_EQ(Ide.ToolBar()->Buttons(0)->Name(), u"tbPalette");
  EXPECT_FALSE(Ide.ToolBar()->Buttons(1)->Visible());

  // The first button collapses every category of the palette.
  Ide.Packages().Unload("OrvikPaletteMenu170");
  EXPECT_EQ(Root->Count(), 0);
  Ide.ToolBar()->Buttons(0)->Click();
  for (int I = 0; I < Ide.Palette()->Categories()->Count(); ++I)
    EXPECT_TRUE(Ide.Palette()->Categories()->Items(I)->Collapsed());
}

} // namespace
