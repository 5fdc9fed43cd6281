#include "rtl/StringList.h"
#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

std::vector<UnicodeString> Entries(const TStrings& L) {
  std::vector<UnicodeString> R;
  for (int I = 0; I < L.Count(); ++I)
    R.push_back(L[I]);
  return R;
}

using V = std::vector<UnicodeString>;

TEST(StringList, SortingIgnoresCaseAndKeepsDuplicatesPresent) {
  TStringList L;
  for (auto S : {u"beta", u"Alpha", u"alpha", u"Gamma", u"BETA"})
    L.Add(S);
  L.SetSorted(true);
  // Equal entries stay, in the order they were added.
  EXPECT_EQ(Entries(L), (V{u"Alpha", u"alpha", u"beta", u"BETA", u"Gamma"}));
}

TEST(StringList, AddingToSortedListPlacesOrDropsByDuplicatesSetting) {
  TStringList L;
  L.SetSorted(true);
  EXPECT_EQ(L.Add(u"Standard"), 0);
  EXPECT_EQ(L.Add(u"Additional"), 0);
  EXPECT_EQ(L.Add(u"Win32"), 2);
  // The host's default ignores an equal entry and answers with the present one's index.
  EXPECT_EQ(L.Add(u"STANDARD"), 1);
  EXPECT_EQ(Entries(L), (V{u"Additional", u"Standard", u"Win32"}));

  L.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(L.Add(u"win32"), EStringListError);
  EXPECT_EQ(L.Count(), 3);

  L.SetDuplicates(TDuplicates::dupAccept);
  L.Add(u"win32");
  EXPECT_EQ(L.Count(), 4);
  EXPECT_EQ(L.IndexOf(u"WIN32"), 2);
}

TEST(StringList, SortingEntriesAlreadyInOrderMovesNone) {
  // Already in order, equal entries included: sorting leaves every entry where it is.
  TStringList InOrder;
  for (auto S : {u"Alpha", u"alpha", u"ALPHA", u"Beta", u"beta"})
    InOrder.Add(S);
  InOrder.SetSorted(true);
  EXPECT_EQ(Entries(InOrder), (V{u"Alpha", u"alpha", u"ALPHA", u"Beta", u"beta"}));
}

TEST(StringList, AccentsAreNotLetterCase) {
  TStringList L;
  L.SetSorted(true);
  L.Add(u"Resume");
  L.Add(u"R\u00e9sum\u00e9");
  L.Add(u"R\u00c9SUM\u00c9");
  EXPECT_EQ(L.Count(), 2);
  EXPECT_EQ(L.IndexOf(u"r\u00e9sum\u00e9"), 1);
}

// Pairs the locale's collator calls equal although they are different names: full-width,
// ligature, circled, compatibility, NFC/NFD and ignorable-character spellings.
const V Lookalikes = {u"Abc",     u"\uFF21bc",  u"file",       u"\uFB01le",      u"Ax",
                      u"\u24B6x", u"Caf\u00E9", u"Cafe\u0301", u"Soft\u00ADkey", u"Softkey",
                      u"x2",      u"x\u00B2"};

TEST(StringList, OnlyLetterCaseMakesEntriesEqual) {
  TStringList Sorted, Unsorted;
  Sorted.SetSorted(true);
  for (const auto& S : Lookalikes) {
    Sorted.Add(S);
    Unsorted.Add(S);
  }
  ASSERT_EQ(Sorted.Count(), static_cast<int>(Lookalikes.size()));
  EXPECT_EQ(Sorted.Add(u"FILE"), Sorted.IndexOf(u"file"));
  EXPECT_EQ(Sorted.Count(), static_cast<int>(Lookalikes.size()));
  for (const TStringList* L : {&Sorted, &Unsorted}) {
    EXPECT_EQ(L->Get(L->IndexOf(u"\uFF41BC")), u"\uFF21bc");
    EXPECT_EQ(L->Get(L->IndexOf(u"ABC")), u"Abc");
    EXPECT_EQ(L->Get(L->IndexOf(u"\uFB01LE")), u"\uFB01le");
    EXPECT_EQ(L->Get(L->IndexOf(u"CAFE\u0301")), u"Cafe\u0301");
  }
}

