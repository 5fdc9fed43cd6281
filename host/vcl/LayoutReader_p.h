// What the two layers of the layout reader share.
#pragma once

#include "rtl/SysUtils.h"
#include "rtl/UnicodeString.h"

#include <string_view>

namespace detail {

// "Error reading layout NAME, line N: ", the start of every message of the reader.
inline UnicodeString LayoutErrorPrefix(std::u16string_view Source, int Line) {
  return u"Error reading layout " + UnicodeString(Source) + u", line " + IntToStr(Line) + u": ";
}

} // namespace detail
