#include "OvPaletteMenuCommon.h"

UnicodeString RemoveAmpersand(const UnicodeString& S) {
  UnicodeString Result;
  Result.reserve(S.size());
  for (char16_t C : S)
    if (C != u'&')
      Result.push_back(C);
  return Result;
}