TEST(StringList, CollatorTiesGetOneOrderWhateverTheInsertionOrder) {
  V Input = Lookalikes;
  for (auto S : {u"alpha", u"Zulu", u"cafe", u"ABD", u"soft"})
    Input.push_back(S);
  std::mt19937 Random(7);
  V First;
  for (int Round = 0; Round < 40; ++Round) {
    std::shuffle(Input.begin(), Input.end(), Random);
    TStringList L;
    L.SetDuplicates(TDuplicates::dupAccept);
    for (const auto& S : Input)
      L.Add(S);
    L.SetSorted(true);
    if (First.empty())
      First = Entries(L);
    ASSERT_EQ(Entries(L), First) << "round " << Round;
    // Sorting the entries present and adding them one by one to a sorted list agree.
    TStringList A;
    A.SetSorted(true);
    for (const auto& S : Input)
      A.Add(S);
    ASSERT_EQ(Entries(A), First) << "round " << Round;
    // Binary search reaches every entry.
    for (int I = 0; I < L.Count(); ++I) {
      int At = -1;
      ASSERT_TRUE(L.Find(L[I], At)) << UTF8Encode(L[I]);
      ASSERT_EQ(At, I);
    }
  }
  // The locale's order leads, not the code units: width and case aside, "Ａbc" sorts before
  // "ABD" and "alpha" before "Zulu".
  const auto Pos = [&](const UnicodeString& S) {
    return std::find(First.begin(), First.end(), S) - First.begin();
  };
  EXPECT_LT(Pos(u"Abc"), Pos(u"alpha"));
  EXPECT_LT(Pos(u"\uFF21bc"), Pos(u"ABD"));
  EXPECT_LT(Pos(u"alpha"), Pos(u"Zulu"));
  EXPECT_LT(Pos(u"Soft\u00ADkey"), Pos(u"Zulu"));
}

TEST(StringList, CompareTextIsATotalOrderWhoseEqualityIsTheHiveFolding) {
  V All = Lookalikes;
  for (auto S : {u"ABC", u"\uFF41BC", u"FILE", u"Stra\u00DFe", u"STRASSE", u"\u212A", u"k", u""})
    All.push_back(S);
  for (const auto& A : All)
    for (const auto& B : All) {
      const int AB = AnsiCompareText(A, B), BA = AnsiCompareText(B, A);
      EXPECT_EQ(AB, -BA) << UTF8Encode(A) << " / " << UTF8Encode(B);
      EXPECT_EQ(AB == 0, RegistryNames::Fold(A) == RegistryNames::Fold(B))
          << UTF8Encode(A) << " / " << UTF8Encode(B);
      EXPECT_EQ(AnsiSameText(A, B), AB == 0);
      // Sorting goes by keys: their byte order must be this order.
      const int Keys = AnsiCompareTextKey(A).compare(AnsiCompareTextKey(B));
      EXPECT_EQ(Keys < 0 ? -1 : (Keys > 0 ? 1 : 0), AB) << UTF8Encode(A) << " / " << UTF8Encode(B);
      for (const auto& C : All) {
        if (AB < 0 && AnsiCompareText(B, C) < 0) {
          EXPECT_LT(AnsiCompareText(A, C), 0)
              << UTF8Encode(A) << " < " << UTF8Encode(B) << " < " << UTF8Encode(C);
        }
      }
    }
}

TEST(StringList, FoldingAgreesWithTheHiveOnEveryCodePoint) {
  UnicodeString Every;
  for (char32_t C = 0; C <= 0x10FFFF; ++C) {
    if (C < 0x10000) {
      Every.push_back(static_cast<char16_t>(C)); // lone surrogates included
    } else {
      Every.push_back(static_cast<char16_t>(0xD7C0 + (C >> 10)));
      Every.push_back(static_cast<char16_t>(0xDC00 | (C & 0x3FF)));
    }
    Every.push_back(u' '); // keeps lone surrogates from pairing up
  }
  EXPECT_EQ(SimpleFoldCase(Every), RegistryNames::Fold(Every));
  EXPECT_EQ(SimpleFoldCase(u"STANDARD"), SimpleFoldCase(u"Standard"));
}

