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

// Syntax errors carry the parser's own wording; what must hold is the place (line and column in
// characters, after a byte-order mark) and what the message is about.
TEST(PaletteFile, ASyntaxErrorNamesTheLineAndColumnInCharacters) {
  struct TCase {
    std::string Text, Place, About;
  };
  const TCase Cases[] = {
      {"{\"a\": 1,\n  \"b\" 2}", "p.json:2:7: ", "expected ':'"},
      {"[1, 2,]", "p.json:1:7: ", "unexpected ']'"},
      {"{\"a\": 1,}", "p.json:1:9: ", "unexpected '}'"},
      {"[\"\xC3\xA4\xC3\xB6\xC3\xBC\" x]", "p.json:1:8: ", "invalid literal"},
      {"\xEF\xBB\xBF[\"\xC3\xA4\", x", "p.json:1:7: ", "invalid literal"},
      {"[\"abc", "p.json:1:6: ", "missing closing quote"},
      {"", "p.json:1:1: ", "unexpected end of input"},
      {"[] []", "p.json:1:4: ", "expected end of input"},
      {"// c\n[]", "p.json:1:1: ", "invalid literal"},
      {"[01]", "p.json:1:3: ", "unexpected number literal"},
      {"[1e999]", "p.json:1:", "number overflow"},
      {"[\"a\tb\"]", "p.json:1:4: ", "control character"},
      {"[\"\\ud800\"]", "p.json:1:", "surrogate"},
      {"[\"\xC3\x28\"]", "p.json:1:4: ", "ill-formed UTF-8"},
      {"[\"\xED\xA0\x80\"]", "p.json:1:", "ill-formed UTF-8"}, // an encoded surrogate
  };
  for (const TCase& C : Cases) {
    const std::string Message = Error(C.Text);
    EXPECT_EQ(Message.substr(0, C.Place.size()), C.Place) << C.Text << " -> " << Message;
    EXPECT_NE(Message.find(C.About), std::string::npos) << C.Text << " -> " << Message;
  }
}

TEST(PaletteFile, DuplicateMembersAndDeepNestingAreRefusedAtTheirPlace) {
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"a\",\n \"caption\": \"b\"}]}"),
            "p.json:2:2: duplicate member \"caption\"");
  // Names are compared as written: the same name in another object, or differently spelt, is
  // no duplicate.
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"\xC3\xA4\"}, {\"caption\": \"b\"}]}"), "");
  EXPECT_EQ(Error("{\"categories\": [], \"\xC3\xA4\": 1, \"\xC3\xA4\": 2}"),
            "p.json:1:28: duplicate member \"\xC3\xA4\"");
  // A duplicate found anywhere wins over a wrong shape found earlier.
  EXPECT_EQ(Error("{\"x\": 1, \"categories\": [], \"x\": 2}"),
            "p.json:1:28: duplicate member \"x\"");
  EXPECT_EQ(Error(std::string(300, '[')), "p.json:1:258: nesting deeper than 256 levels");
  // Objects of many members: a duplicate of the first member or of a late one, found after
  // the object has grown past a handful of members, and a nested object's own names.
  auto Members = [](int Count) {
    std::string Text;
    for (int I = 0; I < Count; ++I)
      Text += "\"m" + std::to_string(I) + "\": 1, ";
    return Text;
  };
  const std::string Many = "{\"categories\": [], " + Members(20);
  EXPECT_EQ(Error(Many + "\"m0\": 2}"),
            "p.json:1:" + std::to_string(Many.size() + 1) + ": duplicate member \"m0\"");
  EXPECT_EQ(Error(Many + "\"m19\": 2}"),
            "p.json:1:" + std::to_string(Many.size() + 1) + ": duplicate member \"m19\"");
  // A nested object may use the outer one's names: only the unknown member is reported.
  EXPECT_EQ(Error(Many + "\"o\": {" + Members(12) + "\"m12\": 0}}"),
            "p.json:1:26: unknown member \"m0\" (expected \"categories\")");
  const std::string BeforeO = Many + "\"o\": {" + Members(12) + "\"m12\": 0}, \"m20\": 0, ";
  EXPECT_EQ(Error(BeforeO + "\"o\": 0}"),
            "p.json:1:" + std::to_string(BeforeO.size() + 1) + ": duplicate member \"o\"");
}

