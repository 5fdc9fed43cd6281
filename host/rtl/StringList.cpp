#include "rtl/StringList.h"

#include "rtl/CollationKeys_p.h"

#include "rtl/Exception.h"
#include "rtl/SysUtils.h"
#include "rtl/TypInfo.h"

#include <algorithm>
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

void TStrings::SetCapacity(int Value) {
  if (Value < Count())
    throw EStringListError(u"List capacity out of bounds (" + IntToStr(Value) + u")");
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

void TStringList::SetCapacity(int Value) {
  TStrings::SetCapacity(Value); // refuses fewer than Count
  FList.reserve(static_cast<size_t>(Value));
}

UnicodeString TStringList::Get(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)];
}

const UnicodeString& TStringList::At(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= FList.size())
    CheckIndex(Index); // raises
  return FList[static_cast<size_t>(Index)];
}

std::vector<UnicodeString> TStringList::TakeStrings() {
  std::vector<UnicodeString> Taken;
  Taken.swap(FList);
  FBackKey = nullptr;
  return Taken;
}

void TStringList::Put(int Index, const UnicodeString& S) {
  if (FSorted)
    throw EStringListError(u"Operation not allowed on sorted list");
  CheckIndex(Index);
  FList[static_cast<size_t>(Index)] = S;
  FBackKey = nullptr;
}

bool TStringList::SortedPlace(const UnicodeString& S, int& Index) {
  FFoundKey = nullptr;
  if (ComparesAsTStringList() && !FList.empty()) {
    // Entries added in order go after the last one, whose key is kept from the Add before:
    // one look-up in the memo and one comparison.
    TCollationKeyMemo& Keys = TCollationKeyMemo::ForThisThread();
    Keys.MakeRoom(2);
    const std::string& Key = Keys.KeyOf(S);
    if (!FBackKey || FBackMemo != &Keys || FBackEpoch != Keys.Epoch()) {
      FBackKey = &Keys.KeyOf(FList.back());
      FBackMemo = &Keys;
      FBackEpoch = Keys.Epoch();
    }
    if (*FBackKey < Key) {
      Index = Count();
      FFoundKey = &Key;
      return true;
    }
  }
  if (Find(S, Index)) {
    switch (FDuplicates) {
    case TDuplicates::dupIgnore:
      return false;
    case TDuplicates::dupError:
      throw EStringListError(u"String list does not allow duplicates");
    case TDuplicates::dupAccept:
      break;
    }
  }
  return true;
}

void TStringList::AddedAt(int Index) {
  // FFoundKey is set only when SortedPlace found the place by the keys, at the end.
  FBackKey = Index == Count() - 1 ? FFoundKey : nullptr;
  FFoundKey = nullptr;
}

int TStringList::Add(const UnicodeString& S) {
  if (!FSorted) {
    FList.push_back(S);
    FBackKey = nullptr;
    return Count() - 1;
  }
  int Index;
  if (SortedPlace(S, Index)) {
    FList.insert(FList.begin() + Index, S);
    AddedAt(Index);
  }
  return Index;
}

int TStringList::Add(UnicodeString&& S) {
  if (!FSorted) {
    FList.push_back(std::move(S));
    FBackKey = nullptr;
    return Count() - 1;
  }
  int Index;
  if (SortedPlace(S, Index)) {
    FList.insert(FList.begin() + Index, std::move(S));
    AddedAt(Index);
  }
  return Index;
}

void TStringList::Insert(int Index, const UnicodeString& S) {
  if (FSorted)
    throw EStringListError(u"Operation not allowed on sorted list");
  CheckIndex(Index, true);
  FList.insert(FList.begin() + Index, S);
  FBackKey = nullptr;
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  FList.erase(FList.begin() + Index);
  FBackKey = nullptr;
}

void TStringList::Assign(const TStrings& Source) {
  if (&Source == this)
    return;
  FBackKey = nullptr;
  if (FSorted || typeid(Source) != typeid(TStringList)) {
    TStrings::Assign(Source);
    return;
  }
  FList = static_cast<const TStringList&>(Source).FList;
}

void TStringList::Assign(TStringList&& Source) {
  if (&Source == this)
    return;
  if (FSorted || typeid(*this) != typeid(TStringList) || typeid(Source) != typeid(TStringList)) {
    Assign(static_cast<const TStrings&>(Source));
    return;
  }
  FBackKey = nullptr;
  FList = std::move(Source.FList);
  Source.FList.clear();
  Source.FBackKey = nullptr;
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
  if (ComparesAsTStringList()) {
    // Collation keys compare as CompareStrings does; each string's key is made once per
    // thread, so a sorted list filled one Add at a time folds and collates every entry once
    // rather than at each of the comparisons of every search.
    TCollationKeyMemo& Keys = TCollationKeyMemo::ForThisThread();
    Keys.MakeRoom(66); // the search's keys: S and at most 65 entries
    const std::string& Key = Keys.KeyOf(S);
    // Entries added in order (a palette's sorted captions) go after the last one: one
    // comparison instead of a search.
    if (H > 0 && Keys.KeyOf(FList.back()) < Key) {
      Index = H;
      return false;
    }
    while (L < H) {
      int M = L + (H - L) / 2;
      if (Keys.KeyOf(FList[static_cast<size_t>(M)]) < Key)
        L = M + 1;
      else
        H = M;
    }
    Index = L;
    return L < Count() && Keys.KeyOf(FList[static_cast<size_t>(L)]) == Key;
  }
  while (L < H) {
    int M = L + (H - L) / 2;
    if (CompareStrings(FList[static_cast<size_t>(M)], S) < 0)
      L = M + 1;
    else
      H = M;
  }
  Index = L;
  return L < Count() && CompareStrings(FList[static_cast<size_t>(L)], S) == 0;
}

TCollationKeyMemo& TCollationKeyMemo::ForThisThread() {
  thread_local TCollationKeyMemo Memo;
  return Memo;
}

void TStringList::Sort() {
  FBackKey = nullptr;
  if (!ComparesAsTStringList()) {
    std::stable_sort(FList.begin(), FList.end(),
                     [this](const UnicodeString& A, const UnicodeString& B) {
                       return CompareStrings(A, B) < 0;
                     });
    return;
  }
  // One collation key per entry instead of two foldings and a collation per comparison. The
  // entries move only once every key is there, so a failure leaves the list as it was.
  TCollationKeyMemo& Keys = TCollationKeyMemo::ForThisThread();
  Keys.MakeRoom(FList.size());
  std::vector<std::pair<const std::string*, size_t>> Keyed;
  Keyed.reserve(FList.size());
  bool InOrder = true;
  for (size_t I = 0; I < FList.size(); ++I) {
    Keyed.emplace_back(&Keys.KeyOf(FList[I]), I);
    InOrder = InOrder && (I == 0 || !(*Keyed[I].first < *Keyed[I - 1].first));
  }
  // Entries that arrive in order (a palette's captions, often) stay where they are.
  if (InOrder)
    return;
  std::stable_sort(Keyed.begin(), Keyed.end(),
                   [](const auto& A, const auto& B) { return *A.first < *B.first; });
  std::vector<UnicodeString> Ordered;
  Ordered.reserve(FList.size());
  for (const auto& [Key, Index] : Keyed)
    Ordered.push_back(std::move(FList[Index]));
  FList.swap(Ordered);
}
