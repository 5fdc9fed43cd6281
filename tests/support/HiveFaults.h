// Failure injection for tests, linked into test programs only: makes operations on the SQLite
// hives of this process fail for real, at the file level, so that SQLite itself meets the I/O
// error and has to roll back. Linking it in makes a thin file layer SQLite's default, through
// which every hive file of the process is opened; it does nothing until a failure is armed here
// and counts the syncs it passes on.
//
// Counted operations are those of the hive interface (see THiveOperation). While an operation
// chosen to fail runs:
//  - an open or a read finds every file read refused (cached pages are dropped first, and the
//    hive reads the file rather than the values it keeps);
//  - a change can read, but every file write, sync and truncate is refused, so it gets as far
//    as its commit and fails there. A change that finds nothing to write (deleting a value that
//    does not exist) touches no file and so cannot fail this way.
// The hive then raises ERegistryException, as it would for a failing disk.
//
// A failure is either a failing disk (hfIoError: calls fail with an input/output error) or a
// full one (hfDiskFull: reads go through; writes, syncs, truncates and growing the shared
// memory file fail as the system fails them on a full disk, with ENOSPC).
#pragma once

#include "rtl/SqliteHiveHooks.h"

#include <functional>
#include <string_view>

// Arms a failure for as long as it lives; only one may be alive at a time (EInvalidOperation
// otherwise). Of the operations of the kinds in Operations, made through any hive handle of this
// process from now on, the first Pass run normally and the next Fail ones (Fail < 0: all the
// rest) are made to fail. Within a failing operation the first IoCallsBeforeFailure file calls
// of the refused kind still go through, which lets a commit write part of its data first.
enum THiveFault { hfIoError, hfDiskFull };

class THiveFaultInjection {
public:
  THiveFaultInjection(unsigned Operations, int Pass, int Fail = 1, int IoCallsBeforeFailure = 0,
                      THiveFault Fault = hfIoError);
  ~THiveFaultInjection();
  THiveFaultInjection(const THiveFaultInjection&) = delete;
  THiveFaultInjection& operator=(const THiveFaultInjection&) = delete;

  // Counted operations seen so far, and how many of them were chosen to fail.
  int OperationsSeen() const;
  int OperationsFailed() const;
  // File calls refused so far.
  int IoCallsRefused() const;
};

// What reached the disk: syncs of hive files and journals passed on to the system since the
// start of the process, and how many of those files whose path starts with Folder were written
// since their last sync (also ones closed since, unless deleted). Shared memory files are not
// counted: they hold nothing that has to survive.
namespace HiveFiles {
int Syncs();
int UnsyncedFiles(std::string_view Folder);
// Runs Run once, right after the next release of a journal's write lock by any connection of the
// process (the end of a commit, before SQLite returns from it), on the releasing thread.
void AfterWriteRelease(std::function<void()> Run);
} // namespace HiveFiles
