// Helpers shared by the palette menu units.
#pragma once

#include "rtl/TypInfo.h"
#include "rtl/UnicodeString.h"

#include <cstdint>
#include <typeinfo>

// The tab key of a palette tab caption: the caption with every "&" removed ("&&" included);
// every other character stays, in order.
UnicodeString RemoveAmpersand(const UnicodeString& S);

// Reads the string property "Caption" of one object after another through run-time type
// information, looking the property up by name once for each class the objects come in.
class TOvCaptionReader {
public:
  UnicodeString Read(const TObject* Instance);

private:
  const std::type_info* FType = nullptr;
  const TPropInfo* FProp = nullptr;
  std::uint64_t FGeneration = 0;
};