TEST(StringList, FindGivesFirstEqualEntryOrInsertionPoint) {
  TStringList L;
  L.SetDuplicates(TDuplicates::dupAccept);
  L.SetSorted(true);
  for (auto S : {u"b", u"B", u"d"})
    L.Add(S);
  int Index = -1;
  EXPECT_TRUE(L.Find(u"b", Index));
  EXPECT_EQ(Index, 0);
  EXPECT_FALSE(L.Find(u"c", Index));
  EXPECT_EQ(Index, 2);
  EXPECT_FALSE(L.Find(u"z", Index));
  EXPECT_EQ(Index, 3);
}

TEST(StringList, SortedListRefusesPositionalChanges) {
  TStringList L;
  L.Add(u"x");
  L.SetSorted(true);
  EXPECT_THROW(L.Insert(0, u"a"), EStringListError);
  EXPECT_THROW(L.Put(0, u"a"), EStringListError);
  EXPECT_THROW(L.Get(1), EStringListError);
  EXPECT_THROW(L.Delete(-1), EStringListError);
}

TEST(StringList, AssignCopiesEntriesInSourceOrder) {
  TStringList Source;
  Source.Add(u"&Standard");
  Source.Add(u"Additional");
  TStringList Target;
  Target.Add(u"old");
  Target.Assign(Source);
  EXPECT_EQ(Entries(Target), (V{u"&Standard", u"Additional"}));
  EXPECT_FALSE(Target.Sorted());
  Source.Add(u"later");
  EXPECT_EQ(Target.Count(), 2); // a copy, not a view
  // From a sorted list into an unsorted one: its order, duplicates kept; into a sorted one with
  // duplicates ignored, sorted and without them.
  TStringList Sorted;
  Sorted.SetDuplicates(TDuplicates::dupAccept);
  Sorted.SetSorted(true);
  for (auto S : {u"beta", u"Alpha", u"BETA"})
    Sorted.Add(S);
  ASSERT_EQ(Entries(Sorted), (V{u"Alpha", u"BETA", u"beta"})); // an equal one goes first
  Target.Assign(Sorted);
  EXPECT_EQ(Entries(Target), (V{u"Alpha", u"BETA", u"beta"}));
  TStringList SortedTarget;
  SortedTarget.SetSorted(true);
  SortedTarget.Assign(Sorted);
  EXPECT_EQ(Entries(SortedTarget), (V{u"Alpha", u"BETA"}));
}

// A list of its own class that compares in its own way: by length, then as TStringList does.
class TByLength : public TStringList {
public:
  int CompareStrings(const UnicodeString& S1, const UnicodeString& S2) const override {
    if (S1.size() != S2.size())
      return S1.size() < S2.size() ? -1 : 1;
    return TStringList::CompareStrings(S1, S2);
  }
};

TEST(StringList, ADescendantSortsByItsOwnComparisonNotByCollationKeys) {
  TByLength L;
  for (const char16_t* S : {u"ccc", u"B", u"aa", u"A", u"bb"})
    L.Add(S);
  L.Sort();
  EXPECT_EQ(Entries(L), (V{u"A", u"B", u"aa", u"bb", u"ccc"}));
  // The same texts in a plain list: by collation.
  TStringList Plain;
  for (const char16_t* S : {u"ccc", u"B", u"aa", u"A", u"bb"})
    Plain.Add(S);
  Plain.Sort();
  EXPECT_EQ(Entries(Plain), (V{u"A", u"aa", u"B", u"bb", u"ccc"}));
}

