// What the parts of the SQLite hive share: the open file with its connection, what an
// operation is doing (for the message of its failure), the mapping of SQLite's errors to
// messages and the opening of a hive file.
#pragma once

#include "rtl/RegistryHive.h"
#include "rtl/UnicodeString.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace SqliteHiveDetail {

struct TDbClose {
  void operator()(sqlite3* Db) const { sqlite3_close_v2(Db); }
};
struct TStmtFinalize {
  void operator()(sqlite3_stmt* S) const { sqlite3_finalize(S); }
};
using TDb = std::unique_ptr<sqlite3, TDbClose>;
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtFinalize>;

constexpr int HiveApplicationId = 0x484B4355; // "HKCU"
constexpr int HiveFormat = 1;
constexpr sqlite3_int64 RootKeyId = 1;

// A hive file and its connection.
struct THiveFile {
  UnicodeString Path;
  std::string File; // Path in UTF-8
  std::chrono::milliseconds BusyTimeout{0};
  bool ReadOnly = false;  // opened for reading only
  bool Immutable = false; // opened as a file nothing changes (read-only, without a journal)
  bool Opened = false;    // set once the file is open and known to be a hive
  bool Refused = false;   // set when the file turned out not to be a usable hive
  // The files as opened (Inode 0: not there): the hive, its journal and its shared memory.
  // SQLite goes on using these while the paths may come to name other files.
  TFileIdentity FileId, WalId, ShmId;
  // Why the handle no longer works on the hive (its files were deleted or replaced); empty
  // while it does.
  UnicodeString Lost;
  int JournalFrames = 0;   // pages in the journal after the last commit
  uint64_t WalCommits = 0; // commits of the connection that wrote to the journal
  // The folder's status when the files were last found to be the ones opened, if it had not
  // changed for a while then (Known false: none). While it stays the same, no name in the folder
  // was added, removed or renamed, so the files at the paths are still those (CheckFiles).
  struct TFolderStamp {
    bool Known = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    timespec Modified{}, Changed{};
  } Folder;
  TDb Db;
};

// What an operation was doing, as its failure message says it ("read value 'X' of key 'Y'").
// Holds views of the operation's arguments; the text is made only when something fails.
class TDoing {
public:
  enum TKind { Plain, Key, Value, Changes };
  constexpr explicit TDoing(std::u16string_view What) : FVerb(What) {}
  // Verb followed by the key path shown.
  static TDoing OfKey(std::u16string_view Verb, std::u16string_view Path) {
    TDoing D(Verb);
    D.FKind = Key;
    D.FPath = Path;
    return D;
  }
  // Verb, the value name shown, " of key " and the key path shown.
  static TDoing OfValue(std::u16string_view Verb, std::u16string_view Name,
                        std::u16string_view Path) {
    TDoing D(Verb);
    D.FKind = Value;
    D.FName = Name;
    D.FPath = Path;
    return D;
  }
  // "apply N changes".
  static TDoing OfChanges(size_t Count) {
    TDoing D(u"apply ");
    D.FKind = Changes;
    D.FCount = Count;
    return D;
  }
  UnicodeString Text() const;
  // Opening and creating name the hive itself; other operations happen in it.
  bool OnHive() const { return FKind == Plain && (FVerb == u"open" || FVerb == u"create"); }

private:
  TKind FKind = Plain;
  std::u16string_view FVerb;
  std::u16string_view FName;
  std::u16string_view FPath;
  size_t FCount = 0;
};

inline constexpr TDoing OpenDoing{u"open"};
inline constexpr TDoing CreateDoing{u"create"};

// --- failures (SqliteHiveErrors.cpp) -----------------------------------------------------------

// ERegistryException "Cannot <doing> in the registry hive '<file>': <problem>".
[[noreturn]] void Fail(const THiveFile& Hive, const TDoing& Doing, const UnicodeString& Problem);
// The same with the problem SQLite reported (Rc and the connection's message, or Message).
[[noreturn]] void Fail(const THiveFile& Hive, const TDoing& Doing, int Rc);
[[noreturn]] void Fail(const THiveFile& Hive, const TDoing& Doing, int Rc,
                       const std::string& Message);