// A caption names a tab in menus and in the registry, neither of which can hold NUL: such a
// file is refused at the escape, not loaded to fail at every opening of a menu.
TEST(PaletteFile, ACaptionHoldingNulIsRefusedAtItsEscape) {
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"A\"},\n"
                  "  {\"caption\": \"\xC3\xA4\\\"b\\u0000c\"}]}"),
            "p.json:2:20: a caption must not contain the character NUL (\\u0000)");
  EXPECT_EQ(Error("{\"categories\": [{\"caption\": \"\\u0000\"}]}"),
            "p.json:1:30: a caption must not contain the character NUL (\\u0000)");
  // A backslash written as an escape, followed by the text u0000, is no NUL.
  const auto P = ParsePalette(R"({"categories": [{"caption": "a\\u0000"}]})", "p.json");
  ASSERT_EQ(P.size(), 1u);
  EXPECT_EQ(P[0].Caption, u"a\\u0000");
}

TEST(PaletteFile, EscapesAndSupplementaryCharactersReachTheCaptions) {
  const auto P = ParsePalette(
      R"({"categories": [{"caption": "a\"b\\c\/\u00e4\ud83d\ude00", "components": ["\u20AC"]}]})",
      "p.json");
  ASSERT_EQ(P.size(), 1u);
  EXPECT_EQ(P[0].Caption, u"a\"b\\c/\u00e4\U0001F600");
  EXPECT_EQ(P[0].Components, (std::vector<UnicodeString>{u"\u20AC"}));
  EXPECT_EQ(ParsePalette("\xEF\xBB\xBF{\"categories\": []}", "p.json").size(), 0u);
}

TEST(PaletteFile, TheUsualFormsAreRead) {
  const std::string Texts[] = {
      "{\"categories\":[]}",
      "\xEF\xBB\xBF \r\n\t{ \"categories\" : [ ] } \r\n\t",
      "{\"categories\": [{\"caption\": \"\"}, {\"components\": [], \"caption\": \"B\"}]}",
      "{\"categories\": [{\"collapsed\": true, \"components\": [\"\", \"T\"], \"caption\": \"A\"},"
      " {\"caption\": \"Z\", \"collapsed\": false}]}",
      // Every short escape, \u in either case, a surrogate pair, a backslash before "u0000".
      R"({"categories": [{"caption": "\"\\\/\b\f\n\r\t|\u00e4\u00C4\uD83D\ude00\\u0000"}]})",
      // UTF-8 of two, three and four bytes at the edges of each form, DEL, a noncharacter.
      "{\"categories\": [{\"caption\": \"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
      "\xEF\xBF\xBE\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\x7F\", \"components\": [\"\xE2\x82\xAC\"]}]}",
  };
  for (const std::string& Text : Texts)
    EXPECT_EQ(Error(Text), "") << Text;
  EXPECT_EQ(ParsePalette(Texts[3], "p.json")[0].Components,
            (std::vector<UnicodeString>{u"", u"T"}));
  std::vector<TPaletteCategory> P = ParsePalette(Texts[4], "p.json");
  EXPECT_EQ(P[0].Caption, u"\"\\/\b\f\n\r\t|\u00e4\u00c4\U0001F600\\u0000");
  P = ParsePalette(Texts[5], "p.json");
  EXPECT_EQ(P[0].Caption, u"\u0080\u07FF\u0800\uD7FF\uE000\uFFFE\U00010000\U0010FFFF\u007F");
}

