// TRegIniFile: an ini-file view of one registry key below HKEY_CURRENT_USER. A section is a
// subkey, an ident a string value in it.
#pragma once

#include "rtl/Object.h"
#include "rtl/RegistryHive.h"

#include <memory>

class TStrings;

class TRegIniFile : public TObject {
public:
  // Opens the key FileName (a path below HKEY_CURRENT_USER), creating it when missing (unless
  // the hive is read-only: then its values read as missing).
  explicit TRegIniFile(const UnicodeString& FileName);
  // The same, on a given hive handle (tests, tools).
  TRegIniFile(const UnicodeString& FileName, std::unique_ptr<TRegistryHive> Hive);
  ~TRegIniFile() override;
  HOST_CLASS_INFO;

  const UnicodeString& FileName() const { return FFileName; }

  // The string value Ident of subkey Section, or Default when either does not exist. A value of
  // another type raises ERegistryException.
  UnicodeString ReadString(const UnicodeString& Section, const UnicodeString& Ident,
                           const UnicodeString& Default);
  // Creates the subkey when needed and stores the value.
  void WriteString(const UnicodeString& Section, const UnicodeString& Ident,
                   const UnicodeString& Value);
  // Removes the value Ident of subkey Section; nothing happens when there is none.
  void DeleteKey(const UnicodeString& Section, const UnicodeString& Ident);
  // Replaces Strings with the value names of subkey Section.
  void ReadSection(const UnicodeString& Section, TStrings* Strings);
  // Removes subkey Section with everything in it.
  void EraseSection(const UnicodeString& Section);

  // Makes every change made through this object survive a power loss before it returns;
  // destroying the object does the same (see TRegistryHive::Flush).
  void FlushKey();

  TRegistryHive& Hive() { return *FHive; }

private:
  UnicodeString SectionPath(const UnicodeString& Section) const;
  const UnicodeString& SectionPathBuffer(const UnicodeString& Section);

  UnicodeString FFileName;
  std::unique_ptr<TRegistryHive> FHive;
  UnicodeString FPathBuffer;
};
