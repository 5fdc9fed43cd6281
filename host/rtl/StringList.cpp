#include "rtl/StringList.h"

#include "rtl/Assert.h"
#include "rtl/Exception.h"
#include "rtl/SysUtils.h"
#include "rtl/TypInfo.h"

#include <algorithm>
#include <string>
#include <typeinfo>
#include <utility>

const TClassInfo& TStrings::StaticClass() {
  static const TClassInfo Info(u"TStrings", &TPersistent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TStrings)

int TStrings::Add(const UnicodeString& S) {
  int Index = Count();
  Insert(Index, S);
  return Index;
}

void TStrings::Assign(const TStrings& Source) {
  if (&Source == this)
    return;
  Clear();
  AddStrings(Source);
}

void TStrings::AddStrings(const TStrings& Source) {
  const int N = Source.Count();
  for (int I = 0; I < N; ++I)
    Add(Source.Get(I));
}

int TStrings::IndexOf(const UnicodeString& S) const {
  const int N = Count();
  for (int I = 0; I < N; ++I)
    if (CompareStrings(Get(I), S) == 0)
      return I;
  return -1;
}

UnicodeString TStrings::Text() const {
  UnicodeString R;
  const int N = Count();
  for (int I = 0; I < N; ++I) {
    R += Get(I);
    R += u"\n";
  }
  return R;
}

int TStrings::CompareStrings(const UnicodeString& S1, const UnicodeString& S2) const {
  return AnsiCompareText(S1, S2);
}

// --- TStringList ------------------------------------------------------------------------------

const TClassInfo& TStringList::StaticClass() {
  static const TClassInfo Info(u"TStringList", &TStrings::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TStringList)

void TStringList::CheckIndex(int Index, bool AllowEnd) const {
  if (Index < 0 || Index > Count() || (!AllowEnd && Index == Count()))
    throw EStringListError(u"List index out of bounds (" + IntToStr(Index) + u")");
}

UnicodeString TStringList::Get(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)];
}

void TStringList::Put(int Index, const UnicodeString& S) {
  if (FSorted)
    throw EStringListError(u"Operation not allowed on sorted list");
  CheckIndex(Index);
  FList[static_cast<size_t>(Index)] = S;
}

int TStringList::Add(const UnicodeString& S) {
  if (!FSorted) {
    FList.push_back(S);
    return Count() - 1;
  }
  int Index;
  if (Find(S, Index)) {
    switch (FDuplicates) {
    case TDuplicates::dupIgnore:
      return Index;
    case TDuplicates::dupError:
      throw EStringListError(u"String list does not allow duplicates");
    case TDuplicates::dupAccept:
      break;
    }
  }
  FList.insert(FList.begin() + Index, S);
  HOST_ASSERT(
      (Index == 0 || CompareStrings(FList[static_cast<size_t>(Index) - 1], S) <= 0) &&
          (Index + 1 == Count() || CompareStrings(S, FList[static_cast<size_t>(Index) + 1]) <= 0),
      "a sorted list stays in order after an entry is added");
  return Index;
}

void TStringList::Insert(int Index, const UnicodeString& S) {
  if (FSorted)
    throw EStringListError(u"Operation not allowed on sorted list");
  CheckIndex(Index, true);
  FList.insert(FList.begin() + Index, S);
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  FList.erase(FList.begin() + Index);
}

int TStringList::IndexOf(const UnicodeString& S) const {
  if (!FSorted)
    return TStrings::IndexOf(S);
  int Index;
  return Find(S, Index) ? Index : -1;
}

void TStringList::SetSorted(bool Value) {
  if (Value == FSorted)
    return;
  if (Value)
    Sort();
  FSorted = Value;
}

bool TStringList::Find(const UnicodeString& S, int& Index) const {
  // Lower bound: the first entry not less than S.
  int L = 0, H = Count();
  while (L < H) {
    const int M = L + (H - L) / 2;
    if (CompareStrings(FList[static_cast<size_t>(M)], S) < 0)
      L = M + 1;
    else
      H = M;
  }
  Index = L;
  return L < Count() && CompareStrings(FList[static_cast<size_t>(L)], S) == 0;
}

void TStringList::Sort() {
  if (typeid(*this) != typeid(TStringList)) {
    // A descendant may compare in its own way.
    std::stable_sort(FList.begin(), FList.end(),
                     [this](const UnicodeString& A, const UnicodeString& B) {
                       return CompareStrings(A, B) < 0;
                     });
    return;
  }
  // One collation key per entry rather than a folding and a collation per comparison. The
  // entries move only once every key is made, so a failure leaves the list as it was.
  std::vector<std::pair<std::string, size_t>> Keyed;
  Keyed.reserve(FList.size());
  for (size_t I = 0; I < FList.size(); ++I)
    Keyed.emplace_back(AnsiCompareTextKey(FList[I]), I);
  std::stable_sort(Keyed.begin(), Keyed.end(),
                   [](const auto& A, const auto& B) { return A.first < B.first; });
  std::vector<UnicodeString> Ordered;
  Ordered.reserve(FList.size());
  for (const auto& Entry : Keyed)
    Ordered.push_back(std::move(FList[Entry.second]));
  FList.swap(Ordered);
}
