#include "rtl/SqliteHive.h"

#include "rtl/Exception.h"
#include "rtl/HiveFaults.h"
#include "rtl/HiveFaults_p.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>

namespace {

using HiveFaults::detail::TCountedOperation;

// --- the hive ---------------------------------------------------------------------------------

constexpr int HiveApplicationId = 0x484B4355; // "HKCU"
constexpr int HiveFormat = 1;
constexpr sqlite3_int64 RootKeyId = 1;
constexpr std::u16string_view OpenDoing = u"open";
constexpr std::u16string_view CreateDoing = u"create";

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

struct TDbClose {
  void operator()(sqlite3* Db) const { sqlite3_close_v2(Db); }
};
struct TStmtFinalize {
  void operator()(sqlite3_stmt* S) const { sqlite3_finalize(S); }
};
using TDb = std::unique_ptr<sqlite3, TDbClose>;
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtFinalize>;

UnicodeString Quoted(std::u16string_view S) {
  return u"'" + UnicodeString(S) + u"'";
}

// The file's size, or -1 when it cannot be examined.
long long FileSize(const std::string& File) {
  struct stat St;
  return ::stat(File.c_str(), &St) == 0 ? static_cast<long long>(St.st_size) : -1;
}

// A file without any write permission counts as read-only also for root, whom the permissions
// do not stop: that is how a user marks settings as not to be changed.
bool FileWritable(const std::string& File) {
  struct stat St;
  if (::stat(File.c_str(), &St) != 0)
    return false;
  return (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(File.c_str(), W_OK) == 0;
}

// Most reads (every menu opening) ask again for what they asked before; a handle keeps what it
// read until the hive changes. Bounded, so that enumerating a large hive cannot grow it forever.
constexpr size_t MaxCachedValues = 65536;

// The WAL index header (48 bytes, kept twice at the start of the shared memory) and the size
// of the shared memory's pages.
using TWalHeader = std::array<unsigned char, 48>;
constexpr int WalIndexPageSize = 32768;

class TSqliteHive final : public TRegistryHive {
public:
  TSqliteHive(const UnicodeString& Path, std::chrono::milliseconds BusyTimeout);

  ~TSqliteHive() override;

  UnicodeString Location() const override { return FPath; }
  bool ReadOnly() const override { return FReadOnly; }

  void CreateKey(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TCountedOperation Op(hoWrite, FDb.get());
    {
      // Opening an existing key (every TRegIniFile does) needs no write lock.
      TTransaction T(*this, false, u"read key " + Shown(Path));
      if (FindKey(Parts, false, T.Doing()) != 0)
        return;
    }
    TTransaction T(*this, true, u"create key " + Shown(Path));
    FindKey(Parts, true, T.Doing());
    T.Commit();
  }
  bool KeyExists(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TCountedOperation Op(hoRead, FDb.get());
    TTransaction T(*this, false, u"read key " + Shown(Path));
    bool Found = FindKey(Parts, false, T.Doing()) != 0;
    T.Commit();
    return Found;
  }
  std::optional<TRegValue> ReadValue(std::u16string_view Path, std::u16string_view Name) override {
    TCountedOperation Op(hoRead, FDb.get());
    // An operation chosen to fail must reach the file; a snapshot reads inside its transaction.
    const bool Cached = !Op.Failing() && FSnapshots == 0;
    UnicodeString CacheKey;
    if (Cached) {
      // Names with NUL are refused below before anything is cached, so the NUL separates the
      // key path from the value name unambiguously.
      CacheKey.reserve(Path.size() + 1 + Name.size());
      CacheKey.append(Path).append(1, u'\0').append(Name);
      if (CacheCurrent(Path, Name)) {
        auto It = FCache.find(CacheKey);
        if (It != FCache.end())
          return It->second;
      }
    }
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    std::optional<TRegValue> V;
    {
      TTransaction T(*this, false, u"read value " + Shown(Name) + u" of key " + Shown(Path));
      if (sqlite3_int64 Key = FindKey(Parts, false, T.Doing())) {
        sqlite3_stmt* S = Stmt(SReadValue, "SELECT name, type, data FROM reg_values "
                                           "WHERE key = ?1 AND folded = ?2");
        sqlite3_bind_int64(S, 1, Key);
        BindText(S, 2, RegistryNames::Fold(Name));
        if (Step(S, T.Doing())) {
          V.emplace();
          V->Name = ColumnText(S, 0);
          V->Type = static_cast<uint32_t>(sqlite3_column_int64(S, 1));
          const auto* Data = static_cast<const uint8_t*>(sqlite3_column_blob(S, 2));
          V->Data.assign(Data, Data + sqlite3_column_bytes(S, 2));
          sqlite3_reset(S);
        }
      }
      T.Commit();
    }
    if (Cached && FCacheVersion >= 0) {
      if (FCache.size() >= MaxCachedValues)
        FCache.clear();
      FCache.emplace(std::move(CacheKey), V);
    }
    return V;
  }
  void WriteValue(std::u16string_view Path, const TRegValue& Value) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Value.Name);
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"write value " + Shown(Value.Name) + u" of key " + Shown(Path));
    WriteValueIn(Parts, Value, T.Doing());
    T.Commit();
  }
  void DeleteValue(std::u16string_view Path, std::u16string_view Name) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"delete value " + Shown(Name) + u" of key " + Shown(Path));
    DeleteValueIn(Parts, Name, T.Doing());
    T.Commit();
  }
  std::vector<UnicodeString> ValueNames(std::u16string_view Path) override {
    return Names(Path, SValueNames, "SELECT name FROM reg_values WHERE key = ?1 ORDER BY id",
                 u"list the values of key ");
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view Path) override {
    return Names(Path, SSubKeyNames, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY id",
                 u"list the subkeys of key ");
  }
  void DeleteKey(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    if (Parts.empty())
      throw ERegistryException(u"Cannot delete the root key HKEY_CURRENT_USER");
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"delete key " + Shown(Path));
    DeleteKeyIn(Parts, T.Doing());
    T.Commit();
  }
  void Apply(const std::vector<TRegChange>& Changes) override {
    // Every name is checked before anything is written.
    std::vector<std::vector<UnicodeString>> Paths;
    Paths.reserve(Changes.size());
    for (const TRegChange& C : Changes) {
      Paths.push_back(RegistryNames::SplitKeyPath(C.Path));
      if (C.Kind == TRegChange::WriteValue || C.Kind == TRegChange::DeleteValue)
        RegistryNames::CheckValueName(C.Value.Name);
      if (C.Kind == TRegChange::DeleteKey && Paths.back().empty())
        throw ERegistryException(u"Cannot delete the root key HKEY_CURRENT_USER");
    }
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"apply " + IntToStr(Changes.size()) + u" changes");
    for (size_t I = 0; I < Changes.size(); ++I) {
      const TRegChange& C = Changes[I];
      switch (C.Kind) {
      case TRegChange::CreateKey:
        FindKey(Paths[I], true, T.Doing());
        break;
      case TRegChange::WriteValue:
        WriteValueIn(Paths[I], C.Value, T.Doing());
        break;
      case TRegChange::DeleteValue:
        DeleteValueIn(Paths[I], C.Value.Name, T.Doing());
        break;
      case TRegChange::DeleteKey:
        DeleteKeyIn(Paths[I], T.Doing());
        break;
      }
    }
    T.Commit();
  }
  void ReadSnapshot(const std::function<void()>& Body) override {
    if (FSnapshots > 0) {
      Body();
      return;
    }
    TTransaction T(*this, false, u"read a snapshot");
    {
      struct TDepth {
        int& D;
        explicit TDepth(int& Depth) : D(Depth) { ++D; }
        ~TDepth() { --D; }
      } Depth(FSnapshots);
      Body();
    }
    T.Commit();
  }

