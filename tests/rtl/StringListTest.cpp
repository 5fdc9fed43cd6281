#include "rtl/StringList.h"
#include "rtl/Exception.h"

#include <gtest/gtest.h>

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

TEST(StringList, AccentsAreNotLetterCase) {
  TStringList L;
  L.SetSorted(true);
  L.Add(u"Resume");
  L.Add(u"R\u00e9sum\u00e9");
  L.Add(u"R\u00c9SUM\u00c9");
  EXPECT_EQ(L.Count(), 2);
  EXPECT_EQ(L.IndexOf(u"r\u00e9sum\u00e9"), 1);
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
}

} // namespace