// A sorted list filled one Add at a time orders, drops and finds exactly as one sorted at once.
TEST(StringList, SortedAddsAgreeWithOneSort) {
  std::mt19937 Random(7);
  const std::vector<UnicodeString> Stems = {u"Standard", u"\u00c4rger", u"\u00e4rger",  u"Arger",
                                            u"Win32",    u"win-32",     u"Data Access", u"DATA"};
  std::vector<UnicodeString> Captions;
  for (int I = 0; I < 3000; ++I) {
    UnicodeString C = Stems[Random() % Stems.size()] + IntToStr(static_cast<int>(Random() % 700));
    if (Random() % 3 == 0)
      for (char16_t& Unit : C)
        if (Unit >= u'a' && Unit <= u'z')
          Unit = static_cast<char16_t>(Unit - 32);
    Captions.push_back(C);
  }
  TStringList Added;
  Added.SetSorted(true);
  for (const UnicodeString& C : Captions)
    Added.Add(C);
  // The same captions, first of each equal group kept, sorted at once.
  TStringList Whole;
  std::vector<UnicodeString> Firsts;
  for (const UnicodeString& C : Captions)
    if (std::none_of(Firsts.begin(), Firsts.end(),
                     [&](const UnicodeString& F) { return AnsiCompareText(F, C) == 0; }))
      Firsts.push_back(C);
  for (const UnicodeString& C : Firsts)
    Whole.Add(C);
  Whole.SetSorted(true);
  EXPECT_EQ(Entries(Added), Entries(Whole));
  for (const UnicodeString& C : Captions) {
    int At = -1;
    ASSERT_TRUE(Added.Find(SimpleFoldCase(C), At)) << UTF8Encode(C);
    EXPECT_EQ(AnsiCompareText(Added[At], C), 0);
  }
}

// Entries coming in order: equal ones (letter case aside) are found and dropped or kept as the
// setting says, and one that sorts before the last goes to its place.
TEST(StringList, AddingInOrderAppendsAndStillFindsEqualEntries) {
  for (TDuplicates Duplicates : {TDuplicates::dupIgnore, TDuplicates::dupAccept}) {
    TStringList L;
    L.SetSorted(true);
    L.SetDuplicates(Duplicates);
    for (const char16_t* S : {u"Tab 1", u"Tab 2", u"TAB 2", u"Tab 3", u"tab 3", u"Tab 10"})
      L.Add(S);
    L.Add(u"Tab 25"); // after "Tab 2", before "Tab 3"
    L.Add(u"Tab 9");  // at the end
    if (Duplicates == TDuplicates::dupIgnore)
      EXPECT_EQ(Entries(L), (std::vector<UnicodeString>{u"Tab 1", u"Tab 10", u"Tab 2", u"Tab 25",
                                                        u"Tab 3", u"Tab 9"}));
    else
      EXPECT_EQ(L.Count(), 8);
    int At = -1;
    EXPECT_TRUE(L.Find(u"TAB 9", At));
    EXPECT_EQ(At, L.Count() - 1);
    EXPECT_FALSE(L.Find(u"Tab 99", At));
    EXPECT_EQ(At, L.Count());
  }
}

} // namespace