private:
  // A read (deferred) or write (immediate) transaction; rolled back unless committed. Inside a
  // snapshot a read joins the snapshot's transaction and a write is refused.
  class TTransaction {
  public:
    TTransaction(TSqliteHive& Hive, bool Write, UnicodeString Doing)
        : FHive(Hive), FDoing(std::move(Doing)), FWrite(Write) {
      if (FWrite)
        FHive.CheckWritable(FDoing);
      if (FHive.FSnapshots > 0) {
        if (FWrite)
          FHive.Fail(FDoing, u"the hive is being read as a snapshot by the same handle");
        FJoined = true;
        return;
      }
      FHive.Exec(Write ? "BEGIN IMMEDIATE" : "BEGIN", FDoing);
    }
    ~TTransaction() {
      if (FJoined)
        return;
      if (!sqlite3_get_autocommit(FHive.FDb.get()))
        sqlite3_exec(FHive.FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      // Whatever a write did or failed to do, values read before it may be out of date.
      if (FWrite)
        FHive.DropCache();
    }
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit() {
      if (!FJoined)
        FHive.Exec("COMMIT", FDoing);
    }
    const UnicodeString& Doing() const { return FDoing; }

  private:
    TSqliteHive& FHive;
    UnicodeString FDoing;
    bool FWrite;
    bool FJoined = false;
  };

  static UnicodeString Shown(std::u16string_view Name) { return RegistryNames::Shown(Name); }

  void DropCache() {
    FCache.clear();
    FCacheVersion = -1;
  }
  // Whether the cached values still hold: true when nothing was committed to the hive by any
  // other connection since they were read (this handle's own writes drop the cache).
  //
  // The quick test compares the WAL index header in the shared memory beside the hive (the
  // layout every SQLite version shares: frame count, checksums and salts), which each commit
  // rewrites before it returns, with the header seen before the cached values were read. When
  // it differs, or cannot be seen, SQLite's data version decides, which needs a read
  // transaction.
  bool CacheCurrent(std::u16string_view Path, std::u16string_view Name) {
    TWalHeader Header;
    const bool HaveHeader = ReadWalHeader(Header);
    if (HaveHeader && FCacheVersion >= 0 && FCacheHeaderValid && Header == FCacheHeader)
      return true;
    const UnicodeString Doing = u"read value " + Shown(Name) + u" of key " + Shown(Path);
    sqlite3_stmt* S = Stmt(SDataVersion, "PRAGMA data_version");
    if (!Step(S, Doing))
      Fail(Doing, u"the hive's data version cannot be read");
    sqlite3_int64 Version = sqlite3_column_int64(S, 0);
    sqlite3_reset(S);
    // Taken before the version was read, the header stands for a state no newer than it.
    FCacheHeader = Header;
    FCacheHeaderValid = HaveHeader;
    if (Version == FCacheVersion)
      return true;
    FCache.clear();
    FCacheVersion = Version;
    return false;
  }
  // The first copy of the WAL index header; false when it cannot be mapped or a commit is
  // rewriting it right now (its two copies differ).
  bool ReadWalHeader(TWalHeader& Out) {
    sqlite3_file* F = nullptr;
    if (sqlite3_file_control(FDb.get(), "main", SQLITE_FCNTL_FILE_POINTER, &F) != SQLITE_OK || !F ||
        !F->pMethods || F->pMethods->iVersion < 2)
      return false;
    void volatile* Mapped = nullptr;
    if (F->pMethods->xShmMap(F, 0, WalIndexPageSize, 0, &Mapped) != SQLITE_OK || !Mapped)
      return false;
    const auto* P = static_cast<const volatile unsigned char*>(Mapped);
    TWalHeader Second;
    std::atomic_thread_fence(std::memory_order_acquire);
    for (size_t I = 0; I < Out.size(); ++I)
      Out[I] = P[I];
    std::atomic_thread_fence(std::memory_order_acquire);
    for (size_t I = 0; I < Second.size(); ++I)
      Second[I] = P[Out.size() + I];
    return Out == Second;
  }

  // Changes are refused on a hive opened read-only, and on one whose file has become read-only
  // or been emptied since it was opened: writing on would let SQLite fold the journal into a
  // file the user meant to keep as it is.
  void CheckWritable(const UnicodeString& Doing) {
    if (FReadOnly)
      Fail(Doing, u"the hive is read-only (the file cannot be written)");
    if (FOpened && FileSize(FFile) == 0)
      Fail(Doing, EmptiedProblem());
    if (!FileWritable(FFile))
      Fail(Doing, u"the hive is read-only (the file has become read-only since it was opened)");
  }
  UnicodeString EmptiedProblem() const {
    return u"the file has been emptied (it is 0 bytes long) by something other than this "
           u"program; its journal " +
           Quoted(FPath + u"-wal") + u", which may hold the last changes, is left as it is";
  }

  void Open(std::chrono::milliseconds BusyTimeout);
  bool Identify();
  void Initialise();

  [[noreturn]] void Fail(const UnicodeString& Doing, const UnicodeString& Problem) const {
    // Opening and creating name the hive itself; other operations say what they were doing in it.
    throw ERegistryException(u"Cannot " + Doing +
                             (Doing == OpenDoing || Doing == CreateDoing
                                  ? u" the registry hive "
                                  : u" in the registry hive ") +
                             Quoted(FPath) + u": " + Problem);
  }
  [[noreturn]] void Fail(const UnicodeString& Doing, int Rc) const {
    Fail(Doing, Rc, FDb ? sqlite3_errmsg(FDb.get()) : sqlite3_errstr(Rc));
  }
  [[noreturn]] void Fail(const UnicodeString& Doing, int Rc, const std::string& Message) const {
    UnicodeString Detail = UTF8Decode(Message);
    UnicodeString Problem;
    const int Errno = FDb ? sqlite3_system_errno(FDb.get()) : 0;
    if (FOpened && FileSize(FFile) == 0)
      Fail(Doing, EmptiedProblem());
    if ((Rc & 0xFF) != SQLITE_BUSY && (Errno == ENOSPC || Errno == EDQUOT))
      Rc = SQLITE_FULL;
    switch (Rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Problem =
          u"it is locked by another process (waited " + IntToStr(FBusyTimeout.count()) + u" ms)";
      break;
    case SQLITE_CORRUPT:
      Problem = u"the file is damaged (" + Detail + u")";
      break;
    case SQLITE_NOTADB:
      Problem = u"the file is not a registry hive or is damaged (" + Detail + u")";
      break;
    case SQLITE_READONLY:
      Problem = u"the file or its folder is read-only (" + Detail + u")";
      break;
    case SQLITE_FULL:
      Problem = u"the disk is full";
      break;
    case SQLITE_IOERR:
      Problem = u"input/output error (" + Detail + u")";
      break;
    case SQLITE_CANTOPEN:
      Problem = u"the file cannot be opened (" + Detail + u")";
      break;
    case SQLITE_PERM:
      Problem = u"permission denied (" + Detail + u")";
      break;
    default:
      Problem = Detail;
      break;
    }
    Fail(Doing, Problem);
  }

  void Exec(const char* Sql, const UnicodeString& Doing) {
    int Rc = sqlite3_exec(FDb.get(), Sql, nullptr, nullptr, nullptr);
    if (Rc != SQLITE_OK)
      Fail(Doing, Rc);
  }
  // The statement kept in Slot, prepared on first use and reset for the next one.
  sqlite3_stmt* Stmt(TStmt& Slot, const char* Sql) {
    if (!Slot) {
      sqlite3_stmt* S = nullptr;
      int Rc = sqlite3_prepare_v3(FDb.get(), Sql, -1, SQLITE_PREPARE_PERSISTENT, &S, nullptr);
      if (Rc != SQLITE_OK)
        Fail(u"prepare a query", Rc);
      Slot.reset(S);
    }
    sqlite3_reset(Slot.get());
    sqlite3_clear_bindings(Slot.get());
    return Slot.get();
  }
  // Steps once: true with a row, false when done.
  bool Step(sqlite3_stmt* S, const UnicodeString& Doing) {
    int Rc = sqlite3_step(S);
    if (Rc == SQLITE_ROW)
      return true;
    if (Rc == SQLITE_DONE) {
      sqlite3_reset(S);
      return false;
    }
    std::string Message = sqlite3_errmsg(FDb.get());
    sqlite3_reset(S);
    Fail(Doing, Rc, Message);
  }
  // Names go in and come out as UTF-8 converted here rather than by SQLite, whose conversion to
  // UTF-16 turns the noncharacters U+FFFE and U+FFFF into U+FFFD. Names are well-formed UTF-16
  // (checked before they get here), for which both conversions are exact; the stored bytes are
  // the ones SQLite's own conversion wrote into existing hives.
  static void BindText(sqlite3_stmt* S, int I, std::u16string_view Text) {
    std::string Utf8 = UTF8Encode(Text);
    sqlite3_bind_text(S, I, Utf8.data(), static_cast<int>(Utf8.size()), SQLITE_TRANSIENT);
  }
  static UnicodeString ColumnText(sqlite3_stmt* S, int I) {
    const auto* P = reinterpret_cast<const char*>(sqlite3_column_text(S, I));
    int Bytes = sqlite3_column_bytes(S, I);
    return P ? UTF8Decode(std::string_view(P, static_cast<size_t>(Bytes))) : UnicodeString();
  }

  // The id of the key, or 0 when it does not exist and Create is false. Runs inside a
  // transaction.
  sqlite3_int64 FindKey(const std::vector<UnicodeString>& Parts, bool Create,
                        const UnicodeString& Doing) {
    sqlite3_int64 Key = RootKeyId;
    for (const UnicodeString& Part : Parts) {
      UnicodeString Folded = RegistryNames::Fold(Part);
      sqlite3_stmt* S = Stmt(SFindKey, "SELECT id FROM reg_keys WHERE parent = ?1 AND folded = ?2");
      sqlite3_bind_int64(S, 1, Key);
      BindText(S, 2, Folded);
      if (Step(S, Doing)) {
        Key = sqlite3_column_int64(S, 0);
        sqlite3_reset(S);
        continue;
      }
      if (!Create)
        return 0;
      S = Stmt(SInsertKey, "INSERT INTO reg_keys(parent, name, folded) VALUES(?1, ?2, ?3)");
      sqlite3_bind_int64(S, 1, Key);
      BindText(S, 2, Part);
      BindText(S, 3, Folded);
      Step(S, Doing);
      Key = sqlite3_last_insert_rowid(FDb.get());
    }
    return Key;
  }

  void WriteValueIn(const std::vector<UnicodeString>& Parts, const TRegValue& Value,
                    const UnicodeString& Doing) {
    sqlite3_int64 Key = FindKey(Parts, true, Doing);
    // Case-preserving: an existing value keeps the spelling it was created with.
    sqlite3_stmt* S =
        Stmt(SWriteValue, "INSERT INTO reg_values(key, name, folded, type, data) "
                          "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(key, folded) DO UPDATE "
                          "SET type = excluded.type, data = excluded.data");
    sqlite3_bind_int64(S, 1, Key);
    BindText(S, 2, Value.Name);
    BindText(S, 3, RegistryNames::Fold(Value.Name));
    sqlite3_bind_int64(S, 4, Value.Type);
    static const uint8_t Empty = 0;
    sqlite3_bind_blob(S, 5, Value.Data.empty() ? &Empty : Value.Data.data(),
                      static_cast<int>(Value.Data.size()), SQLITE_TRANSIENT);
    Step(S, Doing);
  }
  void DeleteValueIn(const std::vector<UnicodeString>& Parts, std::u16string_view Name,
                     const UnicodeString& Doing) {
    sqlite3_int64 Key = FindKey(Parts, false, Doing);
    if (!Key)
      return;
    sqlite3_stmt* S = Stmt(SDeleteValue, "DELETE FROM reg_values WHERE key = ?1 AND folded = ?2");
    sqlite3_bind_int64(S, 1, Key);
    BindText(S, 2, RegistryNames::Fold(Name));
    Step(S, Doing);
  }
  void DeleteKeyIn(const std::vector<UnicodeString>& Parts, const UnicodeString& Doing) {
    sqlite3_int64 Key = FindKey(Parts, false, Doing);
    if (!Key)
      return;
    // Subkeys and values go with it (ON DELETE CASCADE).
    sqlite3_stmt* S = Stmt(SDeleteKey, "DELETE FROM reg_keys WHERE id = ?1");
    sqlite3_bind_int64(S, 1, Key);
    Step(S, Doing);
  }
  std::vector<UnicodeString> Names(std::u16string_view Path, TStmt& Slot, const char* Sql,
                                   const UnicodeString& What) {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TCountedOperation Op(hoRead, FDb.get());
    TTransaction T(*this, false, What + Shown(Path));
    std::vector<UnicodeString> R;
    sqlite3_int64 Key = FindKey(Parts, false, T.Doing());
    if (!Key)
      return R;
    sqlite3_stmt* S = Stmt(Slot, Sql);
    sqlite3_bind_int64(S, 1, Key);
    while (Step(S, T.Doing()))
      R.push_back(ColumnText(S, 0));
    T.Commit();
    return R;
  }

  UnicodeString FPath;
  std::string FFile; // FPath in UTF-8
  std::chrono::milliseconds FBusyTimeout;
  bool FRefused = false;  // set when the file turned out not to be a usable hive
  bool FReadOnly = false; // opened for reading only
  bool FOpened = false;   // set once the hive is open and known to be a hive
  int FSnapshots = 0;     // nesting depth of ReadSnapshot
  std::unordered_map<UnicodeString, std::optional<TRegValue>> FCache; // by key path NUL name
  sqlite3_int64 FCacheVersion = -1; // the data version FCache was read at; -1: none
  TWalHeader FCacheHeader{};        // the WAL index header seen before FCache was read
  bool FCacheHeaderValid = false;
  // Statements are declared after the connection so that they are finalised before it closes.
  TDb FDb;
  TStmt SFindKey, SInsertKey, SReadValue, SWriteValue, SDeleteValue, SDeleteKey, SValueNames,
      SSubKeyNames, SDataVersion;
};

