// Opening a hive file: checking what lies at the path before SQLite sees it, telling a hive
// from another file, creating a new hive, and leaving a refused file and its folder exactly as
// they were found.
#include "rtl/Exception.h"
#include "rtl/SqliteHive_p.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace SqliteHiveDetail {

namespace {

namespace fs = std::filesystem;

const char* const SchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
  id INTEGER PRIMARY KEY,
  parent INTEGER REFERENCES reg_keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  UNIQUE(parent, folded));
INSERT OR IGNORE INTO reg_keys(id, parent, name, folded) VALUES(1, NULL, '', '');
CREATE TABLE IF NOT EXISTS reg_values(
  id INTEGER PRIMARY KEY,
  key INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, folded));
PRAGMA application_id = 1212891989;
PRAGMA user_version = 1;
)sql";
static_assert(HiveApplicationId == 1212891989);

// How many pages the journal may hold before a commit folds it into the file. A fold syncs the
// journal and the file, so it is not done at every commit; but SQLite finds a page in the
// journal by walking every frame of it that page has (a value written again and again leaves
// one per commit), so a long journal makes each read after another connection's commit slower:
// at 4,096 pages such a read took twice as many instructions as at 1,000.
constexpr int JournalPagesBeforeFold = 1000;

TFileIdentity IdentityOf(const struct stat& St) {
  return {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
}

// The identity of the file at File now; Inode 0 when there is none.
TFileIdentity IdentityAt(const std::string& File) {
  struct stat St;
  return ::stat(File.c_str(), &St) == 0 ? IdentityOf(St) : TFileIdentity{};
}

// The hive files this process created. An empty hive file with a journal beside it is taken
// for a new hive only when it is one of these: otherwise something emptied it.
std::mutex CreatedLock;
std::vector<TFileIdentity> Created;

void RememberCreated(const TFileIdentity& Id) {
  std::lock_guard<std::mutex> Lock(CreatedLock);
  if (std::find(Created.begin(), Created.end(), Id) == Created.end())
    Created.push_back(Id);
}

// Once the file holds a hive, being empty no longer makes it new.
void ForgetCreated(const TFileIdentity& Id) {
  std::lock_guard<std::mutex> Lock(CreatedLock);
  Created.erase(std::remove(Created.begin(), Created.end(), Id), Created.end());
}

bool CreatedHere(const TFileIdentity& Id) {
  std::lock_guard<std::mutex> Lock(CreatedLock);
  return std::find(Created.begin(), Created.end(), Id) != Created.end();
}

// Creates the missing folders of Dir, each readable by its owner only, whatever the umask:
// they hold one user's settings.
std::error_code MakeFolders(const fs::path& Dir) {
  std::error_code Ec;
  std::vector<fs::path> Missing;
  for (fs::path P = Dir; !P.empty() && !fs::exists(P, Ec); P = P.parent_path()) {
    Missing.push_back(P);
    if (P == P.parent_path())
      break;
  }
  for (auto It = Missing.rbegin(); It != Missing.rend(); ++It) {
    if (::mkdir(It->c_str(), 0700) == 0)
      ::chmod(It->c_str(), 0700);
    else if (errno != EEXIST)
      return std::error_code(errno, std::system_category());
  }
  return {};
}

void Exec(THiveFile& Hive, const char* Sql, const TDoing& Doing) {
  int Rc = sqlite3_exec(Hive.Db.get(), Sql, nullptr, nullptr, nullptr);
  if (Rc != SQLITE_OK)
    Fail(Hive, Doing, Rc);
}

// A transaction of the opening, rolled back unless committed.
class TOpenTransaction {
public:
  TOpenTransaction(THiveFile& Hive, const char* Begin, const TDoing& Doing) : FHive(Hive) {
    Exec(FHive, Begin, Doing);
  }
  ~TOpenTransaction() {
    if (!sqlite3_get_autocommit(FHive.Db.get()))
      sqlite3_exec(FHive.Db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  TOpenTransaction(const TOpenTransaction&) = delete;
  TOpenTransaction& operator=(const TOpenTransaction&) = delete;
  void Commit(const TDoing& Doing) { Exec(FHive, "COMMIT", Doing); }

private:
  THiveFile& FHive;
};

// The path as an SQLite URI ("file:" and the path with %, ?, # and non-ASCII bytes escaped; an
// absolute path gets an empty authority, so that one starting with "//" names no host).
std::string FileUri(const std::string& File) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string Uri = !File.empty() && File[0] == '/' ? "file://" : "file:";
  for (unsigned char C : File) {
    if (C == '%' || C == '?' || C == '#' || C < 0x21 || C >= 0x7F) {
      Uri += '%';
      Uri += Hex[C >> 4];
      Uri += Hex[C & 15];
    } else {
      Uri += static_cast<char>(C);
    }
  }
  return Uri;
}

// What a hive's content is as the file system shows it: the file and its journal, each by
// identity, size and last change. Every change of either moves one of these. The file's last
// change is its status change time, which also moves when its times are set back; the
// journal's is its modification time, because SQLite running as root gives the journal the
// file's owner again each time a connection opens it, which moves its status change time
// though nothing in it changed.
struct TContentState {
  struct TPart {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Changed{};
    bool operator==(const TPart& O) const {
      return Exists == O.Exists && Device == O.Device && Inode == O.Inode && Size == O.Size &&
             Changed.tv_sec == O.Changed.tv_sec && Changed.tv_nsec == O.Changed.tv_nsec;
    }
  };
  TPart File, Journal;
  bool operator==(const TContentState&) const = default;
};

TContentState::TPart StatePart(const std::string& Path, bool Journal) {
  TContentState::TPart P;
  struct stat St;
  if (::stat(Path.c_str(), &St) != 0)
    return P;
  P.Exists = true;
  P.Device = St.st_dev;
  P.Inode = St.st_ino;
  P.Size = St.st_size;
  P.Changed = Journal ? St.st_mtim : St.st_ctim;
  return P;
}

TContentState ContentState(const std::string& File) {
  return {StatePart(File, false), StatePart(File + "-wal", true)};
}

// Whether any later change of the files must show in their times: the system stamps a change
// with its coarse clock, so a state whose last change is stamped with the coarse time of now
// could change again under the same stamp (and the same size).
bool Settled(const TContentState& S) {
  timespec Now{};
  if (::clock_gettime(CLOCK_REALTIME_COARSE, &Now) != 0)
    return false;
  auto Before = [&](const TContentState::TPart& P) {
    return !P.Exists || P.Changed.tv_sec < Now.tv_sec ||
           (P.Changed.tv_sec == Now.tv_sec && P.Changed.tv_nsec < Now.tv_nsec);
  };
  return Before(S.File) && Before(S.Journal);
}

// The integrity check reads the whole file (milliseconds for a large hive), and every handle
// opened would pay it again though nothing changed: the process remembers the last few states
// found sound, and a handle opened on one of them skips the checks.
class TSoundStates {
public:
  bool Known(const TContentState& S) {
    std::lock_guard<std::mutex> Lock(FMutex);
    return std::find(FStates.begin(), FStates.end(), S) != FStates.end();
  }
  void Add(const TContentState& S) {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (std::find(FStates.begin(), FStates.end(), S) != FStates.end())
      return;
    if (FStates.size() >= MaxStates)
      FStates.erase(FStates.begin());
    FStates.push_back(S);
  }

private:
  static constexpr size_t MaxStates = 8;
  std::mutex FMutex;
  std::vector<TContentState> FStates;
};

TSoundStates& SoundStates() {
  static TSoundStates States;
  return States;
}

// True for an empty database that is to become a hive; ERegistryException for a file that is
// not a hive or is damaged.
bool Identify(THiveFile& Hive) {
  const TDoing& Doing = OpenDoing;
  // Taken before the transaction reads anything, so that it stands for no newer content.
  const TContentState Before = ContentState(Hive.File);
  TOpenTransaction T(Hive, "BEGIN", Doing);
  sqlite3* Db = Hive.Db.get();
  // Failures that say what the file is, rather than that it could not be read just now.
  auto Refuse = [&](const UnicodeString& Problem) {
    Hive.Refused = true;
    Fail(Hive, Doing, Problem);
  };
  auto Check = [&](int Rc) {
    if ((Rc & 0xFF) == SQLITE_NOTADB || (Rc & 0xFF) == SQLITE_CORRUPT || Rc == SQLITE_IOERR_DATA)
      Hive.Refused = true;
    Fail(Hive, Doing, Rc);
  };
  // The statement Sql stepped to its first row, which it must have.
  auto FirstRow = [&](const char* Sql) {
    sqlite3_stmt* S = nullptr;
    int Rc = sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Check(Rc);
    Rc = sqlite3_step(S);
    if (Rc != SQLITE_ROW)
      Check(Rc);
    return Guard;
  };
  // A state this process found sound passed every check below: a handle opened on it again
  // (a dialog opens one each time) reads nothing here.
  if (SoundStates().Known(Before)) {
    T.Commit(Doing);
    return false;
  }
  auto Int = [&](const char* Sql) { return sqlite3_column_int64(FirstRow(Sql).get(), 0); };
  auto Objects = Int("SELECT count(*) FROM sqlite_schema");
  auto AppId = Int("PRAGMA application_id");
  auto Format = Int("PRAGMA user_version");
  if (Objects == 0 && AppId == 0)
    return true;
  if (AppId != HiveApplicationId)
    Refuse(u"the file is not a registry hive (it is an SQLite database of another kind)");
  if (Format > HiveFormat)
    Refuse(u"the file was made by a newer version of this program (hive format " +
           IntToStr(Format) + u")");
  {
    TakeDamagedPage();
    TStmt Checked = FirstRow("PRAGMA quick_check(1)");
    sqlite3_stmt* S = Checked.get();
    const char* Result = reinterpret_cast<const char*>(sqlite3_column_text(S, 0));
    // The check reports a page it could not read as a problem of its own.
    if (TDamagedPage Damage = TakeDamagedPage(); !Damage.File.empty())
      Refuse(DamagedProblem(Hive, Damage));
    if (!Result || std::strcmp(Result, "ok") != 0)
      Refuse(u"the file is damaged (" + UTF8Decode(Result ? Result : "") + u")");
  }
  for (const char* Probe : {"SELECT id, parent, name, folded FROM reg_keys WHERE id = 1",
                            "SELECT id, key, name, folded, type, data FROM reg_values LIMIT 1"}) {
    sqlite3_stmt* S = nullptr;
    int Rc = sqlite3_prepare_v2(Db, Probe, -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Refuse(u"the file is damaged (its tables are incomplete: " + UTF8Decode(sqlite3_errmsg(Db)) +
             u")");
  }
  // Remembered only when nothing changed while the checks ran: then they saw this very state.
  if (ContentState(Hive.File) == Before && Settled(Before))
    SoundStates().Add(Before);
  T.Commit(Doing);
  return false;
}

void Initialise(THiveFile& Hive) {
  TOpenTransaction T(Hive, "BEGIN IMMEDIATE", CreateDoing);
  Exec(Hive, SchemaSql, CreateDoing);
  T.Commit(CreateDoing);
}

void Open(THiveFile& Hive) {
  const TDoing& Doing = OpenDoing;
  if (Hive.Path.empty())
    throw ERegistryException(u"Cannot open a registry hive: no file name given");
  const std::string& File = Hive.File;
  std::error_code Ec;
  fs::file_status St = fs::status(File, Ec);
  bool Exists = fs::exists(St);
  if (Exists && !fs::is_regular_file(St))
    Fail(Hive, Doing, u"it is not a file");
  fs::path Dir = fs::path(File).parent_path();
  if (Dir.empty())
    Dir = ".";
  if (!Exists) {
    Ec = MakeFolders(Dir);
    if (Ec)
      Fail(Hive, Doing,
           u"its folder " + Quoted(UTF8Decode(Dir.string())) + u" cannot be created (" +
               UTF8Decode(Ec.message()) + u")");
    // Created here rather than by SQLite, so that it is the owner's only whatever the umask;
    // SQLite gives the journal and the shared memory the file's permissions.
    int Fd = ::open(File.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (Fd >= 0) {
      struct stat Made;
      ::fchmod(Fd, 0600);
      if (::fstat(Fd, &Made) == 0)
        RememberCreated(IdentityOf(Made));
      ::close(Fd);
    } else if (errno != EEXIST) {
      Fail(Hive, Doing, u"the file cannot be created (" + UTF8Decode(std::strerror(errno)) + u")");
    }
  }
  long long Size = Exists ? FileSize(File) : 0;
  if (Exists) {
    if (::access(File.c_str(), R_OK) != 0)
      Fail(Hive, Doing, u"the file cannot be read (permission denied)");
    Hive.ReadOnly = !FileWritable(File);
    // SQLite takes an empty file beside a journal for a new database and deletes the journal;
    // such a file was emptied by something else, and the journal may hold the last changes.
    if (Size == 0 && FileSize(File + "-wal") > 0)
      Fail(Hive, Doing,
           u"the file is empty (0 bytes) while its journal " + Quoted(Hive.Path + u"-wal") +
               u" holds changes: something emptied it while it was in use; both are left as "
               u"they are");
    // An empty file with an empty journal is what a new hive looks like before its first
    // commit, and also what an emptied one leaves after its last process closed it: only the
    // process that created the file takes it for new.
    if (Size == 0 && (fs::exists(File + "-wal", Ec) || fs::exists(File + "-shm", Ec)) &&
        !CreatedHere(IdentityAt(File)))
      Fail(Hive, Doing,
           u"the file is empty (0 bytes) and its journal " + Quoted(Hive.Path + u"-wal") +
               u" lies beside it: something other than this program emptied it, so it is not "
               u"taken for a new hive; both are left as they are");
  }
  // The journal lives beside the file, so its folder must be writable too. A read-only hive in
  // a folder that cannot be written, with no journal beside it, is opened as a file nothing
  // changes: SQLite then needs no journal, and nothing else can be changing it either.
  const bool DirWritable = ::access(Dir.c_str(), W_OK | X_OK) == 0;
  const bool HasWal = fs::exists(File + "-wal", Ec);
  const bool HasShm = fs::exists(File + "-shm", Ec);
  if (!DirWritable && !(Exists && Hive.ReadOnly))
    Fail(Hive, Doing,
         u"its folder " + Quoted(UTF8Decode(Dir.string())) +
             u" cannot be written (the hive's journal is kept there)");
  if (!DirWritable && HasWal != HasShm)
    Fail(Hive, Doing,
         u"its folder " + Quoted(UTF8Decode(Dir.string())) +
             u" cannot be written and only part of the hive's journal is there");
  Hive.Immutable = !DirWritable && !HasWal;

  // A handle is used by one thread at a time (it is not safe for more, its cache included), so
  // its connection takes no lock of its own at every call into SQLite.
  sqlite3* Raw = nullptr;
  int Rc;
  if (Hive.Immutable)
    Rc = sqlite3_open_v2((FileUri(File) + "?immutable=1").c_str(), &Raw,
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, HiveVfs());
  else
    Rc = sqlite3_open_v2(File.c_str(), &Raw,
                         (Hive.ReadOnly
                              ? SQLITE_OPEN_READONLY
                              : SQLITE_OPEN_READWRITE | (Exists ? 0 : SQLITE_OPEN_CREATE)) |
                             SQLITE_OPEN_NOMUTEX,
                         HiveVfs());
  Hive.Db.reset(Raw);
  if (Rc != SQLITE_OK)
    Fail(Hive, Doing, Rc);
  sqlite3* Db = Hive.Db.get();
  sqlite3_extended_result_codes(Db, 1);
  sqlite3_busy_timeout(Db, static_cast<int>(Hive.BusyTimeout.count()));
  // Until the file is known to be a hive, closing must not write to it (no checkpoint).
  sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if (!Hive.ReadOnly && sqlite3_db_readonly(Db, "main") == 1)
    Fail(Hive, Doing, u"the file is read-only");
  // Only an SQLite database is handed to SQLite, which could otherwise try to recover it. The
  // header is read through the connection's own file: opening the file a second time in this
  // process and closing it would drop every lock the process holds on it (POSIX locks belong
  // to the process and go with the first descriptor closed), and then another process would
  // take the hive for unused and remove its journal.
  if (Size > 0) {
    sqlite3_file* F = nullptr;
    if (sqlite3_file_control(Db, "main", SQLITE_FCNTL_FILE_POINTER, &F) != SQLITE_OK || !F ||
        !F->pMethods)
      Fail(Hive, Doing, u"the file cannot be read");
    char Magic[16] = {};
    Rc = F->pMethods->xRead(F, Magic, sizeof Magic, 0);
    if (Rc != SQLITE_OK && Rc != SQLITE_IOERR_SHORT_READ)
      Fail(Hive, Doing, Rc, sqlite3_errstr(Rc));
    if (Rc == SQLITE_IOERR_SHORT_READ || std::memcmp(Magic, "SQLite format 3", 16) != 0) {
      Hive.Refused = true;
      Fail(Hive, Doing, u"the file is not a registry hive (it is not an SQLite database)");
    }
  }

  bool New = Identify(Hive);
  if (New && Hive.ReadOnly)
    Fail(Hive, Doing, u"the file is empty and read-only, so it cannot become a hive");
  // A new hive gets room for a checksum at the end of every page, which the hive's file layer
  // then keeps there. SQLite takes it only before the first page is written and before the
  // switch to the write-ahead journal.
  if (New) {
    int Reserve = HiveChecksumBytes;
    sqlite3_file_control(Db, "main", SQLITE_FCNTL_RESERVE_BYTES, &Reserve);
  }
  if (!Hive.ReadOnly) {
    // The switch answers the mode the file is in after it.
    sqlite3_stmt* S = nullptr;
    Rc = sqlite3_prepare_v2(Db, "PRAGMA journal_mode = WAL", -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Fail(Hive, Doing, Rc);
    Rc = sqlite3_step(S);
    if (Rc != SQLITE_ROW && Rc != SQLITE_DONE)
      Fail(Hive, Doing, Rc);
    const auto* Mode = Rc == SQLITE_ROW ? sqlite3_column_text(S, 0) : nullptr;
    if (!Mode || std::strcmp(reinterpret_cast<const char*>(Mode), "wal") != 0)
      Fail(Hive, Doing, u"the file cannot be switched to a write-ahead journal");
  }
  // In a write-ahead journal, NORMAL commits without a sync: a commit is atomic and survives
  // the process being killed; what reaches the disk is made durable by the handle's flush (a
  // sync of the journal) and by every fold of the journal into the file (which syncs both).
  Exec(Hive, "PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON", Doing);
  // The journal is folded by FoldJournalIfDue after a look at the files, not by SQLite inside
  // a commit: a handle whose journal was deleted or replaced meanwhile would fold its old one
  // into the file that other processes go on using with their new one.
  sqlite3_wal_hook(
      Db,
      [](void* File, sqlite3*, const char*, int Frames) {
        static_cast<THiveFile*>(File)->JournalFrames = Frames;
        ++static_cast<THiveFile*>(File)->WalCommits;
        return SQLITE_OK;
      },
      &Hive);
  if (New)
    Initialise(Hive);
  if (!Hive.ReadOnly)
    sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  // The files SQLite now has open, to notice when the paths come to name others.
  Hive.FileId = IdentityAt(File);
  if (New)
    ForgetCreated(Hive.FileId);
  bool ShmMoved = false;
  if (!Hive.Immutable) {
    Hive.WalId = IdentityAt(File + "-wal");
    Hive.ShmId = IdentityAt(File + "-shm");
    // The shared memory SQLite really uses: the process maps one for all its connections, and
    // keeps it when its path comes to name another file.
    TFileIdentity Mapped;
    if (sqlite3_file_control(Db, "main", HiveFcntlShmIdentity, &Mapped) == SQLITE_OK &&
        Mapped.Inode != 0) {
      ShmMoved = !(Mapped == Hive.ShmId);
      Hive.ShmId = Mapped;
    }
  }
  // The paths were looked at after SQLite opened the files: should one of them have been
  // deleted or replaced in between, the identities taken are not those of the files in use,
  // and the handle would not notice that it works on an old file.
  auto Moved = [](sqlite3_file* F) {
    int Has = 0;
    return F && F->pMethods &&
           F->pMethods->xFileControl(F, SQLITE_FCNTL_HAS_MOVED, &Has) == SQLITE_OK && Has != 0;
  };
  sqlite3_file* Main = nullptr;
  sqlite3_file* Journal = nullptr;
  sqlite3_file_control(Db, "main", SQLITE_FCNTL_FILE_POINTER, &Main);
  if (!Hive.Immutable)
    sqlite3_file_control(Db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &Journal);
  // A journal in use must be at its path, and its shared memory beside it.
  const bool JournalOpen = Journal && Journal->pMethods;
  if (ShmMoved)
    Fail(Hive, Doing,
         u"its shared memory " + Quoted(Hive.Path + u"-shm") +
             u" was deleted or replaced by something else while the hive was open in this "
             u"process or being opened; close every handle of the hive and open it again");
  if (Moved(Main) || Moved(Journal) ||
      (JournalOpen && (Hive.WalId.Inode == 0 || Hive.ShmId.Inode == 0)))
    Fail(Hive, Doing,
         u"the file or its journal " + Quoted(Hive.Path + u"-wal") +
             u" was deleted or replaced by something else while it was being opened");
}

// The handle's files are no longer the ones at the paths: the handle refuses every further
// operation and its connection closes without folding its journal into any file, so that a
// journal never lands in another file and another process's later writes are never undone.
void Lose(THiveFile& Hive, const UnicodeString& Problem, bool HiveFileGone) {
  Hive.Lost = Problem + u"; this handle no longer reads or writes the hive (open it again; what "
                        u"it had not yet folded into the file is lost)";
  if (Hive.Db)
    sqlite3_db_config(Hive.Db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  // The journal beside a hive file that was deleted or replaced belongs to the old file: left
  // there, the next process to open the path would apply it to the new one.
  if (HiveFileGone && Hive.WalId.Inode != 0 && IdentityAt(Hive.File + "-wal") == Hive.WalId &&
      IdentityAt(Hive.File + "-shm") == Hive.ShmId) {
    ::unlink((Hive.File + "-wal").c_str());
    ::unlink((Hive.File + "-shm").c_str());
  }
}

// The status of the folder of File (Known false when it cannot be examined).
THiveFile::TFolderStamp FolderStamp(const std::string& File) {
  THiveFile::TFolderStamp F;
  const size_t Slash = File.rfind('/');
  const std::string Dir = Slash == std::string::npos ? std::string(".")
                          : Slash == 0               ? std::string("/")
                                                     : File.substr(0, Slash);
  struct stat St;
  if (::stat(Dir.c_str(), &St) != 0)
    return F;
  F.Known = true;
  F.Device = St.st_dev;
  F.Inode = St.st_ino;
  F.Modified = St.st_mtim;
  F.Changed = St.st_ctim;
  return F;
}

bool SameTime(const timespec& A, const timespec& B) {
  return A.tv_sec == B.tv_sec && A.tv_nsec == B.tv_nsec;
}

bool SameFolder(const THiveFile::TFolderStamp& A, const THiveFile::TFolderStamp& B) {
  return A.Known && B.Known && A.Device == B.Device && A.Inode == B.Inode &&
         SameTime(A.Modified, B.Modified) && SameTime(A.Changed, B.Changed);
}

// Whether any later change of the folder's names must move its times: the system stamps a
// change with its coarse clock (in whole seconds or coarser on some file systems), so a folder
// changed within the last tick (or two seconds, for stamps without fractions) could change
// again under the same stamp.
bool FolderSettled(const THiveFile::TFolderStamp& F) {
  timespec Now{};
  if (!F.Known || ::clock_gettime(CLOCK_REALTIME_COARSE, &Now) != 0)
    return false;
  auto Before = [&](const timespec& T) {
    if (T.tv_nsec == 0)
      return T.tv_sec + 2 < Now.tv_sec;
    return T.tv_sec < Now.tv_sec || (T.tv_sec == Now.tv_sec && T.tv_nsec < Now.tv_nsec);
  };
  return Before(F.Modified) && Before(F.Changed);
}

// The size of the hive file the connection has open, or -1 when it cannot be told.
long long OpenFileSize(THiveFile& Hive) {
  sqlite3_file* F = nullptr;
  sqlite3_int64 Size = -1;
  if (!Hive.Db ||
      sqlite3_file_control(Hive.Db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &F) != SQLITE_OK ||
      !F || !F->pMethods || F->pMethods->xFileSize(F, &Size) != SQLITE_OK)
    return -1;
  return Size;
}

} // namespace

long long FileSize(const std::string& File) {
  struct stat St;
  return ::stat(File.c_str(), &St) == 0 ? static_cast<long long>(St.st_size) : -1;
}

// A file without any write permission counts as read-only also for root, whom the permissions
// do not stop: that is how a user marks settings as not to be changed. For its owner (and for
// root) the mode decides without asking the system again.
bool FileWritable(const std::string& File) {
  struct stat St;
  if (::stat(File.c_str(), &St) != 0)
    return false;
  return ModeWritable(File, St);
}

bool ModeWritable(const std::string& File, const struct stat& St) {
  if ((St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return false;
  const uid_t Me = ::geteuid();
  if (Me == 0)
    return true;
  if (St.st_uid == Me)
    return (St.st_mode & S_IWUSR) != 0;
  return ::access(File.c_str(), W_OK) == 0;
}

void OpenHiveFile(THiveFile& Hive) {
  // Looking into a file that turns out not to be a usable hive creates its journal files; those
  // are removed again, so that the folder is left as it was found.
  const std::string& File = Hive.File;
  std::error_code Ec;
  bool Existed = fs::exists(File, Ec);
  bool HadWal = fs::exists(File + "-wal", Ec);
  bool HadShm = fs::exists(File + "-shm", Ec);
  try {
    Open(Hive);
  } catch (...) {
    // A connection that failed to open never folds its journal into the file on closing: it
    // may have found its journal and shared memory not matching (one of them deleted or
    // replaced meanwhile), and would write pages of one file at the places the other gives.
    if (Hive.Db)
      sqlite3_db_config(Hive.Db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    Hive.Db.reset();
    if (!Existed && FileSize(File) == 0) {
      // A hive this call began to create (on a full disk, say) and nobody else has written to
      // yet: nothing of it is kept, so the next attempt starts afresh.
      for (const char* Suffix : {"-wal", "-shm", "-journal", ""})
        fs::remove(File + Suffix, Ec);
      throw;
    }
    // Only for a file found not to be a usable hive: when opening failed for a passing reason,
    // another process may be using the hive and these files.
    if (!Hive.Refused)
      throw;
    if (!HadWal && fs::file_size(File + "-wal", Ec) == 0 && !Ec)
      fs::remove(File + "-wal", Ec);
    if (!HadShm)
      fs::remove(File + "-shm", Ec);
    throw;
  }
  Hive.Opened = true;
}

void CheckFiles(THiveFile& Hive, const TDoing& Doing, bool Write) {
  if (!Hive.Lost.empty())
    Fail(Hive, Doing, Hive.Lost);
  // While the folder has not changed since the files were last found to be the ones opened,
  // they still are: the journal and shared memory are not looked at, and a read needs only the
  // size of the file in use (an emptied file keeps its name), a look at the open file rather
  // than at a path. Taken before the files are looked at: a change of the folder after it
  // shows at the next check.
  const THiveFile::TFolderStamp Folder = FolderStamp(Hive.File);
  const bool FolderKept = Hive.Opened && Hive.Folder.Known && SameFolder(Folder, Hive.Folder);
  if (FolderKept && !Write) {
    const long long Size = OpenFileSize(Hive);
    if (Size > 0)
      return;
    if (Size == 0)
      Fail(Hive, Doing, EmptiedProblem(Hive));
  }
  // One look at each file. A path that cannot be examined for another reason (a folder made
  // unreadable) fails this operation only.
  std::string Path;
  auto Look = [&](const char* Suffix, const TFileIdentity& Opened, struct stat& St) {
    Path.assign(Hive.File).append(Suffix);
    const bool IsHiveFile = !*Suffix;
    auto Name = [&] { return Quoted(Hive.Path + UTF8Decode(Suffix)); };
    if (::stat(Path.c_str(), &St) == 0) {
      if (Opened.Inode == 0 || IdentityOf(St) == Opened)
        return true;
      Lose(Hive, Name() + u" has been replaced by another file since the hive was opened",
           IsHiveFile);
    } else if (errno == ENOENT || errno == ENOTDIR) {
      if (Opened.Inode == 0)
        return false;
      Lose(Hive, Name() + u" has been deleted since the hive was opened", IsHiveFile);
    } else {
      Fail(Hive, Doing,
           Name() + u" cannot be examined (" + UTF8Decode(std::strerror(errno)) + u")");
    }
    Fail(Hive, Doing, Hive.Lost);
  };
  struct stat St, Journal;
  const bool Exists = Look("", Hive.FileId, St);
  if (Hive.Opened && Exists && St.st_size == 0)
    Fail(Hive, Doing, EmptiedProblem(Hive));
  if (!FolderKept) {
    if (Hive.WalId.Inode != 0)
      Look("-wal", Hive.WalId, Journal);
    if (Hive.ShmId.Inode != 0)
      Look("-shm", Hive.ShmId, Journal);
    Hive.Folder =
        Hive.Opened && Exists && FolderSettled(Folder) ? Folder : THiveFile::TFolderStamp{};
  }
  if (!Write)
    return;
  if (Hive.ReadOnly)
    Fail(Hive, Doing, u"the hive is read-only (the file cannot be written)");
  if (!Exists || !ModeWritable(Hive.File, St))
    Fail(Hive, Doing, u"the hive is read-only (the file has become read-only since it was opened)");
}

void FoldJournalIfDue(THiveFile& Hive) {
  if (Hive.JournalFrames < JournalPagesBeforeFold || !Hive.Db)
    return;
  Hive.JournalFrames = 0;
  try {
    CheckFiles(Hive, TDoing(u"fold the journal"), false);
  } catch (const ERegistryException&) {
    return; // the next operation reports it
  }
  // As SQLite's own automatic fold: a failure leaves the journal as it is, for the next one.
  sqlite3_wal_checkpoint_v2(Hive.Db.get(), "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void PrepareClose(THiveFile& Hive) {
  if (!Hive.Db)
    return;
  if (Hive.Opened && Hive.Lost.empty()) {
    try {
      CheckFiles(Hive, TDoing(u"close"), false);
    } catch (const ERegistryException&) {
    }
  }
  if (!Hive.Lost.empty() || Hive.ReadOnly || FileSize(Hive.File) <= 0 || !FileWritable(Hive.File))
    sqlite3_db_config(Hive.Db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

} // namespace SqliteHiveDetail