namespace {

// Every way the last entry of a sorted list can change other than a sorted Add: the next Add
// places by the entries as they are now.
TEST(StringList, SortedAddsAfterOtherChangesPlaceByThePresentLastEntry) {
  const V Start{u"Beta", u"Delta"};
  auto Fresh = [&] {
    auto L = std::make_unique<TStringList>();
    L->SetSorted(true);
    for (const UnicodeString& S : Start)
      L->Add(S);
    return L;
  };
  { // Put: the last entry becomes a later one while the list is not sorted.
    auto L = Fresh();
    L->SetSorted(false);
    L->Put(1, u"Zulu");
    L->SetSorted(true);
    L->Add(u"Mike");
    EXPECT_EQ(Entries(*L), (V{u"Beta", u"Mike", u"Zulu"}));
  }
  { // Insert and an unsorted Add at the end.
    auto L = Fresh();
    L->SetSorted(false);
    L->Insert(2, u"Yankee");
    L->Add(u"Zulu");
    L->SetSorted(true);
    L->Add(u"Mike");
    L->Add(u"zulu"); // equal to the last entry, letter case aside: dropped
    EXPECT_EQ(Entries(*L), (V{u"Beta", u"Delta", u"Mike", u"Yankee", u"Zulu"}));
  }
  { // Delete of the last entry: what sorted before it now goes last.
    auto L = Fresh();
    L->Add(u"Foxtrot");
    L->Delete(2);
    L->Add(u"Echo");
    L->Add(u"DELTA");
    EXPECT_EQ(Entries(*L), (V{u"Beta", u"Delta", u"Echo"}));
  }
  { // Clear and Assign.
    auto L = Fresh();
    L->Clear();
    L->Add(u"Alpha");
    L->Add(u"alpha");
    EXPECT_EQ(Entries(*L), (V{u"Alpha"}));
    TStringList Other;
    Other.Add(u"Kilo");
    Other.Add(u"Zulu");
    L->Assign(Other);
    L->Add(u"Mike");
    L->Add(u"ZULU");
    EXPECT_EQ(Entries(*L), (V{u"Kilo", u"Mike", u"Zulu"}));
  }
  { // Sort of entries that came out of order.
    auto L = Fresh();
    L->SetSorted(false);
    L->Add(u"Alpha");
    L->SetSorted(true);
    L->Add(u"Charlie");
    L->Add(u"Echo");
    EXPECT_EQ(Entries(*L), (V{u"Alpha", u"Beta", u"Charlie", u"Delta", u"Echo"}));
  }
}

// Captions as a palette gives them, some in order and some not, with entries equal but for
// letter case (dropped: the first one stays) and entries differing in accents (kept).
TEST(StringList, SortedListOfCaptionsInAndOutOfOrderDropsCaseDuplicatesOnly) {
  const V Captions{u"Additional", u"Data Access", u"data access", u"Standard", u"\u00c4rger",
                   u"Arger",      u"\u00e4rger",  u"STANDARD",    u"Win32",    u"Zeta",
                   u"\u00c4pfel", u"System",      u"system",      u"Win32",    u"ZETA"};
  TStringList L;
  L.SetSorted(true);
  for (const UnicodeString& C : Captions)
    L.Add(C);
  EXPECT_EQ(Entries(L), (V{u"Additional", u"\u00c4pfel", u"Arger", u"\u00c4rger", u"Data Access",
                           u"Standard", u"System", u"Win32", u"Zeta"}));
  // In reverse order the other spelling of each group comes first and stays.
  TStringList R;
  R.SetSorted(true);
  for (auto It = Captions.rbegin(); It != Captions.rend(); ++It)
    R.Add(*It);
  EXPECT_EQ(Entries(R), (V{u"Additional", u"\u00c4pfel", u"Arger", u"\u00e4rger", u"data access",
                           u"STANDARD", u"system", u"Win32", u"ZETA"}));
}

} // namespace

namespace {

// Folding into a buffer kept between calls: an ASCII start, then letters beyond ASCII (one
// of them a surrogate pair), a shorter text after a longer one, and the empty text.
TEST(StringList, FoldingIntoAKeptBufferFoldsEveryPartOfTheText) {
  UnicodeString Out = u"left over from before, longer than anything below";
  SimpleFoldCaseInto(u"Tab 00001", Out);
  EXPECT_EQ(Out, u"tab 00001");
  SimpleFoldCaseInto(u"ABC\u00c4\u0391Z", Out);
  EXPECT_EQ(Out, u"abc\u00e4\u03b1z");
  SimpleFoldCaseInto(u"Q\U00010400x", Out); // DESERET CAPITAL LONG I
  EXPECT_EQ(Out, u"q\U00010428x");
  SimpleFoldCaseInto(u"\u00c4", Out);
  EXPECT_EQ(Out, u"\u00e4");
  SimpleFoldCaseInto(u"", Out);
  EXPECT_EQ(Out, u"");
  SimpleFoldCaseInto(u"[@Z`a{]", Out); // the neighbours of the capitals stay
  EXPECT_EQ(Out, u"[@z`a{]");
}

} // namespace
