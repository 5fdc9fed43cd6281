#include "rtl/UnicodeString.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>

std::string UTF8Encode(std::u16string_view S) {
  std::string Out;
  Out.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    char32_t C;
    U16_NEXT_OR_FFFD(S.data(), I, S.size(), C);
    if (C < 0x80) {
      Out += static_cast<char>(C);
    } else if (C < 0x800) {
      Out += static_cast<char>(0xC0 | (C >> 6));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
      Out += static_cast<char>(0xE0 | (C >> 12));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (C >> 18));
      Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  return Out;
}

UnicodeString UTF8Decode(std::string_view S) {
  if (S.empty())
    return {};
  UErrorCode Status = U_ZERO_ERROR;
  int32_t Length = 0;
  u_strFromUTF8WithSub(nullptr, 0, &Length, S.data(), static_cast<int32_t>(S.size()), 0xFFFD,
                       nullptr, &Status);
  UnicodeString Out(static_cast<size_t>(Length), u'\0');
  Status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(Out.data(), Length, nullptr, S.data(), static_cast<int32_t>(S.size()),
                       0xFFFD, nullptr, &Status);
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
