// The host's string type: UTF-16 code units, compared and ordered by code unit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

using UnicodeString = std::u16string;

// Converts at the edges (terminal, file paths, SQLite text). Ill-formed input (a lone
// surrogate, a broken UTF-8 sequence) becomes U+FFFD; use the checked variants where that
// would lose data.
std::string UTF8Encode(std::u16string_view S);
UnicodeString UTF8Decode(std::string_view S);

// The checked variants. Each converts all of S into Out and returns UTFWellFormed, or returns
// the offset of the first ill-formed sequence (in bytes of S for UTF-8, in code units of S for
// UTF-16), with Out holding what was converted before it. Overlong forms, encoded surrogates
// and code points above U+10FFFF are ill-formed; noncharacters (U+FFFE) are not.
inline constexpr size_t UTFWellFormed = static_cast<size_t>(-1);
size_t TryUTF8Decode(std::string_view S, UnicodeString& Out);
size_t TryUTF8Encode(std::u16string_view S, std::string& Out);
// The same, raising EConvertError that names the offset of the first ill-formed sequence.
UnicodeString UTF8DecodeChecked(std::string_view S);
std::string UTF8EncodeChecked(std::u16string_view S);

// True when S is well-formed UTF-16 (no lone surrogate).
bool IsWellFormedUTF16(std::u16string_view S);

UnicodeString IntToStr(long long Value);