// The problem of a page found damaged (TakeDamagedPage).
struct TDamagedPage;
UnicodeString DamagedProblem(const THiveFile& Hive, const TDamagedPage& Damage);
// The problem of a file emptied by something else while open.
UnicodeString EmptiedProblem(const THiveFile& Hive);
UnicodeString Quoted(std::u16string_view S);

// --- the hive's file layer (SqliteHiveVfs.cpp) -------------------------------------------------

// Bytes reserved at the end of every page of a new hive for the page's checksum.
constexpr int HiveChecksumBytes = 8;
// A file control of the layer: sets the int it is given to 1 when the connection could not
// allocate the hive's shared memory (a full disk), so that it reads the hive but cannot change it.
constexpr int HiveFcntlShmFull = 0x48560001;
// Another: sets the TFileIdentity it is given to the file of the shared memory the connection
// has mapped (Inode 0 when not known), whatever file its path names now.
constexpr int HiveFcntlShmIdentity = 0x48560002;
// Another: the connection's files forget the pages they keep (see SqliteHiveVfs.cpp), so that
// the next reads reach the file.
constexpr int HiveFcntlDropKept = 0x48560003;
// Another: fills the THiveWriteLock it is given with what the connection's hold of the journal's
// write lock is now, and the WAL index header as it stood when the connection last released it.
constexpr int HiveFcntlWriteLock = 0x48560004;
struct THiveWriteLock {
  bool Held = false;        // the connection holds the write lock now
  uint64_t Releases = 0;    // times it released it
  bool HeaderKnown = false; // Header is the header at the last release, taken under the lock
  unsigned char Header[48] = {};
};
// Another: fills the THiveShmView it is given with where the connection's mapping of the first
// region of its shared memory is kept, so that the WAL index header can be read without a call
// through SQLite and the file layers: both live as long as the connection's file.
constexpr int HiveFcntlShmView = 0x48560005;
struct THiveShmView {
  // The first region while the connection has it mapped (set by every successful mapping of it,
  // cleared when the connection unmaps it), else null.
  const std::atomic<const volatile unsigned char*>* Region = nullptr;
  // Set when the shared memory could not be allocated: the mapping then answers read-only.
  const bool* Full = nullptr;
};
// The name of the layer to open hives with (registered on the first call over the default
// layer of that moment), or null when it could not be registered.
const char* HiveVfs();
// True when the connection could not allocate the hive's shared memory.
bool ShmFull(sqlite3* Db);
// The last page of a hive found damaged (its checksum does not match) on this thread: the file as
// SQLite named it, whether it is the journal, and the page's number (the frame's in a journal);
// File empty when none. Taking it forgets it.
struct TDamagedPage {
  std::string File;
  bool Journal = false;
  long long Page = 0;
};
TDamagedPage TakeDamagedPage();

// --- the file (SqliteHiveFile.cpp) -------------------------------------------------------------

// The file's size, or -1 when it cannot be examined.
long long FileSize(const std::string& File);
// False for a file without any write permission, also for root (see the definition).
bool FileWritable(const std::string& File);
// The same for the file's status St, already taken.
bool ModeWritable(const std::string& File, const struct stat& St);
// Opens Hive.Path (Path, File and BusyTimeout set), creating the file and its folder when
// missing, identifies it as a hive and sets its connection up. ERegistryException when it is
// not a usable hive; the folder is then left as it was found.
void OpenHiveFile(THiveFile& Hive);
// Before each transaction: ERegistryException when the files at the paths are no longer the
// ones opened (deleted or replaced), when the hive has been emptied, and, for a change, when the
// file has become read-only. A handle whose files were deleted or replaced stays refused, and
// closes without folding its journal into any file.
void CheckFiles(THiveFile& Hive, const TDoing& Doing, bool Write);
// After a commit: folds the journal into the file once it holds many pages, if the files are
// still the ones opened.
void FoldJournalIfDue(THiveFile& Hive);
// Before a connection closes: the last one to close folds the journal into the file, but not
// into a file that is read-only (also one that became so while open), has been emptied, or is
// no longer the one opened.
void PrepareClose(THiveFile& Hive);

} // namespace SqliteHiveDetail
