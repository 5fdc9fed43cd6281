// Conversions between the host's UTF-16 strings and Qt's.
#pragma once

#include "rtl/UnicodeString.h"

#include <QString>

inline QString ToQString(std::u16string_view S) {
  return QString::fromUtf16(S.data(), static_cast<qsizetype>(S.size()));
}

inline UnicodeString FromQString(const QString& S) {
  return UnicodeString(reinterpret_cast<const char16_t*>(S.utf16()), static_cast<size_t>(S.size()));
}
