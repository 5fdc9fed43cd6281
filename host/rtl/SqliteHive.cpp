// The hive's store: keys and values in two tables, every change its own transaction, and what
// a handle read kept at hand until another connection changes the hive.
#include "rtl/SqliteHive.h"

#include "rtl/Assert.h"
#include "rtl/Exception.h"
#include "rtl/SqliteHiveHooks.h"
#include "rtl/SqliteHive_p.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

using namespace SqliteHiveDetail;

std::atomic<THiveOperationWatcher*> OperationWatcher{nullptr};

// One operation of the hive interface, as the installed watcher (if any) sees it.
class TOperation {
public:
  TOperation(THiveOperation Kind, sqlite3* Db) {
    if (THiveOperationWatcher* W = OperationWatcher.load(std::memory_order_acquire)) {
      FWatcher = W;
      FFailing = W->Begin(Kind, Db);
      // Pages the file layer keeps would let a read succeed without touching the file.
      if (FFailing && Db)
        sqlite3_file_control(Db, "main", HiveFcntlDropKept, nullptr);
    }
  }
  ~TOperation() {
    if (FWatcher)
      FWatcher->End();
  }
  TOperation(const TOperation&) = delete;
  TOperation& operator=(const TOperation&) = delete;
  // True when the operation is to meet a failure in the file: it must not answer from memory.
  bool Failing() const { return FFailing; }

private:
  THiveOperationWatcher* FWatcher = nullptr;
  bool FFailing = false;
};

// A handle keeps the values of the keys it read until the hive changes. Bounded, so that
// reading every key of a large hive cannot grow it forever.
constexpr size_t MaxCachedValues = 65536;

// Keys up to this depth are found in one statement joining a row per part; deeper ones part
// by part (SQLite joins at most 64 tables, and registry paths are rarely deep).
constexpr size_t MaxJoinedParts = 8;

// The WAL index header (48 bytes, kept twice at the start of the shared memory) and the size
// of the shared memory's pages.
using TWalHeader = std::array<unsigned char, 48>;
constexpr int WalIndexPageSize = 32768;

// A value name as the caller spelled it, made of ASCII units only: its folded form is the name
// with its capitals made small, so that it is looked up among folded names without folding it.
struct TAsciiName {
  std::u16string_view Units;
};

// Names are hashed and compared four code units (one 64-bit word) at a time.
namespace NameWords {
constexpr uint64_t Lanes(uint64_t Unit) {
  return Unit * 0x0001000100010001ull;
}
constexpr uint64_t NotAscii = Lanes(0xFF80);
constexpr char16_t Small(char16_t C) {
  return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C;
}
// The four units at P, one per 16-bit lane from the lowest.
inline uint64_t Load(const char16_t* P) {
  uint64_t W;
  std::memcpy(&W, P, sizeof W);
  return W;
}
// The N units at P (fewer than 4), the other lanes zero.
inline uint64_t LoadShort(const char16_t* P, size_t N) {
  uint64_t W = 0;
  for (size_t I = 0; I < N; ++I)
    W |= static_cast<uint64_t>(P[I]) << (16 * I);
  return W;
}
// W with the capitals A-Z of its lanes made small.
inline uint64_t Small(uint64_t W) {
  if (!(W & NotAscii)) [[likely]] {
    // Every lane below 0x80: adding keeps each lane within its 16 bits, and bit 7 of a lane
    // then says whether the unit reached 'A' (first sum) or passed 'Z' (second).
    const uint64_t FromA = W + Lanes(0x80 - u'A');
    const uint64_t PastZ = W + Lanes(0x80 - u'Z' - 1);
    return W | ((FromA & ~PastZ & Lanes(0x80)) >> 2);
  }
  uint64_t R = 0;
  for (int I = 0; I < 4; ++I)
    R |= static_cast<uint64_t>(Small(static_cast<char16_t>(W >> (16 * I)))) << (16 * I);
  return R;
}
// Calls Use with the words of S, four units each, and where each starts: the last one (when S
// has four units or more) overlaps the one before it rather than being cut short, so that every
// word is one load. Stops at the first call that answers false, and answers that.
template <class TUse> inline bool EveryWord(std::u16string_view S, TUse&& Use) {
  const size_t N = S.size();
  if (N < 4)
    return Use(LoadShort(S.data(), N), 0);
  for (size_t I = 0; I + 4 < N; I += 4)
    if (!Use(Load(S.data() + I), I))
      return false;
  return Use(Load(S.data() + N - 4), N - 4);
}
} // namespace NameWords

// Hashes a folded name, or a TAsciiName as its folded form: capitals count as small letters,
// which a folded name has none of. Not noexcept, so that the table keeps each name's hash beside
// it and compares hashes before names.
struct TFoldedNameHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view Folded) const { return Hash(Folded); }
  size_t operator()(const UnicodeString& Folded) const { return Hash(Folded); }
  size_t operator()(TAsciiName Name) const { return Hash(Name.Units); }
  static size_t Hash(std::u16string_view S) noexcept {
    uint64_t H = 0xcbf29ce484222325ull ^ S.size();
    NameWords::EveryWord(S, [&H](uint64_t W, size_t) {
      // Bit 5 of every unit set: a capital and its small letter hash alike (as do a few signs,
      // which the comparison of the names tells apart).
      H = (H ^ (W | NameWords::Lanes(0x20))) * 0x100000001b3ull;
      H ^= H >> 29;
      return true;
    });
    return static_cast<size_t>(H ^ (H >> 32));
  }
};
struct TFoldedNameEqual {
  using is_transparent = void;
  bool operator()(std::u16string_view A, std::u16string_view B) const noexcept { return A == B; }
  bool operator()(const UnicodeString& Folded, TAsciiName Name) const noexcept {
    return Same(Folded, Name.Units);
  }
  bool operator()(TAsciiName Name, const UnicodeString& Folded) const noexcept {
    return Same(Folded, Name.Units);
  }
  // Whether Folded is the folded form of Ascii (ASCII units only).
  static bool Same(std::u16string_view Folded, std::u16string_view Ascii) noexcept {
    if (Folded.size() != Ascii.size())
      return false;
    return NameWords::EveryWord(Ascii, [&Folded](uint64_t W, size_t At) {
      const uint64_t Want = NameWords::Small(W);
      return Folded.size() < 4 ? NameWords::LoadShort(Folded.data(), Folded.size()) == Want
                               : NameWords::Load(Folded.data() + At) == Want;
    });
  }
};
// Whether Name has ASCII units only (then TAsciiName finds it).
inline bool IsAscii(std::u16string_view Name) {
  uint64_t Any = 0;
  NameWords::EveryWord(Name, [&Any](uint64_t W, size_t) {
    Any |= W;
    return true;
  });
  return !(Any & NameWords::NotAscii);
}

// The values of one key, by folded name.
using TKeyValues = std::unordered_map<UnicodeString, TRegValue, TFoldedNameHash, TFoldedNameEqual>;

