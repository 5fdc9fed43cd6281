// The per-user registry hive kept in an SQLite database file. Every change is its own committed
// transaction in a write-ahead journal: once a call returns, the change is seen by every other
// handle and process on the file, and a crash of the process (even when killed) loses nothing.
// The changes of a handle reach the disk, so as to survive a power loss or a crash of the
// system, when the handle is flushed (TRegistryHive::Flush) or closed, as the registry's own
// lazy flush has it; and whenever the journal is folded into the file.
#pragma once

#include "rtl/RegistryHive.h"

#include <chrono>
#include <memory>

// How long an operation waits for another process's change to finish before it reports the
// hive as locked.
constexpr std::chrono::milliseconds DefaultHiveBusyTimeout{5000};

// Opens the hive file Path, creating the file (and its folder) when missing. A file that is not
// a hive, is damaged, or lies in a folder that cannot be written gives an ERegistryException
// naming the file and the problem; such a file is left exactly as it was. A read-only file is
// opened for reading (every change raises ERegistryException); in a folder that cannot be
// written and without a journal beside it, it is read as a file that nothing changes.
std::unique_ptr<TRegistryHive>
OpenSqliteHive(const UnicodeString& Path,
               std::chrono::milliseconds BusyTimeout = DefaultHiveBusyTimeout);
