#include "rtl/SqliteHive.h"

#include "rtl/Exception.h"
#include "rtl/HiveFaults.h"
#include "rtl/HiveFaults_p.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

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

class TSqliteHive final : public TRegistryHive {
public:
  TSqliteHive(const UnicodeString& Path, std::chrono::milliseconds BusyTimeout);

  UnicodeString Location() const override { return FPath; }

  void CreateKey(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TCountedOperation Op(hoWrite, FDb.get());
    {
      // Opening an existing key (every TRegIniFile does) needs no write lock.
      TTransaction T(*this, false, u"read key " + Quoted(Path));
      if (FindKey(Parts, false, T.Doing()) != 0)
        return;
    }
    TTransaction T(*this, true, u"create key " + Quoted(Path));
    FindKey(Parts, true, T.Doing());
    T.Commit();
  }
  bool KeyExists(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TCountedOperation Op(hoRead, FDb.get());
    TTransaction T(*this, false, u"read key " + Quoted(Path));
    bool Found = FindKey(Parts, false, T.Doing()) != 0;
    T.Commit();
    return Found;
  }
  std::optional<TRegValue> ReadValue(std::u16string_view Path, std::u16string_view Name) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TCountedOperation Op(hoRead, FDb.get());
    TTransaction T(*this, false, u"read value " + Quoted(Name) + u" of key " + Quoted(Path));
    sqlite3_int64 Key = FindKey(Parts, false, T.Doing());
    if (!Key)
      return std::nullopt;
    sqlite3_stmt* S = Stmt(SReadValue, "SELECT name, type, data FROM reg_values "
                                       "WHERE key = ?1 AND folded = ?2");
    sqlite3_bind_int64(S, 1, Key);
    BindText(S, 2, RegistryNames::Fold(Name));
    if (!Step(S, T.Doing()))
      return std::nullopt;
    TRegValue V;
    V.Name = ColumnText(S, 0);
    V.Type = static_cast<uint32_t>(sqlite3_column_int64(S, 1));
    const auto* Data = static_cast<const uint8_t*>(sqlite3_column_blob(S, 2));
    V.Data.assign(Data, Data + sqlite3_column_bytes(S, 2));
    sqlite3_reset(S);
    T.Commit();
    return V;
  }
  void WriteValue(std::u16string_view Path, const TRegValue& Value) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Value.Name);
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"write value " + Quoted(Value.Name) + u" of key " + Quoted(Path));
    WriteValueIn(Parts, Value, T.Doing());
    T.Commit();
  }
  void DeleteValue(std::u16string_view Path, std::u16string_view Name) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TCountedOperation Op(hoWrite, FDb.get());
    TTransaction T(*this, true, u"delete value " + Quoted(Name) + u" of key " + Quoted(Path));
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
    TTransaction T(*this, true, u"delete key " + Quoted(Path));
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

private:
  // A read (deferred) or write (immediate) transaction; rolled back unless committed.
  class TTransaction {
  public:
    TTransaction(TSqliteHive& Hive, bool Write, UnicodeString Doing)
        : FHive(Hive), FDoing(std::move(Doing)) {
      FHive.Exec(Write ? "BEGIN IMMEDIATE" : "BEGIN", FDoing);
    }
    ~TTransaction() {
      if (!sqlite3_get_autocommit(FHive.FDb.get()))
        sqlite3_exec(FHive.FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit() { FHive.Exec("COMMIT", FDoing); }
    const UnicodeString& Doing() const { return FDoing; }

  private:
    TSqliteHive& FHive;
    UnicodeString FDoing;
  };

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
  static void BindText(sqlite3_stmt* S, int I, std::u16string_view Text) {
    sqlite3_bind_text16(S, I, Text.empty() ? u"" : Text.data(),
                        static_cast<int>(Text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
  }
  static UnicodeString ColumnText(sqlite3_stmt* S, int I) {
    const auto* P = static_cast<const char16_t*>(sqlite3_column_text16(S, I));
    int Bytes = sqlite3_column_bytes16(S, I);
    return P ? UnicodeString(P, static_cast<size_t>(Bytes) / sizeof(char16_t)) : UnicodeString();
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
    TTransaction T(*this, false, What + Quoted(Path));
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
  std::chrono::milliseconds FBusyTimeout;
  bool FRefused = false; // set when the file turned out not to be a usable hive
  // Statements are declared after the connection so that they are finalised before it closes.
  TDb FDb;
  TStmt SFindKey, SInsertKey, SReadValue, SWriteValue, SDeleteValue, SDeleteKey, SValueNames,
      SSubKeyNames;
};

TSqliteHive::TSqliteHive(const UnicodeString& Path, std::chrono::milliseconds BusyTimeout)
    : FPath(Path), FBusyTimeout(BusyTimeout) {
  HiveFaults::detail::RegisterVfs();
  TCountedOperation Op(hoOpen, nullptr);
  // Looking into a file that turns out not to be a usable hive creates its journal files; those
  // are removed again, so that the folder is left as it was found.
  std::string File = UTF8Encode(FPath);
  std::error_code Ec;
  bool HadWal = std::filesystem::exists(File + "-wal", Ec);
  bool HadShm = std::filesystem::exists(File + "-shm", Ec);
  try {
    Open(BusyTimeout);
  } catch (...) {
    FDb.reset();
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
}

void TSqliteHive::Open(std::chrono::milliseconds BusyTimeout) {
  namespace fs = std::filesystem;
  const UnicodeString Doing(OpenDoing);
  if (FPath.empty())
    throw ERegistryException(u"Cannot open a registry hive: no file name given");
  const std::string File = UTF8Encode(FPath);
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
  // The journal lives beside the file, so its folder must be writable too.
  if (::access(Dir.c_str(), W_OK | X_OK) != 0)
    Fail(Doing, u"its folder " + Quoted(UTF8Decode(Dir.string())) +
                    u" cannot be written (the hive's journal is kept there)");
  if (Exists) {
    if (::access(File.c_str(), R_OK) != 0)
      Fail(Doing, u"the file cannot be read (permission denied)");
    if (::access(File.c_str(), W_OK) != 0)
      Fail(Doing, u"the file is read-only");
    // Only an SQLite database is handed to SQLite, which could otherwise try to recover it.
    auto Size = fs::file_size(File, Ec);
    if (!Ec && Size > 0) {
      char Magic[16] = {};
      std::ifstream In(File, std::ios::binary);
      In.read(Magic, sizeof Magic);
      if (!In || std::memcmp(Magic, "SQLite format 3", 16) != 0)
        Fail(Doing, u"the file is not a registry hive (it is not an SQLite database)");
    }
  }

  sqlite3* Raw = nullptr;
  int Flags = SQLITE_OPEN_READWRITE | (Exists ? 0 : SQLITE_OPEN_CREATE);
  int Rc = sqlite3_open_v2(File.c_str(), &Raw, Flags, HiveFaults::detail::VfsName);
  FDb.reset(Raw);
  if (Rc != SQLITE_OK)
    Fail(Doing, Rc);
  sqlite3_extended_result_codes(FDb.get(), 1);
  sqlite3_busy_timeout(FDb.get(), static_cast<int>(BusyTimeout.count()));
  // Until the file is known to be a hive, closing must not write to it (no checkpoint).
  sqlite3_db_config(FDb.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if (sqlite3_db_readonly(FDb.get(), "main") == 1)
    Fail(Doing, u"the file is read-only");

  bool New = Identify();
  Exec("PRAGMA journal_mode = WAL", Doing);
  {
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