// Errors of every kind are refused with their place; the last few texts are read.
TEST(PaletteFile, AnythingUnusualIsRefusedAtItsPlaceOrRead) {
  const std::string Refused[] = {
      "",
      "{",
      "{\"categories\": [}",
      "{\"categories\": [],}",
      "{\"categories\": []} x",
      "{\"categories\": [{\"caption\": \"A\"},]}",
      "{\"categories\": [{\"caption\": \"A\"}]",
      " \xEF\xBB\xBF{\"categories\": []}",
      "\xEF\xBB{\"categories\": []}",
      "{\"categories\": [{}]}",
      "{\"categories\": [{\"collapsed\": true}]}",
      "{\"categories\": {}}",
      "{}",
      "[]",
      "{\"categories\": [], \"x\": 1}",
      "{\"categories\": [{\"caption\": \"A\", \"caption\": \"B\"}]}",
      "{\"categories\": [{\"caption\": \"A\", \"collapsed\": true, \"collapsed\": true}]}",
      "{\"categories\": [{\"caption\": \"A\", \"components\": [], \"components\": []}]}",
      "{\"categories\": [], \"categories\": []}",
      "{\"categories\": [{\"caption\": 1}]}",
      "{\"categories\": [{\"caption\": null}]}",
      "{\"categories\": [{\"caption\": \"A\", \"collapsed\": 0}]}",
      "{\"categories\": [{\"caption\": \"A\", \"collapsed\": tru}]}",
      "{\"categories\": [{\"caption\": \"A\", \"components\": [[]]}]}",
      "{\"categories\": [{\"caption\": \"A\", \"Components\": []}]}",
      "{\"categories\": [{\"caption\": \"\\u0000\"}]}",
      "{\"categories\": [{\"caption\": \"\\uD800\"}]}",
      "{\"categories\": [{\"caption\": \"\\uDC00\\uD800\"}]}",
      "{\"categories\": [{\"caption\": \"\\uD800\\u0041\"}]}",
      "{\"categories\": [{\"caption\": \"\\uD800\\n\"}]}",
      "{\"categories\": [{\"caption\": \"\\u12\"}]}",
      "{\"categories\": [{\"caption\": \"\\x\"}]}",
      "{\"categories\": [{\"caption\": \"\\uG000\"}]}",
      "{\"categories\": [{\"caption\": \"a\tb\"}]}",
      std::string("{\"categories\": [{\"caption\": \"a") + '\0' + "b\"}]}",
      // Ill-formed UTF-8: overlong forms, encoded surrogates, beyond U+10FFFF, a lone
      // continuation byte, a sequence cut short by the quote or by the end of the text.
      "{\"categories\": [{\"caption\": \"\xC0\x80\"}]}",
      "{\"categories\": [{\"caption\": \"\xC1\xBF\"}]}",
      "{\"categories\": [{\"caption\": \"\xE0\x9F\xBF\"}]}",
      "{\"categories\": [{\"caption\": \"\xED\xA0\x80\"}]}",
      "{\"categories\": [{\"caption\": \"\xF0\x8F\xBF\xBF\"}]}",
      "{\"categories\": [{\"caption\": \"\xF4\x90\x80\x80\"}]}",
      "{\"categories\": [{\"caption\": \"\xF5\x80\x80\x80\"}]}",
      "{\"categories\": [{\"caption\": \"\x80\"}]}",
      "{\"categories\": [{\"caption\": \"\xE2\x82\"}]}",
      "{\"categories\": [{\"caption\": \"\xE2",
      "{\"categories\": [{\"caption\": \"ab",
      "{\"categories\": [], \"x\": -1.5e10}",
      std::string(300, '[') + std::string(300, ']'),
  };
  for (const std::string& Text : Refused)
    EXPECT_EQ(Error(Text).rfind("p.json:", 0), 0u) << Text << ": " << Error(Text);
  // An escaped member name and NUL in a component are read.
  std::vector<TPaletteCategory> P =
      ParsePalette("{\"categories\": [{\"capt\\u0069on\": \"A\"}]}", "p.json");
  ASSERT_EQ(P.size(), 1u);
  EXPECT_EQ(P[0].Caption, u"A");
  P = ParsePalette("{\"categories\": [{\"caption\": \"A\", \"components\": [\"x\\u0000y\"]}]}",
                   "p.json");
  ASSERT_EQ(P.size(), 1u);
  EXPECT_EQ(P[0].Components, (std::vector<UnicodeString>{UnicodeString(u"x\0y", 3)}));
}

TEST(PaletteFile, LargePalettesAreReadWhole) {
  std::string Text = "{\"categories\": [";
  for (int I = 0; I < 20000; ++I)
    Text += std::string(I ? "," : "") + "{\"caption\": \"Tab \xC3\xA4" + std::to_string(I) +
            "\", \"collapsed\": " + (I % 2 ? "true" : "false") +
            ", \"components\": [\"TButton\", \"TLabel\\u20AC\"]}\n";
  // A caption of a million characters, every one an escape.
  Text += ", {\"caption\": \"";
  for (int I = 0; I < 1000000; ++I)
    Text += "\\n";
  Text += "\"}]}";
  const std::vector<TPaletteCategory> Quick = ParsePalette(Text, "p.json");
  ASSERT_EQ(Quick.size(), 20001u);
  EXPECT_EQ(Quick[19999].Caption, u"Tab \u00e419999");
  EXPECT_TRUE(Quick[19999].Collapsed);
  EXPECT_EQ(Quick[19999].Components[1], u"TLabel\u20AC");
  EXPECT_EQ(Quick[20000].Caption, UnicodeString(1000000, u'\n'));
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
    EXPECT_EQ(UTF8Encode(E.Message()).substr(0, Path.size() + 6), Path + ":3:1: ");
    EXPECT_NE(UTF8Encode(E.Message()).find("unexpected '{'"), std::string::npos);
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
