// Export and import of registry keys as text in the format of the Windows Registry Editor, so
// that keys move between this hive and a Windows registry.
//
// Written: "Windows Registry Editor Version 5.00", UTF-16LE with a byte-order mark, CRLF line
// ends; `[HKEY_CURRENT_USER\key]` sections, `"name"="text"` with `\\` and `\"` escapes, `@` for
// the default value, `dword:` for four-byte DWORDs, and `hex:` / `hex(N):` for every other value,
// wrapped with `\` continuations. A string that the quoted form cannot carry exactly (NUL, a line
// break, an unpaired surrogate, a missing terminator) is written as `hex(1):`, so nothing changes
// on the way through.
//
// Read: the same, or "REGEDIT4"; UTF-16 (with or without byte-order mark) or UTF-8; CRLF or LF;
// `;` comments; `"name"=-` deletes a value and `[-key]` a key with its subkeys.
#pragma once

#include "rtl/RegistryHive.h"

#include <string>
#include <string_view>
#include <vector>

// The file content for Key (a path below HKEY_CURRENT_USER, empty for the whole hive) with its
// values and every subkey. ERegistryException when the key does not exist or holds a name the
// format cannot carry (a line break).
std::string ExportRegistryText(TRegistryHive& Hive, std::u16string_view Key);
// The same, written to FileName; an existing file is replaced only once the new one is complete
// and on disk. The file is private (0600) whatever the umask. A name that leads to one of the
// hive's own files (TRegistryHive::Files) is refused.
void ExportRegistryFile(TRegistryHive& Hive, std::u16string_view Key,
                        const UnicodeString& FileName);

// The changes that file content makes, in order. Source names the file in messages; anything
// malformed is an ERegistryException that names the line.
std::vector<TRegChange> ParseRegistryText(std::string_view Bytes, std::u16string_view Source);
// The largest file that ImportRegistryFile reads.
constexpr size_t MaxRegistryFileSize = size_t(256) << 20;
// Reads FileName and applies it to Hive as one transaction: with any error, nothing changes.
// Only a regular file of at most MaxRegistryFileSize bytes is read (never a device, a pipe or
// a folder, which are refused without waiting on them). Every error names the file.
void ImportRegistryFile(TRegistryHive& Hive, const UnicodeString& FileName);
