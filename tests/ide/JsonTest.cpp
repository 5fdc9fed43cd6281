#include "Json.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Error(std::string_view Text) {
  try {
    ParseJson(Text, "f.json");
  } catch (const EJsonError& E) {
    return UTF8Encode(E.Message());
  }
  return "";
}

TEST(Json, ReadsValuesWithTheirPositions) {
  const TJsonValue V = ParseJson("{\"a\": [1, -2.5e1, true, null],\n \"b\": {\"c\": \"x\"}}", "f");
  ASSERT_EQ(V.Kind, TJsonValue::TKind::Object);
  const TJsonValue* A = V.Find("a");
  ASSERT_NE(A, nullptr);
  ASSERT_EQ(A->Items.size(), 4u);
  EXPECT_EQ(A->Items[1].Number, -25);
  EXPECT_TRUE(A->Items[2].Boolean);
  EXPECT_EQ(A->Items[3].Kind, TJsonValue::TKind::Null);
  const TJsonValue* C = V.Find("b")->Find("c");
  EXPECT_EQ(C->String, "x");
  EXPECT_EQ(C->Line, 2);
  EXPECT_EQ(C->Column, 13);
  EXPECT_EQ(V.Find("zz"), nullptr);
}

TEST(Json, StringEscapesAndSurrogatePairsBecomeUtf8) {
  const TJsonValue V =
      ParseJson(R"(["a\"b\\c\/\n\t", "\u00e4\u20AC", "\ud83d\ude00", "raw \u00e4 ä"])", "f");
  EXPECT_EQ(V.Items[0].String, "a\"b\\c/\n\t");
  EXPECT_EQ(V.Items[1].String, "\xC3\xA4\xE2\x82\xAC");
  EXPECT_EQ(V.Items[2].String, "\xF0\x9F\x98\x80");
  EXPECT_EQ(V.Items[3].String, "raw \xC3\xA4 \xC3\xA4");
  // A byte-order mark in front is skipped.
  EXPECT_EQ(ParseJson("\xEF\xBB\xBF[]", "f").Kind, TJsonValue::TKind::Array);
}

TEST(Json, ErrorsNameTheLineAndColumnInCharacters) {
  EXPECT_EQ(Error("{\"a\": 1,\n  \"b\" 2}"), "f.json:2:7: expected ':', found '2'");
  EXPECT_EQ(Error("[1, 2,]"), "f.json:1:7: trailing comma before ']'");
  EXPECT_EQ(Error("{\"a\": 1,}"), "f.json:1:9: trailing comma before '}'");
  EXPECT_EQ(Error("{\"ä\": 1, \"ä\": 2}"), "f.json:1:10: duplicate member \"\xC3\xA4\"");
  EXPECT_EQ(Error("[\"äöü\" x]"), "f.json:1:8: expected ',' or ']', found 'x'");
  EXPECT_EQ(Error("[\"abc"), "f.json:1:2: string is not closed");
  EXPECT_EQ(Error(""), "f.json:1:1: expected a value, found end of input");
  EXPECT_EQ(Error("[] []"), "f.json:1:4: unexpected '[' after the end of the document");
  EXPECT_EQ(Error("// c\n[]"), "f.json:1:1: expected a value, found '/'");
  EXPECT_EQ(Error("{'a': 1}"), "f.json:1:2: expected a member name in double quotes, found '''");
}

TEST(Json, StrictAboutNumbersWordsAndCharacters) {
  EXPECT_EQ(Error("[01]"), "f.json:1:2: a number may not start with a leading zero");
  EXPECT_EQ(Error("[1.]"), "f.json:1:4: expected a digit after the decimal point, found ']'");
  EXPECT_EQ(Error("[-]"), "f.json:1:3: expected a digit, found ']'");
  EXPECT_EQ(Error("[1e999]"), "f.json:1:2: number out of range");
  EXPECT_EQ(Error("[NaN]"), "f.json:1:2: expected a value, found 'N'");
  EXPECT_EQ(Error("[truex]"), "f.json:1:6: unexpected 'x' after 'true'");
  EXPECT_EQ(Error("[\"a\tb\"]"), "f.json:1:4: control character 0x09 in a string (write it as "
                                 "an escape)");
  EXPECT_EQ(Error("[\"\\x\"]"), "f.json:1:3: invalid escape \\x");
  EXPECT_EQ(Error("[\"\\ud800\"]"), "f.json:1:3: high surrogate not followed by a low surrogate");
  EXPECT_EQ(Error("[\"\\udc00\"]"), "f.json:1:3: lone low surrogate in a \\u escape");
  EXPECT_EQ(Error("[\"\\u12G4\"]"), "f.json:1:7: expected 4 hexadecimal digits after \\u, found "
                                    "'G'");
  EXPECT_EQ(Error("[\"\xC3\x28\"]"), "f.json:1:3: invalid UTF-8 byte 0xC3");
  EXPECT_EQ(Error("[\"\xED\xA0\x80\"]"), "f.json:1:3: invalid UTF-8 byte 0xED"); // a surrogate
  EXPECT_EQ(Error(std::string(300, '[')), "f.json:1:258: nesting deeper than 256 levels");
}

} // namespace
