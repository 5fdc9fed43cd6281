#include "rtl/UnicodeString.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t BadByte(std::string_view S) {
  UnicodeString Out;
  return TryUTF8Decode(S, Out);
}

size_t BadUnit(std::u16string_view S) {
  std::string Out;
  return TryUTF8Encode(S, Out);
}

TEST(UTF8, EveryScalarValueGoesThereAndBack) {
  for (char32_t C = 0; C <= 0x10FFFF; ++C) {
    if (C >= 0xD800 && C <= 0xDFFF)
      continue;
    UnicodeString U;
    if (C < 0x10000) {
      U.push_back(static_cast<char16_t>(C));
    } else {
      U.push_back(static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10)));
      U.push_back(static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF)));
    }
    std::string Bytes;
    ASSERT_EQ(TryUTF8Encode(U, Bytes), UTFWellFormed) << std::hex << static_cast<unsigned>(C);
    ASSERT_EQ(Bytes.size(), C < 0x80 ? 1u : C < 0x800 ? 2u : C < 0x10000 ? 3u : 4u);
    UnicodeString Back;
    ASSERT_EQ(TryUTF8Decode(Bytes, Back), UTFWellFormed) << std::hex << static_cast<unsigned>(C);
    ASSERT_EQ(Back, U) << std::hex << static_cast<unsigned>(C);
    ASSERT_EQ(UTF8Encode(U), Bytes);
  }
  EXPECT_EQ(UTF8DecodeChecked("\xEF\xBF\xBE\xEF\xBF\xBF"), u"\uFFFE\uFFFF"); // noncharacters
}

TEST(UTF8, TheCheckedDecodeNamesTheFirstIllFormedByte) {
  EXPECT_EQ(BadByte(""), UTFWellFormed);
  EXPECT_EQ(BadByte("ab\xC3("), 2u);          // a lead byte without its trail
  EXPECT_EQ(BadByte("\xC0\xAF"), 0u);         // overlong '/'
  EXPECT_EQ(BadByte("\xE0\x80\xAF"), 0u);     // overlong, three bytes
  EXPECT_EQ(BadByte("x\xED\xA0\x80"), 1u);    // an encoded surrogate
  EXPECT_EQ(BadByte("\xF4\x90\x80\x80"), 0u); // above U+10FFFF
  EXPECT_EQ(BadByte("abc\xE2\x82"), 3u);      // cut short at the end
  EXPECT_EQ(BadByte("\xC3\xA4\x80"), 2u);     // a stray trail byte
  EXPECT_EQ(BadByte(std::string("a\0b", 3)), UTFWellFormed);
  // What came before the bad byte is kept.
  UnicodeString Out;
  EXPECT_EQ(TryUTF8Decode("\xC3\xA4z\xFF", Out), 3u);
  EXPECT_EQ(Out, u"\u00E4z");
  try {
    UTF8DecodeChecked("abc\xFF");
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), u"Invalid UTF-8 at byte 3");
  }
}

TEST(UTF8, TheCheckedEncodeNamesTheFirstUnpairedSurrogate) {
  EXPECT_EQ(BadUnit(u"ab\xD800"
                    u"c"),
            2u);
  EXPECT_EQ(BadUnit(u"a\xDC00"), 1u);
  EXPECT_EQ(BadUnit(u"\xD83D\xDE00\xD83D"), 2u); // a pair, then a lead at the end
  EXPECT_EQ(BadUnit(u"\xD83D\xDE00"), UTFWellFormed);
  try {
    UTF8EncodeChecked(u"x\xDFFF");
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), u"Unpaired surrogate at character 1");
  }
}

TEST(UTF8, TheEdgeConversionsReplaceWhatIsIllFormed) {
  EXPECT_EQ(UTF8Decode("a\xC3(b"), u"a\uFFFD(b");
  EXPECT_EQ(UTF8Decode("\xF0\x9F\x98"), u"\uFFFD"); // one replacement for a cut sequence
  EXPECT_EQ(UTF8Encode(u"a\xD800"
                       u"b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(UTF8Encode(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

} // namespace
