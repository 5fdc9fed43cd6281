// What a package tells the IDE that loads it: its name, description and version information,
// the packages it requires, the units it contains and the Register procedure of each unit that
// has one. A package exports it through the C function PackageInfoEntryName names.
#pragma once

#include <cstdint>
#include <span>

enum TPackageFlag : uint32_t {
  pfDesignOnly = 1, // may be loaded by the IDE only, never by a running application
  pfRunOnly = 2,    // may not be installed in the IDE
  pfNeverBuild = 4, // never rebuilt implicitly
};

struct TPackageUnitInfo {
  const char16_t* Name;
  void (*Register)(); // nullptr for a unit without one
};

// Version information, as the version resource of a module carries it.
struct TPackageVersionInfo {
  uint16_t LanguageId; // 0x0409: US English
  uint16_t CodePage;   // 1252: Western European
  const char16_t* FileVersion;
  const char16_t* ProductVersion;
  const char16_t* FileDescription;
  const char16_t* ProductName;
};

struct TPackageInfo {
  uint32_t FormatVersion; // PackageInfoFormatVersion
  const char16_t* Name;
  const char16_t* Description;
  uint32_t Flags; // TPackageFlag values
  std::span<const char16_t* const> Requires;
  std::span<const TPackageUnitInfo> Contains;
  TPackageVersionInfo Version;
};

constexpr uint32_t PackageInfoFormatVersion = 1;
inline constexpr const char* PackageInfoEntryName = "GetPackageInfoTable";
using TGetPackageInfoTable = const TPackageInfo* (*)();
