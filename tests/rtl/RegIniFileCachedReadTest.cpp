// Reads through TRegIniFile that the SQLite hive answers from the values it keeps: after a
// write by the same handle, by a name spelt in another case, of non-ASCII names, from another
// section in between, and of values that are not plain strings.
#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"

#include "HiveTestSupport.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";

TRegValue Typed(const UnicodeString& Name, uint32_t Type, std::u16string_view Text) {
  TRegValue V = TRegValue::String(Name, Text);
  V.Type = Type;
  return V;
}

class RegIniFileCachedRead : public ::testing::Test {
protected:
  TTempDir Temp;
  TRegIniFile Reg{Key, OpenSqliteHive(Temp.Path("cached.db"))};

  // Reads every name twice, so that the second read of each comes from the kept values.
  void Warm(std::initializer_list<const char16_t*> Names) {
    for (int Round = 0; Round < 2; ++Round)
      for (const char16_t* N : Names)
        Reg.ReadString(u"Categories", N, u"");
  }
};

TEST_F(RegIniFileCachedRead, AWriteByTheSameHandleIsReadBackAtOnce) {
  Reg.WriteString(u"Categories", u"Standard", u"Common");
  Reg.WriteString(u"Categories", u"Additional", u"VCL");
  Warm({u"Standard", u"Additional"});
  Reg.WriteString(u"Categories", u"Standard", u"Common;Data Access");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u""), u"Common;Data Access");
  Reg.DeleteKey(u"Categories", u"Additional");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Additional", u"gone"), u"gone");
}

TEST_F(RegIniFileCachedRead, NamesInAnotherCaseAndNonAsciiNamesFindTheirValue) {
  Reg.WriteString(u"Categories", u"Data Access", u"A");
  Reg.WriteString(u"Categories", u"\u00c4rger", u"B");
  Reg.WriteString(u"Categories", u"\u0391\u03b8\u03ae\u03bd\u03b1", u"C");
  Reg.WriteString(u"Categories", u"Ma\u00dfe", u"D");
  Warm({u"Data Access", u"\u00c4rger"});
  EXPECT_EQ(Reg.ReadString(u"Categories", u"DATA ACCESS", u""), u"A");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"data access", u""), u"A");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"\u00e4RGER", u""), u"B");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"\u03b1\u0398\u0389\u039d\u0391", u""), u"C");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"MA\u00dfE", u""), u"D");
  // Folding keeps the length: 'SS' is not the same name as the sharp s.
  EXPECT_EQ(Reg.ReadString(u"Categories", u"MASSE", u"none"), u"none");
  // ASCII letters only fold to ASCII letters: a name differing by one sign is another name.
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Data_Access", u"none"), u"none");
}

TEST_F(RegIniFileCachedRead, ReadsFromAnotherSectionInBetweenGoToTheirOwnKey) {
  Reg.WriteString(u"Categories", u"Standard", u"in categories");
  Reg.WriteString(u"Layout", u"Standard", u"in layout");
  Reg.WriteString(u"", u"Standard", u"in the key itself");
  for (int Round = 0; Round < 3; ++Round) {
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u""), u"in categories");
    EXPECT_EQ(Reg.ReadString(u"Layout", u"Standard", u""), u"in layout");
    EXPECT_EQ(Reg.ReadString(u"", u"Standard", u""), u"in the key itself");
    EXPECT_EQ(Reg.ReadString(u"layout", u"STANDARD", u""), u"in layout");
  }
}

TEST_F(RegIniFileCachedRead, ValuesOfOtherTypesReadAsBefore) {
  Reg.Hive().WriteValue(Key + u"\\Categories", Typed(u"Expand", REG_EXPAND_SZ, u"%PATH%;x"));
  Reg.Hive().WriteValue(Key + u"\\Categories", Typed(u"Binary", REG_BINARY, u"raw"));
  TRegValue NoNul = TRegValue::String(u"NoNul", u"abc");
  NoNul.Data.resize(NoNul.Data.size() - 2); // stored without its terminating NUL
  Reg.Hive().WriteValue(Key + u"\\Categories", NoNul);
  TRegValue Empty;
  Empty.Name = u"Empty";
  Empty.Type = REG_SZ; // no data at all
  Reg.Hive().WriteValue(Key + u"\\Categories", Empty);
  Reg.WriteString(u"Categories", u"Nul inside", std::u16string(u"a\0b", 3));
  for (int Round = 0; Round < 2; ++Round) {
    EXPECT_EQ(Reg.ReadString(u"Categories", u"expand", u""), u"%PATH%;x");
    EXPECT_THROW(Reg.ReadString(u"Categories", u"Binary", u""), ERegistryException);
    EXPECT_EQ(Reg.ReadString(u"Categories", u"NoNul", u"?"), u"abc");
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Empty", u"?"), u"");
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Nul inside", u""), std::u16string(u"a\0b", 3));
  }
}

TEST_F(RegIniFileCachedRead, AWriteByAnotherHandleIsSeenByTheNextRead) {
  Reg.WriteString(u"Categories", u"Standard", u"before");
  Warm({u"Standard"});
  TRegIniFile Other(Key, OpenSqliteHive(Temp.Path("cached.db")));
  Other.WriteString(u"Categories", u"STANDARD", u"after");
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Standard", u""), u"after");
}

} // namespace