TSqliteHive::TSqliteHive(const UnicodeString& Path, std::chrono::milliseconds BusyTimeout)
    : FPath(Path), FFile(UTF8Encode(Path)), FBusyTimeout(BusyTimeout) {
  HiveFaults::detail::RegisterVfs();
  TCountedOperation Op(hoOpen, nullptr);
  // Looking into a file that turns out not to be a usable hive creates its journal files; those
  // are removed again, so that the folder is left as it was found.
  const std::string& File = FFile;
  std::error_code Ec;
  bool Existed = std::filesystem::exists(File, Ec);
  bool HadWal = std::filesystem::exists(File + "-wal", Ec);
  bool HadShm = std::filesystem::exists(File + "-shm", Ec);
  try {
    Open(BusyTimeout);
  } catch (...) {
    FDb.reset();
    if (!Existed && FileSize(File) == 0) {
      // A hive this call began to create (on a full disk, say) and nobody else has written to
      // yet: nothing of it is kept, so the next attempt starts afresh.
      for (const char* Suffix : {"-wal", "-shm", "-journal", ""})
        std::filesystem::remove(File + Suffix, Ec);
      throw;
    }
    // Only for a file found not to be a usable hive: when opening failed for a passing reason,
    // another process may be using the hive and these files.
    if (!FRefused)
      throw;
    if (!HadWal && std::filesystem::file_size(File + "-wal", Ec) == 0 && !Ec)
      std::filesystem::remove(File + "-wal", Ec);
    if (!HadShm)
      std::filesystem::remove(File + "-shm", Ec);
    throw;
  }
  FOpened = true;
}

