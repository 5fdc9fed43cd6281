// The collation keys of texts sorted before, for TStringList::Sort. Menus sort the same
// captions again and again, and a key (AnsiCompareTextKey) costs a folding and a collation, so
// the keys are kept: per thread (no lock on the way of a sort), up to a bound (the memory stays
// small however many texts pass), and for the life of the thread (the user's collation does not
// change while the process runs).
#pragma once

#include "rtl/SysUtils.h"
#include "rtl/UnicodeString.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>

class TCollationKeyMemo {
public:
  static constexpr size_t MaxKept = 65536;

  // The memo of the calling thread.
  static TCollationKeyMemo& ForThisThread();

  // Makes room for Coming more keys: forgets every key when they would not all fit. A sort
  // calls it once, before it takes any key, so that no key goes while the sort holds it.
  void MakeRoom(size_t Coming) {
    if (FKeys.size() + Coming > MaxKept) {
      FKeys.clear();
      ++FEpoch;
    }
  }
  // Changes whenever the memo forgets its keys: a key taken at one epoch stays valid (and at
  // the same address) for as long as the epoch is the same.
  unsigned long long Epoch() const { return FEpoch; }
  // The key of S, computed the first time only. The reference stays valid until MakeRoom
  // forgets the keys (the map is node-based: adding keys moves none).
  const std::string& KeyOf(const UnicodeString& S) {
    auto It = FKeys.find(S);
    if (It == FKeys.end())
      It = FKeys.emplace(S, AnsiCompareTextKey(S)).first;
    return It->second;
  }
  // How many keys are kept.
  size_t Size() const { return FKeys.size(); }

private:
  // Texts are equal when they hold the same code units, compared as bytes (quicker than the
  // unit by unit comparison of the string type).
  struct TSameUnits {
    bool operator()(const UnicodeString& A, const UnicodeString& B) const {
      return A.size() == B.size() &&
             std::memcmp(A.data(), B.data(), A.size() * sizeof(char16_t)) == 0;
    }
  };
  std::unordered_map<UnicodeString, std::string, std::hash<UnicodeString>, TSameUnits> FKeys;
  unsigned long long FEpoch = 0;
};
