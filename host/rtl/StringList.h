// TStrings and TStringList. A string list compares its entries case-insensitively by the user's
// locale (AnsiCompareText): two entries are equal exactly when they differ in letter case only,
// as two names in the registry hive are the same, and sort in the locale's order.
#pragma once

#include "rtl/Object.h"

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

protected:
  virtual int CompareStrings(const UnicodeString& S1, const UnicodeString& S2) const;
};

class TStringList : public TStrings {
public:
  TStringList() = default;
  HOST_CLASS_INFO;

  int Count() const override { return static_cast<int>(FList.size()); }
  UnicodeString Get(int Index) const override;
  void Put(int Index, const UnicodeString& S) override;
  int Add(const UnicodeString& S) override;
  void Insert(int Index, const UnicodeString& S) override;
  void Delete(int Index) override;
  void Clear() override { FList.clear(); }
  int IndexOf(const UnicodeString& S) const override;

  bool Sorted() const { return FSorted; }
  // Switching to sorted sorts the present entries and keeps their duplicates.
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

  // Binary search of a sorted list: true and the first equal entry's index, or false and the
  // index where S would go.
  bool Find(const UnicodeString& S, int& Index) const;
  // Sorts by the list's comparison; entries that compare equal keep their order.
  void Sort();

private:
  void CheckIndex(int Index, bool AllowEnd = false) const;

  std::vector<UnicodeString> FList;
  bool FSorted = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
