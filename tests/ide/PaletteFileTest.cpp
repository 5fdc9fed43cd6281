#include "PaletteFile.h"

#include "Ide.h"

#include "vcl/CategoryButtons.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

std::string Error(std::string_view Text) {
  try {
    ParsePalette(Text, "p.json");
  } catch (const EJsonError& E) {
    return UTF8Encode(E.Message());
  }
  return "";
}

TEST(PaletteFile, CategoriesInOrderWithOptionalCollapsedAndComponents) {
  const auto P = ParsePalette(R"({"categories": [
      {"caption": "Standard", "collapsed": false, "components": ["TFrame", "TMainMenu"]},
      {"caption": "Data &Access", "collapsed": true},
      {"caption": ""}]})",
                              "p.json");
  ASSERT_EQ(P.size(), 3u);
  EXPECT_EQ(P[0].Caption, u"Standard");
  EXPECT_EQ(P[0].Components, (std::vector<UnicodeString>{u"TFrame", u"TMainMenu"}));
  EXPECT_TRUE(P[1].Collapsed);
  EXPECT_TRUE(P[1].Components.empty());
  EXPECT_EQ(P[2].Caption, u"");
  EXPECT_FALSE(P[2].Collapsed);
}

TEST(PaletteFile, AWrongShapeIsAnErrorAtThePlaceOfTheWrongValue) {
  EXPECT_EQ(Error("[]"), "p.json:1:1: the palette must be an object, not an array");
  EXPECT_EQ(Error("{}"), "p.json:1:1: the palette has no member \"categories\"");
  EXPECT_EQ(Error("{\"categories\": [], \"tabs\": 1}"),
            "p.json:1:28: unknown member \"tabs\" (expected \"categories\")");
  EXPECT_EQ(Error("{\"categories\": [\n  {\"collapsed\": true}]}"),
            "p.json:2:3: a category has no \"caption\"");
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": 5}]}"),
            "p.json:1:29: \"caption\" must be a string, not a number");
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"A\", \"collapsed\": \"yes\"}]}"),
            "p.json:1:47: \"collapsed\" must be a boolean, not a string");
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"A\", \"components\": [\"T\", 1]}]}"),
            "p.json:1:54: a component must be a string, not a number");
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"A\", \"colapsed\": true}]}"),
            "p.json:1:46: unknown member \"colapsed\" in a category (expected \"caption\", "
            "\"collapsed\" or \"components\")");
}

TEST(PaletteFile, AFileThatCannotBeReadIsNamed) {
  try {
    ReadPaletteFile("/nonexistent/palette.json");
    FAIL();
  } catch (const EPaletteFileError& E) {
    EXPECT_EQ(E.Message(),
              u"Cannot read palette file /nonexistent/palette.json: No such file or directory");
  }
  const std::string Path = ::testing::TempDir() + "palette-bad.json";
  std::ofstream(Path) << "{\"categories\": [\n{\"caption\": \"A\"}\n{\"caption\": \"B\"}]}";
  try {
    ReadPaletteFile(Path);
    FAIL();
  } catch (const EJsonError& E) {
    EXPECT_EQ(UTF8Encode(E.Message()), Path + ":3:1: expected ',' or ']', found '{'");
  }
  std::remove(Path.c_str());
}

TEST(PaletteFile, TheDefaultPaletteIsARealisticOne) {
  const auto P = THostIde::DefaultPalette();
  size_t Components = 0;
  std::set<UnicodeString> Captions;
  for (const TPaletteCategory& C : P) {
    Components += C.Components.size();
    Captions.insert(C.Caption);
  }
  EXPECT_GE(P.size(), 25u);
  EXPECT_GE(Components, 250u);
  EXPECT_EQ(Captions.size(), P.size());
  EXPECT_EQ(P[0].Caption, u"Standard");
  EXPECT_FALSE(P[0].Collapsed);

  TCategoryButtons Palette(nullptr);
  Palette.SetScrollPosition(0);
  FillPalette(Palette, P);
  EXPECT_EQ(Palette.Categories()->Count(), static_cast<int>(P.size()));
  EXPECT_EQ(Palette.Categories()->Items(1)->ButtonCount(),
            static_cast<int>(P[1].Components.size()));
}

} // namespace
