#include "rtl/UnicodeString.h"

#include "rtl/Exception.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace {

// One converter for both directions and both policies, on ICU's well-formedness rules
// (U8_NEXT refuses overlong forms, surrogates and values above U+10FFFF). Strict stops at the
// first ill-formed sequence and returns its offset; otherwise the sequence becomes U+FFFD.
size_t Decode(std::string_view S, UnicodeString& Out, bool Strict) {
  const auto* P = reinterpret_cast<const uint8_t*>(S.data());
  Out.clear();
  Out.reserve(S.size());
  const int64_t N = static_cast<int64_t>(S.size());
  for (int64_t I = 0; I < N;) {
    const int64_t Start = I;
    UChar32 C;
    U8_NEXT(P, I, N, C);
    if (C < 0) {
      if (Strict)
        return static_cast<size_t>(Start);
      C = 0xFFFD;
    }
    if (C <= 0xFFFF) {
      Out.push_back(static_cast<char16_t>(C));
    } else {
      Out.push_back(U16_LEAD(C));
      Out.push_back(U16_TRAIL(C));
    }
  }
  return UTFWellFormed;
}

size_t Encode(std::u16string_view S, std::string& Out, bool Strict) {
  Out.clear();
  Out.reserve(S.size());
  const int64_t N = static_cast<int64_t>(S.size());
  for (int64_t I = 0; I < N;) {
    const int64_t Start = I;
    UChar32 C;
    U16_NEXT(S.data(), I, N, C);
    if (U_IS_SURROGATE(C)) {
      if (Strict)
        return static_cast<size_t>(Start);
      C = 0xFFFD;
    }
    uint8_t Bytes[U8_MAX_LENGTH];
    int32_t Length = 0;
    U8_APPEND_UNSAFE(Bytes, Length, C);
    Out.append(reinterpret_cast<const char*>(Bytes), static_cast<size_t>(Length));
  }
  return UTFWellFormed;
}

} // namespace

std::string UTF8Encode(std::u16string_view S) {
  std::string Out;
  Encode(S, Out, false);
  return Out;
}

UnicodeString UTF8Decode(std::string_view S) {
  UnicodeString Out;
  Decode(S, Out, false);
  return Out;
}

size_t TryUTF8Decode(std::string_view S, UnicodeString& Out) {
  return Decode(S, Out, true);
}

size_t TryUTF8Encode(std::u16string_view S, std::string& Out) {
  return Encode(S, Out, true);
}

UnicodeString UTF8DecodeChecked(std::string_view S) {
  UnicodeString Out;
  const size_t Bad = Decode(S, Out, true);
  if (Bad != UTFWellFormed)
    throw EConvertError(u"Invalid UTF-8 at byte " + IntToStr(static_cast<long long>(Bad)));
  return Out;
}

std::string UTF8EncodeChecked(std::u16string_view S) {
  std::string Out;
  const size_t Bad = Encode(S, Out, true);
  if (Bad != UTFWellFormed)
    throw EConvertError(u"Unpaired surrogate at character " +
                        IntToStr(static_cast<long long>(Bad)));
  return Out;
}

bool IsWellFormedUTF16(std::u16string_view S) {
  for (size_t I = 0; I < S.size(); ++I) {
    char16_t C = S[I];
    if (U16_IS_LEAD(C)) {
      if (I + 1 >= S.size() || !U16_IS_TRAIL(S[I + 1]))
        return false;
      ++I;
    } else if (U16_IS_TRAIL(C)) {
      return false;
    }
  }
  return true;
}

UnicodeString IntToStr(long long Value) {
  std::string A = std::to_string(Value);
  return UnicodeString(A.begin(), A.end());
}
