// A per-user hive the add-in cannot use (damaged, not a hive, unreadable, ...), met when a
// session starts: what the user is told, and the store the add-in is given instead, so that the
// host and the add-in's menus go on while the file is left exactly as it is. Plain C++ over the
// host libraries (no Qt), for any host plugin.
#pragma once

#include "rtl/RegistryHive.h"
#include "rtl/UnicodeString.h"

#include <memory>
#include <optional>
#include <string>

struct THiveTrouble {
  std::string File;      // the hive file
  UnicodeString Failure; // why it cannot be opened, naming the file
};

// Opens the current user's hive once, as the add-in will: the trouble when that fails with
// ERegistryException, nothing when the hive can be used (a read-only one included).
std::optional<THiveTrouble> CheckCurrentUserHive();

// What happened and what to do, for a user of Host ("Qt Creator"): the file is kept as it is,
// the add-in runs without the stored categories until Host starts again, and the commands (with
// Hostide, the stand-in IDE's program) that export what can still be read and move the file out
// of the way, or that make it readable again.
// UTF-8 in and out.
std::string HiveAdvice(const THiveTrouble& Trouble, const std::string& Host,
                       const std::string& Hostide);

// The add-in's store while its hive cannot be used: it reads as empty (every tab is under
// "Other"), takes deletions as done (nothing is there), and refuses every write with
// ERegistryException naming the file, so that nothing is taken for saved.
std::unique_ptr<TRegistryHive> NewStandInHive(const THiveTrouble& Trouble);
