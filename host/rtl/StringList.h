// TStrings and TStringList. A string list compares its entries case-insensitively by the user's
// locale (AnsiCompareText): two entries are equal exactly when they differ in letter case only,
// as two names in the registry hive are the same, and sort in the locale's order.
#pragma once

#include "rtl/Object.h"

#include <string>
#include <typeinfo>
#include <vector>

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
public:
  HOST_CLASS_INFO;

  virtual int Count() const = 0;
  virtual UnicodeString Get(int Index) const = 0;
  UnicodeString operator[](int Index) const { return Get(Index); }
  UnicodeString Strings(int Index) const { return Get(Index); }
  virtual void Put(int Index, const UnicodeString& S) = 0;
  // Appends S (a sorted list puts it in its sorted place); returns its index.
  virtual int Add(const UnicodeString& S);
  virtual void Insert(int Index, const UnicodeString& S) = 0;
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  // Replaces the entries with those of Source, in Source's order.
  virtual void Assign(const TStrings& Source);
  void AddStrings(const TStrings& Source);
  // First index whose entry compares equal to S, or -1.
  virtual int IndexOf(const UnicodeString& S) const;
  // Entries joined by line breaks, each followed by one.
  UnicodeString Text() const;
  // Room for Value entries in all, so that adding up to that many moves none; a hint only, which
  // a list that keeps no room of its own may ignore. Never below Count.
  virtual int Capacity() const { return Count(); }
  virtual void SetCapacity(int Value);

protected:
  virtual int CompareStrings(const UnicodeString& S1, const UnicodeString& S2) const;
};

class TStringList : public TStrings {
public:
  TStringList() = default;
  HOST_CLASS_INFO;

  int Count() const override { return static_cast<int>(FList.size()); }
  int Capacity() const override { return static_cast<int>(FList.capacity()); }
  void SetCapacity(int Value) override;
  UnicodeString Get(int Index) const override;
  // The entry at Index itself, not a copy; it stays valid until the list changes.
  const UnicodeString& At(int Index) const;
  // The entries, moved out in their order; the list is left empty. For a list that has done its
  // work (sorting, say) when its strings are to live on elsewhere without being copied.
  std::vector<UnicodeString> TakeStrings();
  void Put(int Index, const UnicodeString& S) override;
  int Add(const UnicodeString& S) override;
  // The same, taking S over instead of copying it.
  int Add(UnicodeString&& S);
  void Insert(int Index, const UnicodeString& S) override;
  void Delete(int Index) override;
  void Clear() override {
    FList.clear();
    FBackKey = nullptr;
  }
  int IndexOf(const UnicodeString& S) const override;
  // As TStrings does; from a list of exactly this class into an unsorted one, the entries are
  // copied at once (one copy each, not one to read and one to add).
  void Assign(const TStrings& Source) override;
  // The same, taking Source's entries over instead of copying them when both lists are of
  // exactly this class and this one is not sorted; Source is left empty. Otherwise as above.
  void Assign(TStringList&& Source);

  bool Sorted() const { return FSorted; }
  // Switching to sorted sorts the present entries and keeps their duplicates.
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

  // Binary search of a sorted list: true and the first equal entry's index, or false and the
  // index where S would go.
  bool Find(const UnicodeString& S, int& Index) const;
  // Sorts by the list's comparison; entries that compare equal keep their order. A list of
  // exactly this class sorts by collation keys, kept between sorts (CollationKeys_p.h), which
  // order as CompareStrings does; a descendant, which may compare in its own way, sorts by
  // CompareStrings.
  void Sort();

private:
  void CheckIndex(int Index, bool AllowEnd = false) const;
  // Where S goes in this sorted list (Index), or false when it is a duplicate to drop, whose
  // equal is at Index; raises EStringListError when duplicates are refused.
  bool SortedPlace(const UnicodeString& S, int& Index);
  // Whether CompareStrings is TStringList's own, so that collation keys may stand in for it.
  bool ComparesAsTStringList() const { return typeid(*this) == typeid(TStringList); }

  // The collation key of the last entry, as the memo of the thread that took it keeps it
  // (SortedPlace), so that entries added in order are each looked up in the memo once. Valid
  // while FBackMemo is the calling thread's memo and FBackEpoch its epoch (the memo has kept
  // every key since) and FBackKey is not null; every change of the entries other than an
  // append in order resets it.
  const std::string* FBackKey = nullptr;
  const void* FBackMemo = nullptr;
  unsigned long long FBackEpoch = 0;
  // The key of the string SortedPlace placed at the end, for AddedAt; else null.
  const std::string* FFoundKey = nullptr;
  // After Add put an entry at Index: keeps the key of the last entry when that entry is the
  // one added, else forgets it.
  void AddedAt(int Index);

  std::vector<UnicodeString> FList;
  bool FSorted = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
