// The per-user registry hive behind TRegIniFile: keys below HKEY_CURRENT_USER holding typed
// values. Key paths are relative to HKEY_CURRENT_USER, components separated by '\'. Key and
// value names are case-insensitive (Unicode case folding) and case-preserving.
#pragma once

#include "rtl/ScopedHook.h"
#include "rtl/UnicodeString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
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

// What VisitValue calls with the value: refers to the caller's callable without copying it or
// allocating (the callable lives as long as the call), and calls it through one pointer.
class TValueUse {
public:
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, TValueUse> &&
           std::is_invocable_v<F&, const TRegValue&>)
      TValueUse(F&& Use) // NOLINT: converts from any callable, like std::function
      : FObject(const_cast<void*>(static_cast<const void*>(std::addressof(Use)))),
        FCall([](void* Object, const TRegValue& V) {
          (*static_cast<std::remove_reference_t<F>*>(Object))(V);
        }) {}
  void operator()(const TRegValue& V) const { FCall(FObject, V); }

private:
  void* FObject;
  void (*FCall)(void*, const TRegValue&);
};

// One change of a batch that a hive applies as a whole (see TRegistryHive::Apply).
struct TRegChange {
  enum TKind { CreateKey, WriteValue, DeleteValue, DeleteKey };
  TKind Kind = CreateKey;
  UnicodeString Path;
  TRegValue Value; // WriteValue: the value; DeleteValue: only Value.Name is used
};

// Which file a path names, whatever the spelling of the path: its device and inode.
struct TFileIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

class TRegistryHive {
public:
  virtual ~TRegistryHive() = default;

  // Where the hive lives (a file path), for messages.
  virtual UnicodeString Location() const = 0;
  // The files that hold the hive's data, so that whoever writes files can refuse to write over
  // one of them (an export onto the hive itself). Empty for a hive kept in no file. By default
  // the file that Location() names now, if there is one; a hive kept in files gives those it
  // opened (with their journals), which stay right when the path names another file later.
  virtual std::vector<TFileIdentity> Files() const;
  // True for a hive opened for reading only: every change raises ERegistryException.
  virtual bool ReadOnly() const { return false; }

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
  // Applies the changes in order as one transaction: either all of them take effect or, when
  // one fails, none does and the failure goes on to the caller. Hives that cannot promise this
  // refuse the whole batch (the default) rather than apply part of it.
  virtual void Apply(const std::vector<TRegChange>& Changes);
  // Calls Use with the value and returns true, or returns false when the key or the value does
  // not exist. Use must not call this handle. Hives that keep values at hand pass them without
  // copying; the default reads a copy through ReadValue.
  virtual bool VisitValue(std::u16string_view Path, std::u16string_view Name, TValueUse Use);
  // Makes every change made through this handle survive a power loss before it returns (as the
  // registry's FlushKey does); closing the handle does the same. Changes are atomic and seen by
  // every other handle as soon as they return, flushed or not.
  virtual void Flush() {}
  // Runs Body so that every read it makes through this handle sees the hive as it was at its
  // first read, whatever other handles change meanwhile; changes through this handle inside
  // Body are refused. Hives without snapshots just run Body.
  virtual void ReadSnapshot(const std::function<void()>& Body) { Body(); }
};

// Name rules shared by every hive. They raise ERegistryException naming the offending name
// (shortened, see Shown). Names hold at most the given number of UTF-16 units; NUL and unpaired
// surrogates are refused in names (values keep any data exactly).
namespace RegistryNames {
constexpr size_t MaxKeyNameLength = 255;
constexpr size_t MaxValueNameLength = 16383;
// Keys nest at most this many levels below HKEY_CURRENT_USER, as in the Windows registry, so
// that no key path is too long to handle and every walk of a tree stays bounded.
constexpr size_t MaxKeyDepth = 512;
// Splits a key path at '\' into validated components (empty components are refused, and so is
// a path of more than MaxKeyDepth components).
std::vector<UnicodeString> SplitKeyPath(std::u16string_view Path);
void CheckValueName(std::u16string_view Name);
// The comparison form of a name: Unicode simple case folding, code point by code point. Like
// the Windows registry, it keeps the length, so 'Ä' and 'ä' are one name but 'Maße' and 'MASSE'
// stay two.
UnicodeString Fold(std::u16string_view Name);
// A name as messages show it, in single quotes: at most its first 40 UTF-16 units (then "..."),
// with control characters, unpaired surrogates and the noncharacters U+FFFE and U+FFFF written
// as \uXXXX.
UnicodeString Shown(std::u16string_view Name);
} // namespace RegistryNames

// A hive kept in memory, shared by every handle opened from the same store. Used by tests and
// when no hive file is wanted.
std::unique_ptr<TRegistryHive> NewMemoryHive();

// How TRegIniFile opens the current user's hive. Each call gives an independent handle on the
// same hive. Unless a factory or a file is in force, that is the SQLite hive file named by
// CurrentUserHiveFile(), looked up again at every call.
using THiveFactory = std::function<std::unique_ptr<TRegistryHive>()>;

// Makes Factory open the current user's hive while it lives; what it covered is in force again
// afterwards.
class TCurrentUserHiveScope {
public:
  explicit TCurrentUserHiveScope(THiveFactory Factory);
  ~TCurrentUserHiveScope();
  TCurrentUserHiveScope(const TCurrentUserHiveScope&) = delete;
  TCurrentUserHiveScope& operator=(const TCurrentUserHiveScope&) = delete;

private:
  std::unique_ptr<THookSlot<THiveFactory>::TScope> FScope; // made and ended under a lock
};
// Makes the current user's hive the SQLite hive file Path (the IDE's --registry option) while it
// lives. An empty path is refused with ERegistryException, so that it never falls back to the
// user's own hive.
class TCurrentUserHiveFileScope {
public:
  explicit TCurrentUserHiveFileScope(const UnicodeString& Path);
  ~TCurrentUserHiveFileScope();
  TCurrentUserHiveFileScope(const TCurrentUserHiveFileScope&) = delete;
  TCurrentUserHiveFileScope& operator=(const TCurrentUserHiveFileScope&) = delete;

private:
  std::unique_ptr<THookSlot<UnicodeString>::TScope> FScope; // made and ended under a lock
};

// The file of the current user's hive: the one of the innermost file scope, else $HOSTIDE_REGISTRY,
// else $XDG_CONFIG_HOME/hostide/HKCU.db, else ~/.config/hostide/HKCU.db.
UnicodeString CurrentUserHiveFile();
std::unique_ptr<TRegistryHive> OpenCurrentUserHive();
