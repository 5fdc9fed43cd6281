// TRegIniFile: an ini-file view of one registry key below HKEY_CURRENT_USER. A section is a
// subkey, an ident a string value in it.
#pragma once

#include "rtl/Object.h"
#include "rtl/RegistryHive.h"

#include <memory>
#include <vector>

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

  // Defers the changes made through this object (WriteString, DeleteKey) until the matching
  // EndUpdate, which makes them in order as one transaction: one commit however many there are.
  // Calls nest; the outermost EndUpdate makes the changes, and other handles see them from then
  // on. Any other call on this object meanwhile first makes what is pending. Should the one
  // transaction fail, the changes are made again one by one as they would have been without the
  // update: those before a failing one stay made, its failure goes on to the caller, and those
  // after it are dropped. Destroying the object with changes pending makes them the same way,
  // failures then having nobody to go to.
  void BeginUpdate();
  void EndUpdate();
  // Whether changes are being deferred (BeginUpdate without its EndUpdate yet).
  bool Updating() const { return FUpdateDepth > 0; }

  // Makes every change made through this object survive a power loss before it returns;
  // destroying the object does the same (see TRegistryHive::Flush).
  void FlushKey();

  // The hive handle itself; changes made through it directly are never deferred.
  TRegistryHive& Hive() { return *FHive; }

private:
  UnicodeString SectionPath(const UnicodeString& Section) const;
  const UnicodeString& SectionPathBuffer(const UnicodeString& Section);
  // Makes the deferred changes (see EndUpdate) and forgets them, also when they fail.
  void ApplyPending();

  UnicodeString FFileName;
  std::unique_ptr<TRegistryHive> FHive;
  UnicodeString FPathBuffer;
  UnicodeString FPathSection; // the section FPathBuffer was made for
  bool FPathBufferValid = false;
  int FUpdateDepth = 0;
  std::vector<TRegChange> FPending; // deferred changes, in the order they were made
};
