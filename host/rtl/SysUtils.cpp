#include "rtl/SysUtils.h"

#include "rtl/Exception.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/ustring.h>

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

int AnsiCompareText(std::u16string_view S1, std::u16string_view S2) {
  UErrorCode Status = U_ZERO_ERROR;
  UCollationResult R = UserCollator().compare(S1.data(), static_cast<int32_t>(S1.size()), S2.data(),
                                              static_cast<int32_t>(S2.size()), Status);
  if (U_FAILURE(Status))
    throw Exception(u"Text comparison failed");
  return R == UCOL_LESS ? -1 : (R == UCOL_GREATER ? 1 : 0);
}

bool AnsiSameText(std::u16string_view S1, std::u16string_view S2) {
  return AnsiCompareText(S1, S2) == 0;
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

UnicodeString FoldCase(std::u16string_view S) {
  if (S.empty())
    return {};
  UErrorCode Status = U_ZERO_ERROR;
  int32_t Length = u_strFoldCase(nullptr, 0, S.data(), static_cast<int32_t>(S.size()),
                                 U_FOLD_CASE_DEFAULT, &Status);
  UnicodeString Out(static_cast<size_t>(Length), u'\0');
  Status = U_ZERO_ERROR;
  u_strFoldCase(Out.data(), Length, S.data(), static_cast<int32_t>(S.size()), U_FOLD_CASE_DEFAULT,
                &Status);
  if (U_FAILURE(Status))
    throw Exception(u"Case folding failed");
  return Out;
}

UnicodeString AnsiTextKey(std::u16string_view S) {
  const icu::Collator& Collator = UserCollator();
  uint8_t Buffer[256];
  const auto Length = static_cast<int32_t>(S.size());
  int32_t Size = Collator.getSortKey(S.data(), Length, Buffer, sizeof Buffer);
  std::vector<uint8_t> Large;
  const uint8_t* Bytes = Buffer;
  if (Size > static_cast<int32_t>(sizeof Buffer)) {
    Large.resize(static_cast<size_t>(Size));
    Size = Collator.getSortKey(S.data(), Length, Large.data(), Size);
    Bytes = Large.data();
  }
  if (Size <= 0)
    throw Exception(u"Text comparison failed");
  // Two bytes to a code unit, high byte first, so that the key's code-unit order is the
  // collation order; an odd last byte is padded with zero.
  UnicodeString Key(static_cast<size_t>(Size + 1) / 2, u'\0');
  for (int32_t I = 0; I < Size; ++I)
    Key[static_cast<size_t>(I) / 2] |= static_cast<char16_t>(Bytes[I] << (I % 2 ? 0 : 8));
  return Key;
}
