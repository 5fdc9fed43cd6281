// A small strict JSON reader (RFC 8259): no comments, no trailing commas, no duplicate member
// names, well-formed UTF-8 only. Every error names the source, the line and the column (both
// from 1, columns counted in characters) where it was found.
#pragma once

#include "rtl/Exception.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

HOST_EXCEPTION_CLASS(EJsonError, Exception);

class TJsonValue {
public:
  enum class TKind { Null, Boolean, Number, String, Array, Object };

  TKind Kind = TKind::Null;
  bool Boolean = false;
  double Number = 0;
  std::string String;                                      // UTF-8
  std::vector<TJsonValue> Items;                           // Array
  std::vector<std::pair<std::string, TJsonValue>> Members; // Object, in document order
  int Line = 0;                                            // where the value starts
  int Column = 0;

  // The member of that name, or nullptr.
  const TJsonValue* Find(std::string_view Name) const;
  // "an object", "a string", ... for messages.
  static const char* KindName(TKind K);
};

// Parses Text (UTF-8; a leading byte-order mark is skipped). Source names it in messages.
TJsonValue ParseJson(std::string_view Text, std::string_view Source);
