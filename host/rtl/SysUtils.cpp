#include "rtl/SysUtils.h"

#include "rtl/Exception.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace {

// One collator for the process, for the user's locale (ICU takes it from LC_ALL / LANG).
const icu::Collator& UserCollator() {
  static std::unique_ptr<icu::Collator> Collator;
  static std::once_flag Once;
  std::call_once(Once, [] {
    UErrorCode Status = U_ZERO_ERROR;
    // The C/POSIX locale maps to en_US_POSIX, whose collation orders by code point and so does
    // not ignore case; it means "no particular locale", so take the root collation instead.
    icu::Locale User = icu::Locale::getDefault();
    if (std::string_view(User.getVariant()) == "POSIX" ||
        std::string_view(User.getLanguage()).empty())
      User = icu::Locale::getRoot();
    Collator.reset(icu::Collator::createInstance(User, Status));
    if (U_FAILURE(Status) || !Collator) {
      Status = U_ZERO_ERROR;
      Collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), Status));
    }
    if (U_FAILURE(Status) || !Collator)
      throw Exception(u"Cannot create the locale's text collator");
    Collator->setStrength(icu::Collator::SECONDARY);
  });
  return *Collator;
}

} // namespace

int CompareFoldedText(std::u16string_view Folded1, std::u16string_view Folded2) {
  UErrorCode Status = U_ZERO_ERROR;
  UCollationResult R =
      UserCollator().compare(Folded1.data(), static_cast<int32_t>(Folded1.size()), Folded2.data(),
                             static_cast<int32_t>(Folded2.size()), Status);
  if (U_FAILURE(Status))
    throw Exception(u"Text comparison failed");
  if (R != UCOL_EQUAL)
    return R == UCOL_LESS ? -1 : 1;
  // The collator also merges width, compatibility and canonically equivalent spellings and
  // skips ignorable characters; such strings are distinct names and are ordered by code unit.
  const int C = Folded1.compare(Folded2);
  return C < 0 ? -1 : (C > 0 ? 1 : 0);
}

std::string AnsiCompareTextKey(std::u16string_view S) {
  const UnicodeString Folded = SimpleFoldCase(S);
  const auto Length = static_cast<int32_t>(Folded.size());
  // The collator's sort key ends in its only zero byte, so keys that differ there decide
  // before the folded text does; equal sort keys are followed by the folded code units, high
  // byte first, as CompareFoldedText breaks such ties.
  std::string Key(64, '\0');
  int32_t Size =
      UserCollator().getSortKey(Folded.data(), Length, reinterpret_cast<uint8_t*>(Key.data()),
                                static_cast<int32_t>(Key.size()));
  if (Size > static_cast<int32_t>(Key.size())) {
    Key.assign(static_cast<size_t>(Size), '\0');
    Size = UserCollator().getSortKey(Folded.data(), Length, reinterpret_cast<uint8_t*>(Key.data()),
                                     Size);
  }
  if (Size <= 0)
    throw Exception(u"Text comparison failed");
  Key.resize(static_cast<size_t>(Size));
  Key.reserve(Key.size() + 2 * Folded.size());
  for (char16_t C : Folded) {
    Key.push_back(static_cast<char>(C >> 8));
    Key.push_back(static_cast<char>(C & 0xFF));
  }
  return Key;
}

int AnsiCompareText(std::u16string_view S1, std::u16string_view S2) {
  return CompareFoldedText(SimpleFoldCase(S1), SimpleFoldCase(S2));
}

bool AnsiSameText(std::u16string_view S1, std::u16string_view S2) {
  return SimpleFoldCase(S1) == SimpleFoldCase(S2);
}

bool SameText(std::u16string_view S1, std::u16string_view S2) {
  if (S1.size() != S2.size())
    return false;
  for (size_t I = 0; I < S1.size(); ++I) {
    char16_t A = S1[I], B = S2[I];
    if (A >= u'A' && A <= u'Z')
      A = static_cast<char16_t>(A + 32);
    if (B >= u'A' && B <= u'Z')
      B = static_cast<char16_t>(B + 32);
    if (A != B)
      return false;
  }
  return true;
}

UnicodeString SimpleFoldCase(std::u16string_view S) {
  UnicodeString Out;
  SimpleFoldCaseInto(S, Out);
  return Out;
}

void SimpleFoldCaseInto(std::u16string_view S, UnicodeString& Out) {
  Out.clear();
  Out.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    UChar32 C;
    U16_NEXT(S.data(), I, S.size(), C);
    C = u_foldCase(C, U_FOLD_CASE_DEFAULT);
    if (U_IS_BMP(C)) {
      Out.push_back(static_cast<char16_t>(C));
    } else {
      Out.push_back(U16_LEAD(C));
      Out.push_back(U16_TRAIL(C));
    }
  }
}