// Keys loaded by the handles of this process, so that a new handle (a dialog's) takes the
// values another one (the menus') loaded instead of reading them again. A key is shared with the
// WAL index header seen when it was loaded: any commit rewrites that header, so a handle takes the
// values only while its own transaction sees that same header, i.e. nothing was committed since.
// The values are never changed once shared (a handle copies them before changing its own) and
// live as long as a handle keeps them.
class TSharedKeys {
public:
  // The hive file and its shared memory (whose header is the stamp), and the folded key path.
  using TName = std::tuple<uint64_t, uint64_t, uint64_t, uint64_t, UnicodeString>;
  struct TEntry {
    TWalHeader Stamp{};
    sqlite3_int64 Id = 0;
    std::weak_ptr<const TKeyValues> Values;
  };
  void Put(TName Name, const TWalHeader& Stamp, sqlite3_int64 Id,
           const std::shared_ptr<const TKeyValues>& Values) {
    std::lock_guard<std::mutex> Lock(FMutex);
    // Entries no handle keeps any more are dropped now and then, so that the map stays small.
    if (FEntries.size() >= FSweepAt) {
      std::erase_if(FEntries, [](const auto& E) { return E.second.Values.expired(); });
      FSweepAt = std::max<size_t>(64, FEntries.size() * 2);
    }
    FEntries[std::move(Name)] = TEntry{Stamp, Id, Values};
  }
  // The values shared under Name with Stamp, or null.
  std::shared_ptr<const TKeyValues> Take(const TName& Name, const TWalHeader& Stamp,
                                         sqlite3_int64& Id) {
    std::lock_guard<std::mutex> Lock(FMutex);
    auto It = FEntries.find(Name);
    if (It == FEntries.end() || It->second.Stamp != Stamp)
      return nullptr;
    Id = It->second.Id;
    return It->second.Values.lock();
  }

private:
  std::mutex FMutex;
  std::map<TName, TEntry> FEntries;
  size_t FSweepAt = 64;
};

TSharedKeys& SharedKeys() {
  static TSharedKeys* Keys = new TSharedKeys; // never destroyed: handles may outlive statics
  return *Keys;
}

// What one commit of a handle of this process changed, between the WAL index headers before and
// after it, both taken while its connection held the journal's write lock: the values it wrote
// or deleted, or Structural when keys were created or removed (or the changes were too many to
// list). Never changed once published.
struct TRelayChange {
  UnicodeString Path, Name;       // folded
  std::optional<TRegValue> Value; // none: deleted
};
struct TRelayRecord {
  TWalHeader Before{}, After{};
  bool Structural = false;
  std::vector<TRelayChange> Changes;
};
// A commit changing more values than this is relayed as structural.
constexpr size_t MaxRelayedChanges = 1024;

// The commits of the handles of this process, by hive file (the file and its shared memory), so
// that another handle whose cache was current before them brings it up to date without asking
// SQLite. A handle follows records only from the header its cache is current at to the header
// of now, every step found: a commit of another process, or of a connection that is not a
// handle, leaves a gap, and the handle then reads from the file as before. Bounded: the last
// records of each file while handles of the process have it open, none from before a gap (no
// handle could follow them to now), and none while a single handle has the file open.
class TCommitRelay {
public:
  using TName = std::array<uint64_t, 4>;
  struct TFile {
    std::atomic<int> Handles{0};
    std::deque<std::shared_ptr<const TRelayRecord>> Records; // oldest first; under the mutex
  };
  // A handle opened File: the entry it relays through.
  std::shared_ptr<TFile> Open(const TName& File) {
    std::lock_guard<std::mutex> Lock(FMutex);
    auto& F = FFiles[File];
    if (!F)
      F = std::make_shared<TFile>();
    ++F->Handles;
    return F;
  }
  void Close(const TName& File, const std::shared_ptr<TFile>& F) {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (--F->Handles > 0)
      return;
    F->Records.clear();
    auto It = FFiles.find(File);
    if (It != FFiles.end() && It->second == F)
      FFiles.erase(It);
  }
  void Put(TFile& F, std::shared_ptr<const TRelayRecord> Record) {
    std::lock_guard<std::mutex> Lock(FMutex);
    auto& Records = F.Records;
    const bool Follows = !Records.empty() &&
                         (Records.back()->After == Record->Before ||
                          std::any_of(Records.begin(), Records.end(),
                                      [&](const auto& R) { return R->After == Record->Before; }));
    if (!Follows)
      Records.clear();
    Records.push_back(std::move(Record));
    if (Records.size() > MaxRecords)
      Records.pop_front();
  }
  // The records leading from header From to header To, in order, into Out; false when a step
  // is missing.
  bool Chain(TFile& F, const TWalHeader& From, const TWalHeader& To,
             std::vector<std::shared_ptr<const TRelayRecord>>& Out) {
    std::lock_guard<std::mutex> Lock(FMutex);
    const auto& Records = F.Records;
    const TWalHeader* At = &From;
    size_t Next = Records.size();
    while (Out.size() < Records.size()) {
      // Mostly the record after the last one taken; a reader starts mostly a few records before
      // the newest.
      size_t I = Next < Records.size() && Records[Next]->Before == *At ? Next : Records.size();
      for (size_t J = Records.size(); I == Records.size() && J > 0; --J)
        if (Records[J - 1]->Before == *At)
          I = J - 1;
      if (I == Records.size())
        break;
      Out.push_back(Records[I]);
      At = &Records[I]->After;
      if (*At == To)
        return true;
      Next = I + 1;
    }
    Out.clear();
    return false;
  }

private:
  static constexpr size_t MaxRecords = 64;
  std::mutex FMutex;
  std::map<TName, std::shared_ptr<TFile>> FFiles;
};

TCommitRelay& CommitRelay() {
  static TCommitRelay* Relay = new TCommitRelay; // never destroyed: handles may outlive statics
  return *Relay;
}

class TSqliteHive final : public TRegistryHive {
public:
  TSqliteHive(const UnicodeString& Path, std::chrono::milliseconds BusyTimeout) {
    FHive.Path = Path;
    FHive.File = UTF8Encode(Path);
    FHive.BusyTimeout = BusyTimeout;
    TOperation Op(hoOpen, nullptr);
    OpenHiveFile(FHive);
    if (!FHive.Immutable && !FHive.ReadOnly && FHive.ShmId.Inode != 0)
      FRelayFile = CommitRelay().Open(RelayName());
  }
  ~TSqliteHive() override {
    if (FRelayFile)
      CommitRelay().Close(RelayName(), FRelayFile);
    // Closing is a durable point like Flush; a failure here has nobody to go to, and the
    // changes stay committed in the journal.
    try {
      Flush();
    } catch (...) {
    }
    PrepareClose(FHive);
  }

  UnicodeString Location() const override { return FHive.Path; }
  // The files opened, whatever the paths name now.
  std::vector<TFileIdentity> Files() const override {
    std::vector<TFileIdentity> R;
    for (const TFileIdentity& Id : {FHive.FileId, FHive.WalId, FHive.ShmId})
      if (Id.Inode != 0)
        R.push_back(Id);
    return R;
  }
  bool ReadOnly() const override { return FHive.ReadOnly; }
  bool UsesHeaderCheck() const { return FHeaderCheck; }
  unsigned KeysTaken() const { return FKeysTaken; }
  unsigned CommitsRelayed() const { return FCommitsRelayed; }
  unsigned CommitsFollowed() const { return FCommitsFollowed; }

