// The per-user registry hive behind TRegIniFile: keys below HKEY_CURRENT_USER holding typed
// values. Key paths are relative to HKEY_CURRENT_USER, components separated by '\'. Key and
// value names are case-insensitive (Unicode case folding) and case-preserving.
#pragma once

#include "rtl/UnicodeString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

enum TRegDataType : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_DWORD_BIG_ENDIAN = 5,
  REG_LINK = 6,
  REG_MULTI_SZ = 7,
  REG_QWORD = 11,
};

struct TRegValue {
  UnicodeString Name; // empty for the key's default value
  uint32_t Type = REG_NONE;
  std::vector<uint8_t> Data; // as Windows stores it: strings are UTF-16LE with a final NUL

  static TRegValue String(UnicodeString Name, std::u16string_view Text);
  bool IsString() const { return Type == REG_SZ || Type == REG_EXPAND_SZ; }
  // The text of a string value, exactly as written; ERegistryException for another type.
  UnicodeString AsString() const;
  bool operator==(const TRegValue&) const = default;
};

class TRegistryHive {
public:
  virtual ~TRegistryHive() = default;

  // Where the hive lives (a file path), for messages.
  virtual UnicodeString Location() const = 0;

  // Creates every missing key of Path.
  virtual void CreateKey(std::u16string_view Path) = 0;
  virtual bool KeyExists(std::u16string_view Path) = 0;
  // The value, or nothing when the key or the value does not exist.
  virtual std::optional<TRegValue> ReadValue(std::u16string_view Path,
                                             std::u16string_view Name) = 0;
  // Creates the key when missing, then stores the value (replacing one of the same name).
  virtual void WriteValue(std::u16string_view Path, const TRegValue& Value) = 0;
  // Removes the value; a missing value or key is not an error and changes nothing.
  virtual void DeleteValue(std::u16string_view Path, std::u16string_view Name) = 0;
  // Names as stored, in the order they were created; empty when the key does not exist.
  virtual std::vector<UnicodeString> ValueNames(std::u16string_view Path) = 0;
  virtual std::vector<UnicodeString> SubKeyNames(std::u16string_view Path) = 0;
  // Removes the key with its values and subkeys; a missing key is not an error.
  virtual void DeleteKey(std::u16string_view Path) = 0;
};

// Name rules shared by every hive. They raise ERegistryException naming the offending name.
namespace RegistryNames {
constexpr size_t MaxKeyNameLength = 255;
constexpr size_t MaxValueNameLength = 16383;
// Splits a key path at '\' into validated components (empty components are refused).
std::vector<UnicodeString> SplitKeyPath(std::u16string_view Path);
void CheckValueName(std::u16string_view Name);
// The comparison form of a name: Unicode case folding.
UnicodeString Fold(std::u16string_view Name);
} // namespace RegistryNames

// A hive kept in memory, shared by every handle opened from the same store. Used by tests and
// when no hive file is wanted.
std::unique_ptr<TRegistryHive> NewMemoryHive();

// How TRegIniFile opens the current user's hive. Each call gives an independent handle on the
// same hive.
using THiveFactory = std::function<std::unique_ptr<TRegistryHive>()>;
void SetCurrentUserHiveFactory(THiveFactory Factory);
std::unique_ptr<TRegistryHive> OpenCurrentUserHive();
