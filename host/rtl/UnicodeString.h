// The host's string type: UTF-16 code units, compared and ordered by code unit.
#pragma once

#include <string>
#include <string_view>

using UnicodeString = std::u16string;

// Converts at the edges (terminal, file paths, SQLite text). Ill-formed input (a lone
// surrogate, a broken UTF-8 sequence) becomes U+FFFD; use the checked variants where that
// would lose data.
std::string UTF8Encode(std::u16string_view S);
UnicodeString UTF8Decode(std::string_view S);

// True when S is well-formed UTF-16 (no lone surrogate).
bool IsWellFormedUTF16(std::u16string_view S);

UnicodeString IntToStr(long long Value);