  void CreateKey(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TOperation Op(hoWrite, Db());
    const TDoing Reading = TDoing::OfKey(u"read key ", Path);
    // Opening an existing key (every TRegIniFile does) needs no write lock.
    if (KeyId(Path, Parts, Op.Failing(), Reading) != 0)
      return;
    const TDoing Doing = TDoing::OfKey(u"create key ", Path);
    TTransaction T(*this, true, Doing);
    FindKey(Parts, true, Doing);
    T.Commit();
    AfterKeysChanged();
    Relay(T, StructuralRecord);
  }
  bool KeyExists(std::u16string_view Path) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TOperation Op(hoRead, Db());
    return KeyId(Path, Parts, Op.Failing(), TDoing::OfKey(u"read key ", Path)) != 0;
  }
  std::optional<TRegValue> ReadValue(std::u16string_view Path, std::u16string_view Name) override {
    TOperation Op(hoRead, Db());
    if (const TRegValue* V = FindValue(Path, Name, Op.Failing()))
      return *V;
    return std::nullopt;
  }
  bool VisitValue(std::u16string_view Path, std::u16string_view Name, TValueUse Use) override {
    TOperation Op(hoRead, Db());
    const TRegValue* V = FindValue(Path, Name, Op.Failing());
    if (!V)
      return false;
    Use(*V);
    return true;
  }
  void WriteValue(std::u16string_view Path, const TRegValue& Value) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Value.Name);
    TOperation Op(hoWrite, Db());
    const TDoing Doing = TDoing::OfValue(u"write value ", Value.Name, Path);
    // Writing a value as it is already stored changes nothing, and is not written again (an
    // editor saving every row rewrites mostly unchanged values). The hive must still be
    // writable, and an operation chosen to fail must reach the file.
    const bool MaySkip = !Op.Failing() && FSnapshots == 0;
    if (MaySkip && CacheCertainlyCurrent() && Unchanged(CachedKey(Path), Value)) {
      CheckWritable(Doing, true);
      return;
    }
    TTransaction T(*this, true, Doing);
    TCachedKey* K = CachedKey(Path);
    if (MaySkip && Unchanged(K, Value)) {
      T.Commit();
      return;
    }
    const sqlite3_int64 Key = K && K->Id ? K->Id : FindKey(Parts, true, Doing);
    WriteValueIn(Key, Value, Doing);
    T.Commit();
    const bool Created = FKeyCreated;
    if (K && K->Id) {
      SimpleFoldCaseInto(Value.Name, FFoldedName);
      TKeyValues& Values = OwnValues(*K);
      auto It = Values.find(FFoldedName);
      if (It != Values.end()) {
        // Case-preserving: the stored name keeps its spelling.
        It->second.Type = Value.Type;
        It->second.Data = Value.Data;
      } else {
        Values.emplace(FFoldedName, Value);
        ++FCachedValues;
      }
    } else {
      AfterKeysChanged();
    }
    Relay(T, [&] { return Created ? StructuralRecord() : ValueRecord(Path, Value.Name, &Value); });
  }
  void DeleteValue(std::u16string_view Path, std::u16string_view Name) override {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TOperation Op(hoWrite, Db());
    const TDoing Doing = TDoing::OfValue(u"delete value ", Name, Path);
    TTransaction T(*this, true, Doing);
    TCachedKey* K = CachedKey(Path);
    const sqlite3_int64 Key = K ? K->Id : FindKey(Parts, false, Doing);
    if (Key)
      DeleteValueIn(Key, Name, Doing);
    T.Commit();
    if (K && Key) {
      SimpleFoldCaseInto(Name, FFoldedName);
      FCachedValues -= OwnValues(*K).erase(FFoldedName);
    }
    Relay(T, [&] { return ValueRecord(Path, Name, nullptr); });
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
    TOperation Op(hoWrite, Db());
    const TDoing Doing = TDoing::OfKey(u"delete key ", Path);
    TTransaction T(*this, true, Doing);
    DeleteKeyIn(Parts, Doing);
    T.Commit();
    ClearCache();
    Relay(T, StructuralRecord);
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
    TOperation Op(hoWrite, Db());
    const TDoing Doing = TDoing::OfChanges(Changes.size());
    TTransaction T(*this, true, Doing);
    FKeyCreated = false;
    // The changes are listed for the other handles of the process, if any.
    auto Record = std::make_shared<TRelayRecord>();
    Record->Structural = !Listened();
    // Batches mostly change values of one key after another: the key last found is looked up
    // again only when the path changes, or when a key was removed since.
    const TRegChange* LastPathOf = nullptr;
    sqlite3_int64 LastKey = 0;
    auto KeyOf = [&](size_t I, bool Create) {
      if (!LastPathOf || LastPathOf->Path != Changes[I].Path || (!LastKey && Create)) {
        LastKey = FindKey(Paths[I], Create, Doing);
        LastPathOf = &Changes[I];
      }
      return LastKey;
    };
    for (size_t I = 0; I < Changes.size(); ++I) {
      const TRegChange& C = Changes[I];
      switch (C.Kind) {
      case TRegChange::CreateKey:
        KeyOf(I, true);
        break;
      case TRegChange::WriteValue:
        WriteValueIn(KeyOf(I, true), C.Value, Doing);
        if (!Record->Structural && Record->Changes.size() <= MaxRelayedChanges)
          RelayedChange(*Record, C, &C.Value);
        break;
      case TRegChange::DeleteValue:
        if (sqlite3_int64 Key = KeyOf(I, false)) {
          DeleteValueIn(Key, C.Value.Name, Doing);
          if (!Record->Structural && Record->Changes.size() <= MaxRelayedChanges)
            RelayedChange(*Record, C, nullptr);
        }
        break;
      case TRegChange::DeleteKey:
        DeleteKeyIn(Paths[I], Doing);
        Record->Structural = true;
        LastPathOf = nullptr;
        break;
      }
    }
    T.Commit();
    ClearCache();
    if (FKeyCreated)
      Record->Structural = true;
    FKeyCreated = false;
    if (Record->Structural)
      Record->Changes.clear();
    Relay(T, [&] { return std::move(Record); });
  }
  void ReadSnapshot(const std::function<void()>& Body) override {
    if (FSnapshots > 0) {
      Body();
      return;
    }
    TTransaction T(*this, false, TDoing(u"read a snapshot"));
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
  // Every commit is in the journal, which the last sync of the journal or the last fold of it
  // into the file (which syncs both) has made durable up to that point: a sync of the journal
  // covers what this handle committed, whoever committed after it.
  void Flush() override {
    if (!FUnflushed)
      return;
    TOperation Op(hoWrite, Db());
    const TDoing Doing(u"flush the changes");
    CheckFiles(FHive, Doing, false);
    sqlite3_file* Journal = nullptr;
    if (sqlite3_file_control(Db(), "main", SQLITE_FCNTL_JOURNAL_POINTER, &Journal) == SQLITE_OK &&
        Journal && Journal->pMethods) {
      int Rc = Journal->pMethods->xSync(Journal, SQLITE_SYNC_NORMAL);
      if (Rc != SQLITE_OK)
        Fail(FHive, Doing, Rc, sqlite3_errstr(Rc));
    } else {
      // No journal open: fold whatever is left into the file, which syncs it.
      int Rc = sqlite3_wal_checkpoint_v2(Db(), "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
      if (Rc != SQLITE_OK)
        Fail(FHive, Doing, Rc);
    }
    FUnflushed = false;
  }

private:
  // The values of one key as this handle read them, by folded name; Id 0: no such key.
  // Values may be shared with other handles of the process (Shared), and is then copied before
  // this handle changes it.
  struct TCachedKey {
    sqlite3_int64 Id = 0;
    std::shared_ptr<TKeyValues> Values = std::make_shared<TKeyValues>();
    bool Shared = false;
  };

  // A read (deferred) or write (immediate) transaction; rolled back unless committed. Inside a
  // snapshot a read joins the snapshot's transaction and a write is refused. Starting one brings
  // the handle's cache in line with what the transaction sees.
  class TTransaction {
  public:
    TTransaction(TSqliteHive& Hive, bool Write, const TDoing& Doing)
        : FHive(Hive), FDoing(Doing), FWrite(Write) {
      // A read joining a snapshot was looked at when the snapshot began.
      if (FWrite || FHive.FSnapshots == 0)
        FHive.CheckWritable(FDoing, FWrite);
      if (FHive.FSnapshots > 0) {
        if (FWrite)
          Fail(FHive.FHive, FDoing, u"the hive is being read as a snapshot by the same handle");
        FJoined = true;
        return;
      }
      HOST_ASSERT(FHive.FHive.Opened && FHive.FHive.Lost.empty(),
                  "a transaction starts only on a handle whose files are still the ones opened");
      HOST_ASSERT(sqlite3_get_autocommit(FHive.Db()),
                  "a handle runs one transaction at a time, apart from snapshots");
      FHive.Run(FHive.SBegin[Write], Write ? "BEGIN IMMEDIATE" : "BEGIN", FDoing);
      try {
        // Looked at again once the write lock is held: a journal deleted or replaced while
        // waiting for it would otherwise take this commit with it.
        if (FWrite)
          CheckFiles(FHive.FHive, FDoing, false);
        FChangesBefore = sqlite3_total_changes64(FHive.Db());
        FWalCommitsBefore = FHive.FHive.WalCommits;
        FHaveHeader = FHive.SyncCache(FHeaderBefore, FDoing);
        // A commit is relayed to the other handles only when the header before it was read
        // while this connection held the write lock (BEGIN IMMEDIATE takes it), so that no
        // other commit can lie between that header and this transaction's changes.
        THiveWriteLock Lock;
        if (FWrite && FHaveHeader && FHive.RelayUsable() && FHive.WriteLockState(Lock) &&
            Lock.Held) {
          FRelayable = true;
          FReleasesBefore = Lock.Releases;
        }
      } catch (...) {
        FHive.Rollback();
        FHive.DropCache();
        throw;
      }
    }
    ~TTransaction() {
      if (FJoined)
        return;
      if (!sqlite3_get_autocommit(FHive.Db()))
        FHive.Rollback();
      // Whatever a failed write did or failed to do, values kept before it may be out of date.
      if (FWrite && !FCommitted)
        FHive.DropCache();
    }
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit() {
      if (FJoined)
        return;
      HOST_ASSERT(!FCommitted, "a transaction commits once");
      FHive.Run(FHive.SCommit, "COMMIT", FDoing);
      FCommitted = true;
      const bool Changed = FWrite && sqlite3_total_changes64(FHive.Db()) != FChangesBefore;
      // The header after the commit, as the file layer took it when the commit released the
      // write lock (its one release since BEGIN): what another connection committed since
      // does not count as this commit's.
      THiveWriteLock Lock;
      if (Changed && FRelayable && FHive.WriteLockState(Lock) && !Lock.Held &&
          Lock.Releases == FReleasesBefore + 1 && Lock.HeaderKnown) {
        std::memcpy(FHeaderAfter.data(), Lock.Header, FHeaderAfter.size());
        FExact = FHeaderAfter != FHeaderBefore;
      }
      FoldJournalIfDue(FHive.FHive);
      if (Changed) {
        FHive.FUnflushed = true;
        // SQLite writes nothing for rows rewritten as they were (and does not rewrite the
        // header then): only a commit that wrote to the journal must have moved it.
        if (FHive.FHive.WalCommits != FWalCommitsBefore)
          FHive.CheckHeaderMoved(FHaveHeader, FHeaderBefore);
      }
    }
    // After Commit: whether this transaction's changes lie exactly between HeaderBefore and
    // HeaderAfter, so that they can be relayed.
    bool Exact() const { return FExact; }
    const TWalHeader& HeaderBefore() const { return FHeaderBefore; }
    const TWalHeader& HeaderAfter() const { return FHeaderAfter; }

  private:
    TSqliteHive& FHive;
    TDoing FDoing;
    bool FWrite;
    bool FJoined = false;
    bool FCommitted = false;
    bool FHaveHeader = false;
    bool FRelayable = false;
    bool FExact = false;
    uint64_t FReleasesBefore = 0, FWalCommitsBefore = 0;
    TWalHeader FHeaderBefore{}, FHeaderAfter{};
    sqlite3_int64 FChangesBefore = 0;
  };

  sqlite3* Db() const { return FHive.Db.get(); }

  // --- the cache ------------------------------------------------------------------------------

  void ClearCache() {
    FKeys.clear();
    FCachedValues = 0;
    FLastKey = nullptr;
  }
  void DropCache() {
    ClearCache();
    FCacheVersion = -1;
  }
  // After keys were created or removed: keys kept as missing may exist now, and the other way.
  void AfterKeysChanged() {
    if (FKeyCreated)
      ClearCache();
    FKeyCreated = false;
  }
  sqlite3_int64 DataVersion(const TDoing& Doing) {
    sqlite3_stmt* S = Stmt(SDataVersion, "PRAGMA data_version");
    if (!Step(S, Doing))
      Fail(FHive, Doing, u"the hive's data version cannot be read");
    sqlite3_int64 Version = sqlite3_column_int64(S, 0);
    sqlite3_reset(S);
    return Version;
  }
  // At the start of a transaction (before it has read anything): empties the cache when another
  // connection committed since it was filled. The journal header is taken first, so that it
  // stands for a state no newer than the one the transaction reads; it is returned in Header.
  bool SyncCache(TWalHeader& Header, const TDoing& Doing) {
    const bool HaveHeader = !FHive.Immutable && ReadWalHeader(Header);
    const sqlite3_int64 Version = DataVersion(Doing);
    if (Version != FCacheVersion || FVersionStale) {
      // A cache brought up to date by relayed commits (FollowRelay) is current at
      // FCacheHeader, whatever FCacheVersion says. It still holds when the header was that one
      // before the transaction began and still is now that it has begun: the state the
      // transaction reads lies between the two, and a header never comes back.
      TWalHeader Now;
      const bool Kept = FVersionStale && FCacheVersion >= 0 && HaveHeader && FCacheHeaderValid &&
                        Header == FCacheHeader && ReadWalHeader(Now) && Now == FCacheHeader;
      if (Kept) {
        // A value read alone since the cache was last found current counts as read alone now.
        if (FSingleReadVersion == FCacheVersion)
          FSingleReadVersion = Version;
      } else {
        ClearCache();
      }
      FCacheVersion = Version;
      FVersionStale = false;
    }
    FCacheHeader = Header;
    FCacheHeaderValid = HaveHeader;
    return HaveHeader;
  }
  // Outside a transaction: true when the cache certainly still holds, i.e. nothing was
  // committed by another connection since it was filled (this handle's own changes keep it up
  // to date). False means it may not: a transaction then asks SQLite (SyncCache).
  //
  // Asking SQLite (PRAGMA data_version) takes a read transaction, which costs several times a
  // read from the cache. The quick test compares the WAL index header in the shared memory
  // beside the hive (which every commit rewrites before it returns; the layout every SQLite
  // version shares: frame count, checksums and salts) with the header seen when the cache was
  // last found current. Should the linked SQLite ever stop rewriting it, the handle's own
  // commits show it (CheckHeaderMoved) and the quick test is no longer used.
  bool CacheCertainlyCurrent() {
    if (FCacheVersion < 0)
      return false;
    if (FHive.Immutable)
      return true;
    if (!FHeaderCheck || !FCacheHeaderValid)
      return false;
    // Mostly nothing was committed since: both copies of the header are still the one seen.
    if (HeaderStill(FCacheHeader))
      return true;
    TWalHeader Header;
    if (!ReadWalHeader(Header))
      return false;
    return Header == FCacheHeader || FollowRelay(Header);
  }
  // Outside a transaction, the header being Now: brings the cache from FCacheHeader to Now by
  // the commits other handles of the process relayed, when every one in between was relayed;
  // false (the cache unchanged) otherwise.
  [[gnu::noinline]] bool FollowRelay(const TWalHeader& Now) {
    if (!RelayUsable() || !CommitRelay().Chain(*FRelayFile, FCacheHeader, Now, FRelaySteps))
      return false;
    for (const auto& R : FRelaySteps) {
      if (R->Structural) {
        ClearCache();
        continue;
      }
      for (const TRelayChange& C : R->Changes) {
        auto It = FKeys.find(C.Path);
        if (It == FKeys.end())
          continue;
        TCachedKey& K = It->second;
        if (!K.Id) {
          // Kept as missing, yet changed: not the state this cache holds; forget it.
          if (FLastKey == &K)
            FLastKey = nullptr;
          FKeys.erase(It);
          continue;
        }
        TKeyValues& Values = OwnValues(K);
        if (!C.Value) {
          FCachedValues -= Values.erase(C.Name);
          continue;
        }
        auto V = Values.find(C.Name);
        if (V != Values.end()) {
          // Case-preserving, as the file keeps it.
          V->second.Type = C.Value->Type;
          V->second.Data = C.Value->Data;
        } else {
          Values.emplace(C.Name, *C.Value);
          ++FCachedValues;
        }
      }
    }
    FRelaySteps.clear();
    FCacheHeader = Now;
    // Other connections committed: SQLite's data version has moved (see SyncCache).
    FVersionStale = true;
    ++FCommitsFollowed;
    return true;
  }
  // Whether this handle may relay its commits and follow those of others: its cache is checked
  // by the WAL index header, and the files are the ones opened.
  bool RelayUsable() const {
    return FRelayFile && FHeaderCheck && FCacheHeaderValid && FCacheVersion >= 0 &&
           FSnapshots == 0 && FHive.Lost.empty();
  }
  TCommitRelay::TName RelayName() const {
    return {FHive.FileId.Device, FHive.FileId.Inode, FHive.ShmId.Device, FHive.ShmId.Inode};
  }
  // Whether other handles of the process have the file open, to follow this one's commits.
  bool Listened() const {
    return FRelayFile && FRelayFile->Handles.load(std::memory_order_relaxed) > 1;
  }
  bool WriteLockState(THiveWriteLock& Lock) {
    return sqlite3_file_control(Db(), "main", HiveFcntlWriteLock, &Lock) == SQLITE_OK;
  }
  // After T committed (this handle's cache brought up to date with its changes): relays the
  // record Make() builds of T's changes to the other handles of the process, and keeps the cache
  // as current after the commit, when T's changes lie exactly between the headers it took.
  template <class TMake> void Relay(const TTransaction& T, TMake&& Make) {
    if (!T.Exact() || !RelayUsable())
      return;
    // Nobody to follow it while this handle alone has the file open: a handle opened later
    // starts from a header no older than this commit's.
    if (Listened()) {
      std::shared_ptr<TRelayRecord> Record = Make();
      Record->Before = T.HeaderBefore();
      Record->After = T.HeaderAfter();
      if (Record->Changes.size() > MaxRelayedChanges) {
        Record->Structural = true;
        Record->Changes.clear();
      }
      CommitRelay().Put(*FRelayFile, std::move(Record));
      ++FCommitsRelayed;
    }
    FCacheHeader = T.HeaderAfter();
  }
  static void RelayedChange(TRelayRecord& Record, const TRegChange& C, const TRegValue* Value) {
    TRelayChange& R = Record.Changes.emplace_back();
    SimpleFoldCaseInto(C.Path, R.Path);
    SimpleFoldCaseInto(C.Value.Name, R.Name);
    if (Value)
      R.Value = *Value;
  }
  static std::shared_ptr<TRelayRecord> StructuralRecord() {
    auto R = std::make_shared<TRelayRecord>();
    R->Structural = true;
    return R;
  }
  // A record of value Name of key Path written (as Value) or deleted (Value null).
  static std::shared_ptr<TRelayRecord>
  ValueRecord(std::u16string_view Path, std::u16string_view Name, const TRegValue* Value) {
    auto R = std::make_shared<TRelayRecord>();
    TRelayChange& C = R->Changes.emplace_back();
    SimpleFoldCaseInto(Path, C.Path);
    SimpleFoldCaseInto(Name, C.Name);
    if (Value)
      C.Value = *Value;
    return R;
  }
  // Whether A and B hold the same code units (compared as bytes, which is quicker).
  static bool SameUnits(std::u16string_view A, std::u16string_view B) {
    return A.size() == B.size() &&
           std::memcmp(A.data(), B.data(), A.size() * sizeof(char16_t)) == 0;
  }
  // The kept key of FFoldedPath, or null.
  TCachedKey* KeptKey() {
    auto K = FKeys.find(FFoldedPath);
    return K == FKeys.end() ? nullptr : &K->second;
  }
  // In kept key K: the value Name (folded into FFoldedName unless it is ASCII throughout), or
  // null (after checking Name, which was not).
  const TRegValue* KeptValueNamed(TCachedKey& K, std::u16string_view Name) {
    const bool Ascii = IsAscii(Name);
    if (!Ascii)
      SimpleFoldCaseInto(Name, FFoldedName);
    auto V = Ascii ? K.Values->find(TAsciiName{Name}) : K.Values->find(FFoldedName);
    if (V != K.Values->end())
      return &V->second;
    RegistryNames::CheckValueName(Name);
    return nullptr;
  }
  // In kept key K: the value FFoldedName, or null (after checking Name, which was not).
  const TRegValue* KeptValue(TCachedKey& K, std::u16string_view Name) {
    auto V = K.Values->find(FFoldedName);
    if (V != K.Values->end())
      return &V->second;
    RegistryNames::CheckValueName(Name);
    return nullptr;
  }
  // After a commit of this handle that changed something: the header must have moved.
  void CheckHeaderMoved(bool HadHeader, const TWalHeader& Before) {
    TWalHeader After;
    if (FHeaderCheck && HadHeader && ReadWalHeader(After) && After == Before)
      FHeaderCheck = false;
  }
  // Whether both copies of the WAL index header are Header, read in the order ReadWalHeader
  // reads them: true exactly when ReadWalHeader would give Header.
  bool HeaderStill(const TWalHeader& Header) {
    const volatile unsigned char* Region = MappedRegion();
    if (!Region)
      return false;
    const auto* P = const_cast<const unsigned char*>(Region);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (std::memcmp(P, Header.data(), Header.size()) != 0)
      return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    return std::memcmp(P + Header.size(), Header.data(), Header.size()) == 0;
  }
  // The first region of the shared memory where the connection keeps it mapped, or null when it
  // does not (ReadWalHeader then maps it).
  const volatile unsigned char* MappedRegion() const {
    return FShmView.Region && !*FShmView.Full ? FShmView.Region->load(std::memory_order_acquire)
                                              : nullptr;
  }
  // The first copy of the WAL index header; false when it cannot be mapped or a commit is
  // rewriting it right now (its two copies differ).
  bool ReadWalHeader(TWalHeader& Out) {
    // The connection's file object lives as long as the connection.
    if (!FMainFile) {
      if (sqlite3_file_control(Db(), "main", SQLITE_FCNTL_FILE_POINTER, &FMainFile) != SQLITE_OK)
        FMainFile = nullptr;
      if (sqlite3_file_control(Db(), "main", HiveFcntlShmView, &FShmView) != SQLITE_OK)
        FShmView = {};
    }
    sqlite3_file* F = FMainFile;
    if (!F || !F->pMethods || F->pMethods->iVersion < 2)
      return false;
    // While the connection keeps the first region mapped, mapping it again answers the same
    // place: SQLite's unix layer keeps a region where it mapped it until the last connection of
    // the process to that memory unmaps it, and the hive's layer forgets the place as soon as
    // this connection unmaps it. A connection whose memory could not be allocated maps it
    // read-only, which the header check does not use. Otherwise the region is mapped (and the
    // shared memory opened when it was not yet) as SQLite maps it.
    const volatile unsigned char* Region = MappedRegion();
    if (!Region) {
      void volatile* Mapped = nullptr;
      if (F->pMethods->xShmMap(F, 0, WalIndexPageSize, 0, &Mapped) != SQLITE_OK || !Mapped)
        return false;
      Region = static_cast<const volatile unsigned char*>(Mapped);
    }
    // Copied whole between barriers, as SQLite reads the header itself: another process may
    // be rewriting it, which the comparison of the two copies then shows.
    const auto* P = const_cast<const unsigned char*>(Region);
    TWalHeader Second;
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(Out.data(), P, Out.size());
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(Second.data(), P + Out.size(), Second.size());
    return Out == Second;
  }
  // Whether kept key K (may be null) holds Value with the same type and data.
  bool Unchanged(TCachedKey* K, const TRegValue& Value) {
    if (!K || !K->Id)
      return false;
    SimpleFoldCaseInto(Value.Name, FFoldedName);
    auto It = K->Values->find(FFoldedName);
    return It != K->Values->end() && It->second.Type == Value.Type && It->second.Data == Value.Data;
  }
  // With the cache in line (inside a transaction, or found current): the kept key of Path, or
  // null when not kept.
  TCachedKey* CachedKey(std::u16string_view Path) {
    if (FCacheVersion < 0)
      return nullptr;
    SimpleFoldCaseInto(Path, FFoldedPath);
    auto It = FKeys.find(FFoldedPath);
    return It == FKeys.end() ? nullptr : &It->second;
  }
  // Inside a transaction: loads every value of the key (FFoldedPath is its folded path).
  TCachedKey& LoadKey(const std::vector<UnicodeString>& Parts, const TDoing& Doing) {
    const sqlite3_int64 Id = FindKey(Parts, false, Doing);
    if (FCachedValues >= MaxCachedValues)
      ClearCache();
    TCachedKey& K = FKeys[FFoldedPath];
    FCachedValues -= K.Values->size();
    auto Values = std::make_shared<TKeyValues>();
    K.Id = Id;
    K.Shared = false;
    if (Id) {
      sqlite3_stmt* S =
          Stmt(SKeyValues, "SELECT name, folded, type, data FROM reg_values WHERE key = ?1");
      sqlite3_bind_int64(S, 1, Id);
      while (Step(S, Doing)) {
        TRegValue V;
        V.Name = ColumnText(S, 0);
        V.Type = static_cast<uint32_t>(sqlite3_column_int64(S, 2));
        const auto* Data = static_cast<const uint8_t*>(sqlite3_column_blob(S, 3));
        V.Data.assign(Data, Data + sqlite3_column_bytes(S, 3));
        Values->emplace(ColumnText(S, 1), std::move(V));
      }
    }
    FCachedValues += Values->size();
    K.Values = std::move(Values);
    if (Id && SharingUsable()) {
      SharedKeys().Put(SharedName(), FCacheHeader, Id, K.Values);
      K.Shared = true;
    }
    return K;
  }
  // Whether keys can be shared with or taken from other handles: the WAL index header must
  // stand for the state the transaction reads (see CacheCertainlyCurrent).
  bool SharingUsable() const {
    return FHeaderCheck && FCacheHeaderValid && !FHive.Immutable && FHive.ShmId.Inode != 0;
  }
  TSharedKeys::TName SharedName() const {
    return {FHive.FileId.Device, FHive.FileId.Inode, FHive.ShmId.Device, FHive.ShmId.Inode,
            FFoldedPath};
  }
  // Inside a transaction: the values of key FFoldedPath as another handle of the process loaded
  // them, kept as this handle's, when nothing was committed since; null otherwise. The header is
  // read again to make sure no commit came between the one taken at the start of the
  // transaction and the state the transaction reads.
  TCachedKey* AdoptKey() {
    if (!SharingUsable())
      return nullptr;
    sqlite3_int64 Id = 0;
    std::shared_ptr<const TKeyValues> Values = SharedKeys().Take(SharedName(), FCacheHeader, Id);
    TWalHeader Now;
    if (!Values || !ReadWalHeader(Now) || Now != FCacheHeader)
      return nullptr;
    if (FCachedValues >= MaxCachedValues)
      ClearCache();
    TCachedKey& K = FKeys[FFoldedPath];
    FCachedValues -= K.Values->size();
    K.Id = Id;
    // Never changed while shared (OwnValues), so this handle may keep it as its own.
    K.Values = std::const_pointer_cast<TKeyValues>(std::move(Values));
    K.Shared = true;
    FCachedValues += K.Values->size();
    ++FKeysTaken;
    return &K;
  }
  // The values of kept key K, to be changed: copied first when other handles may hold them.
  TKeyValues& OwnValues(TCachedKey& K) {
    if (K.Shared) {
      K.Values = std::make_shared<TKeyValues>(*K.Values);
      K.Shared = false;
    }
    return *K.Values;
  }
  // The value Name of key Path, kept by the handle or read from the file (into FRead when read
  // alone: always when Failing or inside a snapshot); null when it does not exist. Valid until
  // the next call.
  const TRegValue* FindValue(std::u16string_view Path, std::u16string_view Name, bool Failing) {
    if (Failing || FSnapshots > 0)
      return ReadUncached(Path, Name, TDoing::OfValue(u"read value ", Name, Path));
    // A kept key's path was checked when it was read; names that fold alike are alike valid.
    if (CacheCertainlyCurrent()) {
      // Reads come mostly in runs on one key (a menu or a dialog reading every tab's value):
      // the key of the last one is taken again without folding and hashing its path.
      TCachedKey* K = FLastKey && SameUnits(Path, FLastPath) ? FLastKey : nullptr;
      if (!K) {
        SimpleFoldCaseInto(Path, FFoldedPath);
        if ((K = KeptKey())) {
          FLastKey = K;
          FLastPath.assign(Path);
        }
      }
      if (K)
        return KeptValueNamed(*K, Name);
    }
    const TDoing Doing = TDoing::OfValue(u"read value ", Name, Path);
    SimpleFoldCaseInto(Path, FFoldedPath);
    SimpleFoldCaseInto(Name, FFoldedName);
    // A path read alone last time is bound in its statement already, and was checked then.
    const bool Bound = FBoundDepth > 0 && SameUnits(Path, FBoundPath);
    std::vector<UnicodeString> Parts;
    if (!Bound)
      Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TTransaction T(*this, false, Doing);
    TCachedKey* Kept = KeptKey();
    if (!Kept)
      Kept = AdoptKey();
    if (Kept) {
      const TRegValue* V = KeptValue(*Kept, Name);
      T.Commit();
      return V;
    }
    // The first value missed in a key (since the hive last changed) is read alone: a single
    // read after another process's change stays cheap. A second one loads the whole key, as
    // a menu or a dialog reading every tab's value needs.
    if (FSingleReadVersion != FCacheVersion || FSingleReadPath != FFoldedPath) {
      FSingleReadVersion = FCacheVersion;
      FSingleReadPath = FFoldedPath;
      const TRegValue* V = Bound ? ReadOneBound(Doing) : ReadOne(Parts, Name, Doing, Path);
      T.Commit();
      return V;
    }
    if (Bound)
      Parts = RegistryNames::SplitKeyPath(Path);
    TCachedKey& K = LoadKey(Parts, Doing);
    T.Commit();
    auto V = K.Values->find(FFoldedName);
    return V == K.Values->end() ? nullptr : &V->second;
  }
  const TRegValue* ReadUncached(std::u16string_view Path, std::u16string_view Name,
                                const TDoing& Doing) {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    RegistryNames::CheckValueName(Name);
    TTransaction T(*this, false, Doing);
    const TRegValue* V = ReadOne(Parts, Name, Doing, Path);
    T.Commit();
    return V;
  }
  // Inside a transaction: the one value, read into FRead. A key below the root is found with
  // its value in one statement; its path (Path, as given) stays bound in it for the next read
  // of the same key (ReadOneBound).
  const TRegValue* ReadOne(const std::vector<UnicodeString>& Parts, std::u16string_view Name,
                           const TDoing& Doing, std::u16string_view Path) {
    sqlite3_stmt* S = nullptr;
    if (!Parts.empty() && Parts.size() <= MaxJoinedParts) {
      SimpleFoldCaseInto(Name, FFoldedName);
      FBoundDepth = 0;
      S = PathStmt(SPathValue[Parts.size() - 1], Parts.size(), true);
      BindPath(S, Parts);
      FBoundDepth = Parts.size();
      FBoundPath.assign(Path);
      return ReadOneBound(Doing);
    }
    FRead.reset();
    if (sqlite3_int64 Key = FindKey(Parts, false, Doing)) {
      S = Stmt(SReadValue, "SELECT name, type, data FROM reg_values "
                           "WHERE key = ?1 AND folded = ?2");
      sqlite3_bind_int64(S, 1, Key);
      BindText(S, 2, RegistryNames::Fold(Name));
    }
    return ReadRow(S, Doing);
  }
  // The value FFoldedName of the key bound last by ReadOne (FBoundDepth parts).
  const TRegValue* ReadOneBound(const TDoing& Doing) {
    sqlite3_stmt* S = SPathValue[FBoundDepth - 1].get();
    sqlite3_reset(S);
    FBindBuffer.clear();
    TryUTF8Encode(FFoldedName, FBindBuffer);
    sqlite3_bind_text(S, static_cast<int>(FBoundDepth) + 1, FBindBuffer.data(),
                      static_cast<int>(FBindBuffer.size()), SQLITE_TRANSIENT);
    FRead.reset();
    return ReadRow(S, Doing);
  }
  // Steps S (null: nothing to read) to the value it answers, into FRead.
  const TRegValue* ReadRow(sqlite3_stmt* S, const TDoing& Doing) {
    if (S && Step(S, Doing)) {
      FRead.emplace();
      FRead->Name = ColumnText(S, 0);
      FRead->Type = static_cast<uint32_t>(sqlite3_column_int64(S, 1));
      const auto* Data = static_cast<const uint8_t*>(sqlite3_column_blob(S, 2));
      FRead->Data.assign(Data, Data + sqlite3_column_bytes(S, 2));
      sqlite3_reset(S);
    }
    return FRead ? &*FRead : nullptr;
  }
  // The id of key Path (0: missing), from the cache when it is current.
  sqlite3_int64 KeyId(std::u16string_view Path, const std::vector<UnicodeString>& Parts,
                      bool Failing, const TDoing& Doing) {
    const bool UseCache = !Failing && FSnapshots == 0;
    if (UseCache) {
      SimpleFoldCaseInto(Path, FFoldedPath);
      if (CacheCertainlyCurrent())
        if (TCachedKey* K = KeptKey())
          return K->Id;
    }
    TTransaction T(*this, false, Doing);
    TCachedKey* K = UseCache ? KeptKey() : nullptr;
    sqlite3_int64 Id = K ? K->Id : FindKey(Parts, false, Doing);
    T.Commit();
    return Id;
  }

  // --- statements -----------------------------------------------------------------------------

  // Every transaction is refused on a hive whose files were deleted, replaced or emptied since
  // they were opened, and changes also on a hive opened read-only or whose file has become
  // read-only: going on would let SQLite fold the journal into a file that is not the one it
  // belongs to, or one the user meant to keep as it is.
  void CheckWritable(const TDoing& Doing, bool Write) { CheckFiles(FHive, Doing, Write); }
  void Run(TStmt& Slot, const char* Sql, const TDoing& Doing) {
    while (Step(Stmt(Slot, Sql), Doing)) {
    }
  }
  void Rollback() noexcept {
    if (!SRollback) {
      sqlite3_stmt* S = nullptr;
      sqlite3_prepare_v3(Db(), "ROLLBACK", -1, SQLITE_PREPARE_PERSISTENT, &S, nullptr);
      SRollback.reset(S);
    }
    if (SRollback) {
      sqlite3_step(SRollback.get());
      sqlite3_reset(SRollback.get());
    } else {
      sqlite3_exec(Db(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  // The statement kept in Slot, prepared on first use and reset for the next one.
  sqlite3_stmt* Stmt(TStmt& Slot, const char* Sql) {
    if (!Slot) {
      sqlite3_stmt* S = nullptr;
      int Rc = sqlite3_prepare_v3(Db(), Sql, -1, SQLITE_PREPARE_PERSISTENT, &S, nullptr);
      if (Rc != SQLITE_OK)
        Fail(FHive, TDoing(u"prepare a query"), Rc);
      Slot.reset(S);
    }
    sqlite3_reset(Slot.get());
    sqlite3_clear_bindings(Slot.get());
    return Slot.get();
  }
  // The statement kept in Slot that finds the key of a path of Depth parts, bound as ?1..?Depth
  // (folded), by joining one row of reg_keys per part: one statement instead of one per part.
  // WithValue: it answers the value folded as ?Depth+1 of that key (name, type, data) instead
  // of the key's id.
  sqlite3_stmt* PathStmt(TStmt& Slot, size_t Depth, bool WithValue) {
    if (!Slot) {
      std::string Sql =
          WithValue ? "SELECT v.name, v.type, v.data" : "SELECT k" + std::to_string(Depth) + ".id";
      Sql += " FROM reg_keys k1";
      for (size_t I = 2; I <= Depth; ++I) {
        const std::string K = "k" + std::to_string(I);
        Sql += " JOIN reg_keys " + K + " ON " + K + ".parent = k" + std::to_string(I - 1) +
               ".id AND " + K + ".folded = ?" + std::to_string(I);
      }
      if (WithValue)
        Sql += " JOIN reg_values v ON v.key = k" + std::to_string(Depth) + ".id AND v.folded = ?" +
               std::to_string(Depth + 1);
      Sql += " WHERE k1.parent = " + std::to_string(RootKeyId) + " AND k1.folded = ?1";
      return Stmt(Slot, Sql.c_str());
    }
    return Stmt(Slot, nullptr);
  }
  static void BindPath(sqlite3_stmt* S, const std::vector<UnicodeString>& Parts) {
    for (size_t I = 0; I < Parts.size(); ++I)
      BindText(S, static_cast<int>(I) + 1, RegistryNames::Fold(Parts[I]));
  }
  // Steps once: true with a row, false when done.
  bool Step(sqlite3_stmt* S, const TDoing& Doing) {
    int Rc = sqlite3_step(S);
    if (Rc == SQLITE_ROW)
      return true;
    if (Rc == SQLITE_DONE) {
      sqlite3_reset(S);
      return false;
    }
    std::string Message = sqlite3_errmsg(Db());
    sqlite3_reset(S);
    Fail(FHive, Doing, Rc, Message);
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
  // transaction; sets FKeyCreated when it creates a key.
  sqlite3_int64 FindKey(const std::vector<UnicodeString>& Parts, bool Create, const TDoing& Doing) {
    // An existing key is found in one statement, whatever its depth (up to MaxJoinedParts); one
    // that is missing is then created part by part.
    if (!Parts.empty() && Parts.size() <= MaxJoinedParts) {
      sqlite3_stmt* S = PathStmt(SPathKey[Parts.size() - 1], Parts.size(), false);
      BindPath(S, Parts);
      if (Step(S, Doing)) {
        const sqlite3_int64 Key = sqlite3_column_int64(S, 0);
        sqlite3_reset(S);
        return Key;
      }
      if (!Create)
        return 0;
    }
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
      Key = sqlite3_last_insert_rowid(Db());
      FKeyCreated = true;
    }
    return Key;
  }
  void WriteValueIn(sqlite3_int64 Key, const TRegValue& Value, const TDoing& Doing) {
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
  void DeleteValueIn(sqlite3_int64 Key, std::u16string_view Name, const TDoing& Doing) {
    sqlite3_stmt* S = Stmt(SDeleteValue, "DELETE FROM reg_values WHERE key = ?1 AND folded = ?2");
    sqlite3_bind_int64(S, 1, Key);
    BindText(S, 2, RegistryNames::Fold(Name));
    Step(S, Doing);
  }
  void DeleteKeyIn(const std::vector<UnicodeString>& Parts, const TDoing& Doing) {
    sqlite3_int64 Key = FindKey(Parts, false, Doing);
    if (!Key)
      return;
    // The key and every key below it, deepest first: a key is always inserted after its parent,
    // so a larger id never belongs to an ancestor. Deleted bottom-up, a key has nothing left
    // below it for the schema's ON DELETE CASCADE to delete, which would otherwise nest one
    // level of trigger per level of the tree (and fail past SQLite's limit of 1,000).
    sqlite3_stmt* S = Stmt(SKeyTree, "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                                     "SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id) "
                                     "SELECT id FROM tree ORDER BY id DESC");
    sqlite3_bind_int64(S, 1, Key);
    std::vector<sqlite3_int64> Tree;
    while (Step(S, Doing))
      Tree.push_back(sqlite3_column_int64(S, 0));
    for (sqlite3_int64 Id : Tree) {
      S = Stmt(SDeleteKeyValues, "DELETE FROM reg_values WHERE key = ?1");
      sqlite3_bind_int64(S, 1, Id);
      Step(S, Doing);
      S = Stmt(SDeleteKey, "DELETE FROM reg_keys WHERE id = ?1");
      sqlite3_bind_int64(S, 1, Id);
      Step(S, Doing);
    }
  }
  std::vector<UnicodeString> Names(std::u16string_view Path, TStmt& Slot, const char* Sql,
                                   std::u16string_view What) {
    auto Parts = RegistryNames::SplitKeyPath(Path);
    TOperation Op(hoRead, Db());
    const TDoing Doing = TDoing::OfKey(What, Path);
    TTransaction T(*this, false, Doing);
    std::vector<UnicodeString> R;
    sqlite3_int64 Key = FindKey(Parts, false, Doing);
    if (!Key)
      return R;
    sqlite3_stmt* S = Stmt(Slot, Sql);
    sqlite3_bind_int64(S, 1, Key);
    while (Step(S, Doing))
      R.push_back(ColumnText(S, 0));
    T.Commit();
    return R;
  }

  // Declared first, so that the statements below are finalised before the connection closes.
  THiveFile FHive;
  int FSnapshots = 0;         // nesting depth of ReadSnapshot
  bool FUnflushed = false;    // this handle committed changes since its last flush
  bool FKeyCreated = false;   // set by FindKey when it creates a key
  bool FHeaderCheck = true;   // the quick test of CacheCurrent is usable
  bool FVersionStale = false; // relayed commits were followed since FCacheVersion was read
  unsigned FCommitsRelayed = 0, FCommitsFollowed = 0;
  std::vector<std::shared_ptr<const TRelayRecord>> FRelaySteps; // kept to fill without allocating
  std::shared_ptr<TCommitRelay::TFile> FRelayFile; // null: the handle neither relays nor follows
  std::unordered_map<UnicodeString, TCachedKey> FKeys; // by folded key path
  size_t FCachedValues = 0;
  unsigned FKeysTaken = 0;          // keys taken from other handles (AdoptKey)
  sqlite3_int64 FCacheVersion = -1; // the data version FKeys was read at; -1: none
  TWalHeader FCacheHeader{};        // the WAL index header when FKeys was last found current
  bool FCacheHeaderValid = false;
  UnicodeString FFoldedPath, FFoldedName; // kept to fold into without allocating
  TCachedKey* FLastKey = nullptr;         // the kept key last read from (FKeys keeps it in place)
  UnicodeString FLastPath;                // and its path as the caller gave it
  sqlite3_file* FMainFile = nullptr;      // the connection's hive file, once asked for
  THiveShmView FShmView;                  // where its mapping is kept (asked for with it)
  std::optional<TRegValue> FRead;         // what the last read of a single value found
  UnicodeString FSingleReadPath;          // the key of the last single read (folded)
  UnicodeString FBoundPath;               // the path bound in SPathValue[FBoundDepth - 1], as given
  size_t FBoundDepth = 0;                 // 0: none
  std::string FBindBuffer;                // a name in UTF-8, kept to encode into without allocating
  sqlite3_int64 FSingleReadVersion = -1;  // and the data version it was made at
  TStmt SBegin[2], SCommit, SRollback, SFindKey, SInsertKey, SKeyValues, SReadValue, SWriteValue,
      SDeleteValue, SDeleteKey, SKeyTree, SDeleteKeyValues, SValueNames, SSubKeyNames, SDataVersion;
  TStmt SPathKey[MaxJoinedParts], SPathValue[MaxJoinedParts]; // by the path's depth, minus one
};

} // namespace

std::unique_ptr<TRegistryHive> OpenSqliteHive(const UnicodeString& Path,
                                              std::chrono::milliseconds BusyTimeout) {
  return std::make_unique<TSqliteHive>(Path, BusyTimeout);
}

void SetHiveOperationWatcher(THiveOperationWatcher* Watcher) {
  OperationWatcher.store(Watcher, std::memory_order_release);
}

bool SqliteHiveUsesHeaderCheck(TRegistryHive& Hive) {
  auto* H = dynamic_cast<TSqliteHive*>(&Hive);
  return H && H->UsesHeaderCheck();
}

unsigned SqliteHiveKeysTaken(TRegistryHive& Hive) {
  auto* H = dynamic_cast<TSqliteHive*>(&Hive);
  return H ? H->KeysTaken() : 0;
}

unsigned SqliteHiveCommitsRelayed(TRegistryHive& Hive) {
  auto* H = dynamic_cast<TSqliteHive*>(&Hive);
  return H ? H->CommitsRelayed() : 0;
}

unsigned SqliteHiveCommitsFollowed(TRegistryHive& Hive) {
  auto* H = dynamic_cast<TSqliteHive*>(&Hive);
  return H ? H->CommitsFollowed() : 0;
}
