#include "rtl/RegIniFile.h"
#include "rtl/Exception.h"
#include "rtl/StringList.h"

#include "ForwardingHive.h"
#include "HiveFaults.h"

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

// Counts what reaches the hive: batches, and changes made one by one.
class TCountingHive : public TForwardingHive {
public:
  using TForwardingHive::TForwardingHive;
  void WriteValue(std::u16string_view P, const TRegValue& V) override {
    ++Single;
    TForwardingHive::WriteValue(P, V);
  }
  void DeleteValue(std::u16string_view P, std::u16string_view N) override {
    ++Single;
    TForwardingHive::DeleteValue(P, N);
  }
  void Apply(const std::vector<TRegChange>& C) override {
    ++Tried;
    if (!Transactions)
      TRegistryHive::Apply(C); // refuses, as a hive without transactions does
    else
      TForwardingHive::Apply(C);
    ++Applied;
  }
  bool Transactions = true;
  int Tried = 0, Applied = 0, Single = 0;
};

// Changes inside an update reach the hive as one transaction at its end, and only then; reads
// through the same object see them, and nested updates end with the outermost.
TEST(RegIniFile, AnUpdateMakesItsChangesAtItsEndAsOneTransaction) {
  auto Counting = std::make_unique<TCountingHive>(OpenCurrentUserHive());
  TCountingHive& C = *Counting;
  TRegIniFile A(Key, std::move(Counting));
  TRegIniFile B(Key);
  A.WriteString(u"Categories", u"Gone", u"old");
  C.Single = 0;
  A.BeginUpdate();
  A.BeginUpdate();
  for (int I = 0; I < 50; ++I)
    A.WriteString(u"Categories", u"Tab " + IntToStr(I), u"Cat " + IntToStr(I));
  A.DeleteKey(u"Categories", u"Gone");
  A.EndUpdate();
  EXPECT_TRUE(A.Updating());
  EXPECT_EQ(B.ReadString(u"Categories", u"Tab 0", u"none"), u"none");
  EXPECT_EQ(B.ReadString(u"Categories", u"Gone", u""), u"old");
  A.EndUpdate();
  EXPECT_FALSE(A.Updating());
  EXPECT_EQ(C.Applied, 1);
  EXPECT_EQ(C.Single, 0);
  EXPECT_EQ(B.ReadString(u"Categories", u"Tab 49", u""), u"Cat 49");
  EXPECT_EQ(B.ReadString(u"Categories", u"Gone", u"deleted"), u"deleted");

  // A read inside an update makes what is pending first.
  A.BeginUpdate();
  A.WriteString(u"Categories", u"Tab 0", u"changed");
  EXPECT_EQ(A.ReadString(u"Categories", u"Tab 0", u""), u"changed");
  EXPECT_EQ(B.ReadString(u"Categories", u"Tab 0", u""), u"changed");
  A.EndUpdate();
  EXPECT_EQ(C.Applied, 2);
  EXPECT_EQ(C.Single, 0);
}

// When the one transaction fails, the changes are made one by one: the outcome and the failure
// are those of the changes made without an update.
TEST(RegIniFile, AFailedUpdateKeepsTheChangesBeforeTheFailingOne) {
  const UnicodeString TooLong(16384, u'n');
  for (bool Batches : {true, false}) {
    SCOPED_TRACE(Batches ? "hive with transactions" : "hive without");
    auto Counting = std::make_unique<TCountingHive>(NewMemoryHive());
    TCountingHive& C = *Counting;
    C.Transactions = Batches;
    TRegIniFile Reg(Key, std::move(Counting));
    Reg.BeginUpdate();
    Reg.WriteString(u"Categories", u"First", u"1");
    Reg.WriteString(u"Categories", TooLong, u"2");
    Reg.WriteString(u"Categories", u"Third", u"3");
    std::string Message;
    try {
      Reg.EndUpdate();
    } catch (const ERegistryException& E) {
      Message = UTF8Encode(E.Message());
    }
    EXPECT_NE(Message.find("is too long (16384 characters"), std::string::npos) << Message;
    EXPECT_EQ(C.Tried, 1);
    EXPECT_EQ(C.Applied, 0);
    EXPECT_EQ(C.Single, 2); // the first, and the failing one
    EXPECT_FALSE(Reg.Updating());
    EXPECT_EQ(Reg.ReadString(u"Categories", u"First", u""), u"1");
    EXPECT_EQ(Reg.ReadString(u"Categories", u"Third", u"dropped"), u"dropped");
  }

  // A transaction failing in the file, with every change then made on its own.
  auto Counting = std::make_unique<TCountingHive>(OpenCurrentUserHive());
  TCountingHive& C = *Counting;
  TRegIniFile Reg(Key, std::move(Counting));
  Reg.BeginUpdate();
  Reg.WriteString(u"Retry", u"A", u"1");
  Reg.WriteString(u"Retry", u"B", u"2");
  {
    THiveFaultInjection Fault(hoWrite, 0, 1);
    Reg.EndUpdate();
    EXPECT_EQ(Fault.OperationsFailed(), 1);
  }
  EXPECT_EQ(C.Single, 2);
  TRegIniFile Other(Key);
  EXPECT_EQ(Other.ReadString(u"Retry", u"A", u""), u"1");
  EXPECT_EQ(Other.ReadString(u"Retry", u"B", u""), u"2");
}

// An object destroyed inside an update still makes the changes it was given.
TEST(RegIniFile, DestroyingAnObjectInsideAnUpdateMakesItsChanges) {
  {
    TRegIniFile Reg(Key);
    Reg.BeginUpdate();
    Reg.WriteString(u"Categories", u"Left", u"pending");
  }
  TRegIniFile Reg(Key);
  EXPECT_EQ(Reg.ReadString(u"Categories", u"Left", u""), u"pending");
}

} // namespace
