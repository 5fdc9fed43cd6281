// Reads through TRegIniFile that the SQLite hive answers from the values it keeps: after a
// write by the same handle, by a name spelt in another case, of non-ASCII names, from another
// section in between, and of values that are not plain strings.
#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"

#include "HiveTestSupport.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

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

// Names of ASCII units are looked up without being folded: only the capitals A-Z count as
// their small letters, and a name stored with a sign that folds to an ASCII letter (the Kelvin
// sign folds to 'k') is found by its ASCII spelling, as the file finds it.
TEST_F(RegIniFileCachedRead, AsciiNamesMatchExactlyWhatTheirFoldedFormMatches) {
  Reg.WriteString(u"Categories", u"\u212Aelvin", u"kelvin");
  Reg.WriteString(u"Categories", u"At@", u"at");
  Reg.WriteString(u"Categories", u"Br[", u"bracket");
  Reg.WriteString(u"Categories", u"Zz", u"zz");
  Reg.WriteString(u"Categories", u"Long name of a tab that needs more than one word", u"long");
  const struct {
    const char16_t* Name;
    const char16_t* Want;
  } Reads[] = {
      {u"KELVIN", u"kelvin"},
      {u"kelvin", u"kelvin"},
      {u"\u212AELVIN", u"kelvin"},
      {u"AT@", u"at"},
      {u"at`", u"none"},
      {u"BR[", u"bracket"},
      {u"br{", u"none"},
      {u"ZZ", u"zz"},
      {u"z\u007a", u"zz"},
      {u"Z", u"none"},
      {u"Zz ", u"none"},
      {u"LONG NAME OF A TAB THAT NEEDS MORE THAN ONE WORD", u"long"},
      {u"Long name of a tab that needs more than one worD", u"long"},
      {u"Long name of a tab that needs more than one wore", u"none"},
  };
  for (int Round = 0; Round < 3; ++Round) // the first reads load the key, the later are kept
    for (const auto& R : Reads)
      EXPECT_EQ(Reg.ReadString(u"Categories", R.Name, u"none"), R.Want)
          << UTF8Encode(R.Name) << ", round " << Round;
}

// The text of a string value is its stored units up to one final NUL, whatever the length
// (short texts live inside the string, longer ones are allocated).
TEST_F(RegIniFileCachedRead, StringsOfEveryLengthComeBackWhole) {
  const UnicodeString Path = Key + u"\\Texts";
  std::vector<UnicodeString> Texts;
  for (size_t N = 0; N <= 40; ++N) {
    UnicodeString T;
    for (size_t I = 0; I < N; ++I)
      T.push_back(static_cast<char16_t>(I % 3 == 2 ? 0x00e9 + I : u'a' + I % 26));
    Texts.push_back(T);
    Reg.WriteString(u"Texts", u"T" + IntToStr(static_cast<int>(N)), T);
  }
  // Two NULs at the end: one is the terminator, the other is text. An odd byte is not a unit.
  TRegValue TwoNuls = TRegValue::String(u"TwoNuls", std::u16string(u"ab\0", 3));
  Reg.Hive().WriteValue(Path, TwoNuls);
  TRegValue Odd = TRegValue::String(u"Odd", u"abc");
  Odd.Data.push_back(0x41);
  Reg.Hive().WriteValue(Path, Odd);
  for (int Round = 0; Round < 3; ++Round) {
    for (size_t N = 0; N < Texts.size(); ++N)
      EXPECT_EQ(Reg.ReadString(u"Texts", u"t" + IntToStr(static_cast<int>(N)), u"?"), Texts[N])
          << N << " units, round " << Round;
    EXPECT_EQ(Reg.ReadString(u"Texts", u"TwoNuls", u"?"), std::u16string(u"ab\0", 3));
    EXPECT_EQ(Reg.ReadString(u"Texts", u"Odd", u"?"), u"abc");
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
