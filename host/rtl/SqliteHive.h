// The per-user registry hive kept in an SQLite database file. Every change is its own committed
// transaction in a WAL journal with full syncs: once a call returns, a crash of the process loses
// nothing, and other handles and processes on the same file see the change at their next read.
#pragma once

#include "rtl/RegistryHive.h"

#include <chrono>
#include <memory>

// How long an operation waits for another process's change to finish before it reports the
// hive as locked.
constexpr std::chrono::milliseconds DefaultHiveBusyTimeout{5000};

// Opens the hive file Path, creating the file (and its folder) when missing. A file that is not
// a hive, is damaged, is read-only or lies in a folder that cannot be written gives an
// ERegistryException naming the file and the problem; such a file is left exactly as it was.
std::unique_ptr<TRegistryHive>
OpenSqliteHive(const UnicodeString& Path,
               std::chrono::milliseconds BusyTimeout = DefaultHiveBusyTimeout);