TSqliteHive::~TSqliteHive() {
  // The last connection to close folds the journal into the file. Not into a file that is
  // read-only (also one that became so while open) or has been emptied: the journal then stays
  // as it is beside the file.
  if (FDb && (FReadOnly || FileSize(FFile) <= 0 || !FileWritable(FFile)))
    sqlite3_db_config(FDb.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void TSqliteHive::Open(std::chrono::milliseconds BusyTimeout) {
  namespace fs = std::filesystem;
  const UnicodeString Doing(OpenDoing);
  if (FPath.empty())
    throw ERegistryException(u"Cannot open a registry hive: no file name given");
  const std::string& File = FFile;
  std::error_code Ec;
  fs::file_status St = fs::status(File, Ec);
  bool Exists = fs::exists(St);
  if (Exists && !fs::is_regular_file(St))
    Fail(Doing, u"it is not a file");
  fs::path Dir = fs::path(File).parent_path();
  if (Dir.empty())
    Dir = ".";
  if (!Exists) {
    fs::create_directories(Dir, Ec);
    if (Ec)
      Fail(Doing, u"its folder " + Quoted(UTF8Decode(Dir.string())) + u" cannot be created (" +
                      UTF8Decode(Ec.message()) + u")");
  }
  long long Size = Exists ? FileSize(File) : 0;
  if (Exists) {
    if (::access(File.c_str(), R_OK) != 0)
      Fail(Doing, u"the file cannot be read (permission denied)");
    FReadOnly = !FileWritable(File);
    // SQLite takes an empty file beside a journal for a new database and deletes the journal;
    // such a file was emptied by something else, and the journal may hold the last changes.
    if (Size == 0 && FileSize(File + "-wal") > 0)
      Fail(Doing, u"the file is empty (0 bytes) while its journal " + Quoted(FPath + u"-wal") +
                      u" holds changes: something emptied it while it was in use; both are "
                      u"left as they are");
  }
  // The journal lives beside the file, so its folder must be writable too; a read-only hive can
  // do without only when its journal files are there already.
  if (::access(Dir.c_str(), W_OK | X_OK) != 0 &&
      !(Exists && FReadOnly && fs::exists(File + "-wal", Ec) && fs::exists(File + "-shm", Ec)))
    Fail(Doing, u"its folder " + Quoted(UTF8Decode(Dir.string())) +
                    u" cannot be written (the hive's journal is kept there)");

  sqlite3* Raw = nullptr;
  int Flags =
      FReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (Exists ? 0 : SQLITE_OPEN_CREATE);
  int Rc = sqlite3_open_v2(File.c_str(), &Raw, Flags, HiveFaults::detail::VfsName);
  FDb.reset(Raw);
  if (Rc != SQLITE_OK)
    Fail(Doing, Rc);
  sqlite3_extended_result_codes(FDb.get(), 1);
  sqlite3_busy_timeout(FDb.get(), static_cast<int>(BusyTimeout.count()));
  // Until the file is known to be a hive, closing must not write to it (no checkpoint).
  sqlite3_db_config(FDb.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if (!FReadOnly && sqlite3_db_readonly(FDb.get(), "main") == 1)
    Fail(Doing, u"the file is read-only");
  // Only an SQLite database is handed to SQLite, which could otherwise try to recover it. The
  // header is read through the connection's own file: opening the file a second time in this
  // process and closing it would drop every lock the process holds on it (POSIX locks belong
  // to the process and go with the first descriptor closed), and then another process would
  // take the hive for unused and remove its journal.
  if (Size > 0) {
    sqlite3_file* F = nullptr;
    if (sqlite3_file_control(FDb.get(), "main", SQLITE_FCNTL_FILE_POINTER, &F) != SQLITE_OK || !F ||
        !F->pMethods)
      Fail(Doing, u"the file cannot be read");
    char Magic[16] = {};
    Rc = F->pMethods->xRead(F, Magic, sizeof Magic, 0);
    if (Rc != SQLITE_OK && Rc != SQLITE_IOERR_SHORT_READ)
      Fail(Doing, Rc, sqlite3_errstr(Rc));
    if (Rc == SQLITE_IOERR_SHORT_READ || std::memcmp(Magic, "SQLite format 3", 16) != 0) {
      FRefused = true;
      Fail(Doing, u"the file is not a registry hive (it is not an SQLite database)");
    }
  }

  bool New = Identify();
  if (New && FReadOnly)
    Fail(Doing, u"the file is empty and read-only, so it cannot become a hive");
  if (!FReadOnly) {
    Exec("PRAGMA journal_mode = WAL", Doing);
    sqlite3_stmt* S = nullptr;
    sqlite3_prepare_v2(FDb.get(), "PRAGMA journal_mode", -1, &S, nullptr);
    TStmt Guard(S);
    if (!S || sqlite3_step(S) != SQLITE_ROW ||
        std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(S, 0)), "wal") != 0)
      Fail(Doing, u"the file cannot be switched to a write-ahead journal");
  }
  Exec("PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON", Doing);
  if (New)
    Initialise();
  if (!FReadOnly)
    sqlite3_db_config(FDb.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
}

// True for an empty database that is to become a hive; ERegistryException for a file that is
// not a hive or is damaged.
bool TSqliteHive::Identify() {
  const UnicodeString Doing(OpenDoing);
  TTransaction T(*this, false, Doing);
  // Failures that say what the file is, rather than that it could not be read just now.
  auto Refuse = [&](const UnicodeString& Problem) {
    FRefused = true;
    Fail(Doing, Problem);
  };
  auto Check = [&](int Rc) {
    if ((Rc & 0xFF) == SQLITE_NOTADB || (Rc & 0xFF) == SQLITE_CORRUPT)
      FRefused = true;
    Fail(Doing, Rc);
  };
  auto Int = [&](const char* Sql) {
    sqlite3_stmt* S = nullptr;
    int Rc = sqlite3_prepare_v2(FDb.get(), Sql, -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Check(Rc);
    Rc = sqlite3_step(S);
    if (Rc != SQLITE_ROW)
      Check(Rc);
    return sqlite3_column_int64(S, 0);
  };
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
    sqlite3_stmt* S = nullptr;
    int Rc = sqlite3_prepare_v2(FDb.get(), "PRAGMA quick_check(1)", -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Check(Rc);
    Rc = sqlite3_step(S);
    if (Rc != SQLITE_ROW)
      Check(Rc);
    const char* Result = reinterpret_cast<const char*>(sqlite3_column_text(S, 0));
    if (!Result || std::strcmp(Result, "ok") != 0)
      Refuse(u"the file is damaged (" + UTF8Decode(Result ? Result : "") + u")");
  }
  for (const char* Probe : {"SELECT id, parent, name, folded FROM reg_keys WHERE id = 1",
                            "SELECT id, key, name, folded, type, data FROM reg_values LIMIT 1"}) {
    sqlite3_stmt* S = nullptr;
    int Rc = sqlite3_prepare_v2(FDb.get(), Probe, -1, &S, nullptr);
    TStmt Guard(S);
    if (Rc != SQLITE_OK)
      Refuse(u"the file is damaged (its tables are incomplete: " +
             UTF8Decode(sqlite3_errmsg(FDb.get())) + u")");
  }
  T.Commit();
  return false;
}

void TSqliteHive::Initialise() {
  const UnicodeString Doing(CreateDoing);
  TTransaction T(*this, true, Doing);
  Exec(SchemaSql, Doing);
  T.Commit();
}

} // namespace

std::unique_ptr<TRegistryHive> OpenSqliteHive(const UnicodeString& Path,
                                              std::chrono::milliseconds BusyTimeout) {
  return std::make_unique<TSqliteHive>(Path, BusyTimeout);
}
