#include "rtl/RegIniFile.h"
#include "rtl/Exception.h"
#include "rtl/StringList.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";

TEST(RegIniFile, MissingValuesGiveTheDefaultAndWritesCreateTheSection) {
  TRegIniFile Reg(Key, NewMemoryHive());
  EXPECT_TRUE(Reg.Hive().KeyExists(Key));
  EXPECT_FALSE(Reg.Hive().KeyExists(Key + u"\\Categories"));
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u"dflt"), u"dflt");
  Reg.WriteString(u"Categories", u"Standard", u"Common;VCL");
  EXPECT_TRUE(Reg.Hive().KeyExists(Key + u"\\Categories"));
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u""), u"Common;VCL");
}

TEST(RegIniFile, NamesIgnoreCaseByUnicodeFoldingAndKeepTheirFirstSpelling) {
  TRegIniFile Reg(Key, NewMemoryHive());
  Reg.WriteString(u"Categories", u"\u00c4rger", u"one");
  Reg.WriteString(u"CATEGORIES", u"\u00e4RGER", u"two");
  EXPECT_EQ(Reg.ReadString(u"categories", u"\u00c4RGER", u""), u"two");
  TStringList Names;
  Reg.ReadSection(u"Categories", &Names);
  ASSERT_EQ(Names.Count(), 1);
  EXPECT_EQ(Names[0], u"\u00c4rger");
  EXPECT_EQ(Reg.Hive().SubKeyNames(Key), (std::vector<UnicodeString>{u"Categories"}));
}

TEST(RegIniFile, DeletingAMissingValueChangesNothing) {
  TRegIniFile Reg(Key, NewMemoryHive());
  Reg.WriteString(u"Categories", u"Standard", u"A; B");
  Reg.DeleteKey(u"Categories", u"Nothing");
  Reg.DeleteKey(u"No Section", u"Nothing");
  EXPECT_FALSE(Reg.Hive().KeyExists(Key + u"\\No Section"));
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u""), u"A; B");
  Reg.DeleteKey(u"Categories", u"STANDARD");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u"gone"), u"gone");
}

TEST(RegIniFile, EraseSectionRemovesTheSubkeyWithEverythingInIt) {
  TRegIniFile Reg(Key, NewMemoryHive());
  Reg.WriteString(u"Categories", u"A", u"1");
  Reg.WriteString(u"Categories\\Deeper", u"B", u"2");
  Reg.EraseSection(u"categories");
  EXPECT_FALSE(Reg.Hive().KeyExists(Key + u"\\Categories"));
  EXPECT_TRUE(Reg.Hive().KeyExists(Key));
}

TEST(RegIniFile, AValueOfAnotherTypeIsAnErrorNotText) {
  TRegIniFile Reg(Key, NewMemoryHive());
  TRegValue Dword{u"Count", REG_DWORD, {1, 0, 0, 0}};
  Reg.Hive().WriteValue(Key + u"\\Categories", Dword);
  EXPECT_THROW(Reg.ReadString(u"Categories", u"Count", u""), ERegistryException);
}

TEST(RegIniFile, StringsRoundTripExactlyIncludingEmbeddedNul) {
  TRegIniFile Reg(Key, NewMemoryHive());
  const UnicodeString Odd(u"a\0b \u00e9\U0001F600", 6);
  Reg.WriteString(u"S", u"odd", Odd);
  EXPECT_EQ(Reg.ReadString(u"S", u"odd", u""), Odd);
  Reg.WriteString(u"S", u"empty", u"");
  EXPECT_EQ(Reg.ReadString(u"S", u"empty", u"default"), u"");
}

TEST(RegIniFile, WindowsNameLimitsAreEnforced) {
  TRegIniFile Reg(Key, NewMemoryHive());
  EXPECT_NO_THROW(Reg.WriteString(UnicodeString(255, u'k'), u"v", u"x"));
  EXPECT_THROW(Reg.WriteString(UnicodeString(256, u'k'), u"v", u"x"), ERegistryException);
  EXPECT_NO_THROW(Reg.WriteString(u"S", UnicodeString(16383, u'n'), u"x"));
  EXPECT_THROW(Reg.WriteString(u"S", UnicodeString(16384, u'n'), u"x"), ERegistryException);
  EXPECT_THROW(Reg.WriteString(u"a\\\\b", u"v", u"x"), ERegistryException);
}

TEST(RegIniFile, HandlesOnTheCurrentUserHiveSeeEachOthersWrites) {
  TRegIniFile A(Key);
  TRegIniFile B(Key);
  A.WriteString(u"Categories", u"Shared", u"yes");
  EXPECT_EQ(B.ReadString(u"Categories", u"Shared", u""), u"yes");
  B.DeleteKey(u"Categories", u"Shared");
  EXPECT_EQ(A.ReadString(u"Categories", u"Shared", u"no"), u"no");
}

} // namespace

namespace {

std::string RefusalOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const ERegistryException& E) {
    return UTF8Encode(E.Message());
  }
  return "accepted";
}

// A palette tab named so that the hive refuses it: the message says which name it was.
TEST(RegIniFile, RefusedNamesAreShownShortenedWithTheOffendingCharacterEscaped) {
  TRegIniFile Reg(Key, NewMemoryHive());
  EXPECT_EQ(RefusalOf([&] { Reg.ReadString(u"Categories", UnicodeString(u"Std\0Tab", 7), u""); }),
            "Invalid registry value name 'Std\\u0000Tab': it contains the character NUL "
            "(\\u0000) at position 4");
  const UnicodeString Long = u"Palette tab \t" + UnicodeString(16371, u'n');
  ASSERT_EQ(Long.size(), 16384u);
  EXPECT_EQ(RefusalOf([&] { Reg.WriteString(u"Categories", Long, u"x"); }),
            "Registry value name 'Palette tab \\u0009" + std::string(27, 'n') +
                "...' is too long (16384 characters, at most 16383)");
  EXPECT_EQ(RefusalOf([&] { Reg.WriteString(u"Cat\xD800", u"Tab", u"x"); }),
            "Invalid registry key name 'Cat\\uD800': it contains an unpaired UTF-16 surrogate "
            "(\\uD800) at position 4");
  // Past the shortened part, the position still says where it is; a pair stays whole.
  const UnicodeString Far = UnicodeString(39, u'a') + u"\U0001F600" + u"\xDC00";
  EXPECT_EQ(RefusalOf([&] { Reg.DeleteKey(u"Categories", Far); }),
            "Invalid registry value name '" + std::string(39, 'a') +
                "...': it contains an unpaired UTF-16 surrogate (\\uDC00) at position 42");
}

} // namespace
