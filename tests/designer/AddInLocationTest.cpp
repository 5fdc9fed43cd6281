// Where the plugin looks for the add-in: the variable alone when set, else the build tree
// beside the plugin, else the install folder; and what it says when the add-in is nowhere.
#include "AddInLocation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class AddInLocationTest : public ::testing::Test {
protected:
  void SetUp() override {
    Root = fs::temp_directory_path() /
           ("ov-addin-location-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Root / "build/plugins/designer");
    fs::create_directories(Root / "build/bin");
    fs::create_directories(Root / "installed");
    Plugin = (Root / "build/plugins/designer/libOrvikPaletteMenuDesigner.so").string();
  }
  void TearDown() override { fs::remove_all(Root); }
  static void Touch(const fs::path& P) { std::ofstream(P) << "x"; }

  fs::path Root;
  std::string Plugin;
};

TEST_F(AddInLocationTest, TheBuildTreeBesideThePluginComesBeforeTheInstallFolder) {
  Touch(Root / "build/bin/OrvikPaletteMenu170.so");
  Touch(Root / "installed/OrvikPaletteMenu170.so");
  AddInLocation L = LocateAddIn(nullptr, Plugin, (Root / "installed").string());
  EXPECT_EQ(L.Path, (Root / "build/bin/OrvikPaletteMenu170.so").string());
  EXPECT_TRUE(L.Failure().empty());

  fs::remove(Root / "build/bin/OrvikPaletteMenu170.so");
  L = LocateAddIn("", Plugin, (Root / "installed").string()); // an empty variable is unset
  EXPECT_EQ(L.Path, (Root / "installed/OrvikPaletteMenu170.so").string());
}

TEST_F(AddInLocationTest, TheVariableNamesTheOnlyFileTried) {
  Touch(Root / "build/bin/OrvikPaletteMenu170.so");
  const std::string Named = (Root / "elsewhere/Mine.so").string();
  const AddInLocation L = LocateAddIn(Named.c_str(), Plugin, (Root / "installed").string());
  // Even when it is missing: the load then fails naming it, rather than taking another add-in.
  EXPECT_EQ(L.Path, Named);
  EXPECT_EQ(L.Looked, std::vector<std::string>{Named});
}

TEST_F(AddInLocationTest, NothingFoundNamesEveryPlaceLooked) {
  const AddInLocation L = LocateAddIn(nullptr, Plugin, (Root / "installed").string());
  EXPECT_TRUE(L.Path.empty());
  ASSERT_EQ(L.Looked.size(), 2u);
  const std::string Why = L.Failure();
  EXPECT_NE(Why.find("OrvikPaletteMenu170.so was not found"), std::string::npos) << Why;
  EXPECT_NE(Why.find((Root / "build/bin/OrvikPaletteMenu170.so").string()), std::string::npos)
      << Why;
  EXPECT_NE(Why.find((Root / "installed/OrvikPaletteMenu170.so").string()), std::string::npos)
      << Why;
}

TEST_F(AddInLocationTest, ThisProcessFindsItsOwnFile) {
  // Linked into the test program: dladdr names the program itself.
  EXPECT_EQ(fs::path(PluginFile()).filename(), "designer_location_tests");
}

} // namespace
