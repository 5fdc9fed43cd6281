#include "HiveFaults.h"

#include "rtl/Exception.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace {

// --- failure injection: a pass-through file layer that can refuse calls ---------------------

enum : unsigned { RefuseReads = 1, RefuseWrites = 2 };

// Armed only while an operation chosen to fail runs, on the thread that runs it.
thread_local unsigned ArmedIo = 0;
thread_local int IoPassesLeft = 0;
thread_local bool DiskFull = false;
// The system error of the last refused call, reported through the layer's xGetLastError.
thread_local int RefusedErrno = 0;

struct TInjection {
  std::mutex Lock;
  bool Active = false;
  unsigned Operations = 0;
  int Pass = 0;
  int Fail = 0;
  int IoPasses = 0;
  THiveFault Fault = hfIoError;
  int Seen = 0;
  int Failed = 0;
  std::atomic<int> Refused{0};
};
// The records outlive every other static object: a hive held by one may be closed at exit.
TInjection& Injection() {
  static TInjection& I = *new TInjection;
  return I;
}

bool Refuse(unsigned Kind) {
  if (!(ArmedIo & Kind))
    return false;
  if (IoPassesLeft > 0) {
    --IoPassesLeft;
    return false;
  }
  ++Injection().Refused;
  RefusedErrno = DiskFull ? ENOSPC : EIO;
  return true;
}

// The layer's file: our header, then the real file of the underlying layer.
struct TShimFile {
  sqlite3_file Base;
  sqlite3_file* Real;
  const char* Name; // a hive file or journal (whose syncs are tracked), else null
};

// Hive files and journals by name: whether written since their last sync. A sync through any
// handle on a file covers what every handle wrote to it.
struct TSyncs {
  std::mutex Lock;
  std::map<std::string, bool> Unsynced;
  std::atomic<int> Count{0};
};
TSyncs& SyncRecord() {
  static TSyncs& S = *new TSyncs;
  return S;
}
void Written(sqlite3_file* F) {
  if (const char* Name = reinterpret_cast<TShimFile*>(F)->Name) {
    std::lock_guard<std::mutex> G(SyncRecord().Lock);
    SyncRecord().Unsynced[Name] = true;
  }
}
void Synced(sqlite3_file* F) {
  if (const char* Name = reinterpret_cast<TShimFile*>(F)->Name) {
    ++SyncRecord().Count;
    std::lock_guard<std::mutex> G(SyncRecord().Lock);
    SyncRecord().Unsynced[Name] = false;
  }
}
sqlite3_file* RealFile(sqlite3_file* F) {
  return reinterpret_cast<TShimFile*>(F)->Real;
}
const sqlite3_io_methods* RealMethods(sqlite3_file* F) {
  return RealFile(F)->pMethods;
}

int ShimClose(sqlite3_file* F) {
  return RealMethods(F)->xClose(RealFile(F));
}
int ShimRead(sqlite3_file* F, void* Buf, int Amount, sqlite3_int64 Offset) {
  if (Refuse(RefuseReads))
    return SQLITE_IOERR_READ;
  return RealMethods(F)->xRead(RealFile(F), Buf, Amount, Offset);
}
int ShimWrite(sqlite3_file* F, const void* Buf, int Amount, sqlite3_int64 Offset) {
  if (Refuse(RefuseWrites))
    return DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  Written(F);
  return RealMethods(F)->xWrite(RealFile(F), Buf, Amount, Offset);
}
int ShimTruncate(sqlite3_file* F, sqlite3_int64 Size) {
  if (Refuse(RefuseWrites))
    return SQLITE_IOERR_TRUNCATE;
  Written(F);
  return RealMethods(F)->xTruncate(RealFile(F), Size);
}
int ShimSync(sqlite3_file* F, int Flags) {
  if (Refuse(RefuseWrites))
    return SQLITE_IOERR_FSYNC;
  int Rc = RealMethods(F)->xSync(RealFile(F), Flags);
  if (Rc == SQLITE_OK)
    Synced(F);
  return Rc;
}
int ShimFileSize(sqlite3_file* F, sqlite3_int64* Size) {
  return RealMethods(F)->xFileSize(RealFile(F), Size);
}
int ShimLock(sqlite3_file* F, int Level) {
  return RealMethods(F)->xLock(RealFile(F), Level);
}
int ShimUnlock(sqlite3_file* F, int Level) {
  return RealMethods(F)->xUnlock(RealFile(F), Level);
}
int ShimCheckReservedLock(sqlite3_file* F, int* Out) {
  return RealMethods(F)->xCheckReservedLock(RealFile(F), Out);
}
int ShimFileControl(sqlite3_file* F, int Op, void* Arg) {
  return RealMethods(F)->xFileControl(RealFile(F), Op, Arg);
}
int ShimSectorSize(sqlite3_file* F) {
  return RealMethods(F)->xSectorSize(RealFile(F));
}
int ShimDeviceCharacteristics(sqlite3_file* F) {
  return RealMethods(F)->xDeviceCharacteristics(RealFile(F));
}
int ShimShmMap(sqlite3_file* F, int Region, int Size, int Extend, void volatile** Out) {
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_IOERR_SHMMAP;
  // Growing the shared memory file writes to the disk.
  if (Extend && DiskFull && Refuse(RefuseWrites))
    return SQLITE_IOERR_SHMSIZE;
  return RealMethods(F)->xShmMap(RealFile(F), Region, Size, Extend, Out);
}
// Run once right after a connection releases a journal's write lock (HiveFiles::AfterWriteRelease).
std::mutex ReleaseLock;
std::function<void()>& AfterRelease() {
  static std::function<void()>* F = new std::function<void()>;
  return *F;
}
int ShimShmLock(sqlite3_file* F, int Offset, int N, int Flags) {
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_IOERR_SHMLOCK;
  const int Rc = RealMethods(F)->xShmLock(RealFile(F), Offset, N, Flags);
  if (Offset == 0 && Flags == (SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE)) {
    std::function<void()> Run;
    {
      std::lock_guard<std::mutex> G(ReleaseLock);
      Run.swap(AfterRelease());
    }
    if (Run)
      Run();
  }
  return Rc;
}
void ShimShmBarrier(sqlite3_file* F) {
  if (RealMethods(F)->iVersion >= 2)
    RealMethods(F)->xShmBarrier(RealFile(F));
}
int ShimShmUnmap(sqlite3_file* F, int Delete) {
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_OK;
  return RealMethods(F)->xShmUnmap(RealFile(F), Delete);
}
int ShimFetch(sqlite3_file* F, sqlite3_int64 Offset, int Amount, void** Out) {
  // Without a mapping SQLite falls back to xRead, where a refusal can happen.
  if (RealMethods(F)->iVersion < 3 || (ArmedIo & RefuseReads)) {
    *Out = nullptr;
    return SQLITE_OK;
  }
  return RealMethods(F)->xFetch(RealFile(F), Offset, Amount, Out);
}
int ShimUnfetch(sqlite3_file* F, sqlite3_int64 Offset, void* P) {
  if (RealMethods(F)->iVersion < 3)
    return SQLITE_OK;
  return RealMethods(F)->xUnfetch(RealFile(F), Offset, P);
}

const sqlite3_io_methods ShimMethods = {
    3,
    ShimClose,
    ShimRead,
    ShimWrite,
    ShimTruncate,
    ShimSync,
    ShimFileSize,
    ShimLock,
    ShimUnlock,
    ShimCheckReservedLock,
    ShimFileControl,
    ShimSectorSize,
    ShimDeviceCharacteristics,
    ShimShmMap,
    ShimShmLock,
    ShimShmBarrier,
    ShimShmUnmap,
    ShimFetch,
    ShimUnfetch,
};

sqlite3_vfs* BaseVfs(sqlite3_vfs* V) {
  return static_cast<sqlite3_vfs*>(V->pAppData);
}

int ShimOpen(sqlite3_vfs* V, const char* Name, sqlite3_file* F, int Flags, int* OutFlags) {
  auto* S = reinterpret_cast<TShimFile*>(F);
  S->Real = reinterpret_cast<sqlite3_file*>(S + 1);
  S->Name = Name && (Flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL)) ? Name : nullptr;
  int Rc = BaseVfs(V)->xOpen(BaseVfs(V), Name, S->Real, Flags, OutFlags);
  // SQLite calls xClose whenever pMethods is set, even after a failed open.
  F->pMethods = S->Real->pMethods ? &ShimMethods : nullptr;
  return Rc;
}
int ShimDelete(sqlite3_vfs* V, const char* Name, int SyncDir) {
  {
    std::lock_guard<std::mutex> G(SyncRecord().Lock);
    SyncRecord().Unsynced.erase(Name);
  }
  return BaseVfs(V)->xDelete(BaseVfs(V), Name, SyncDir);
}
int ShimAccess(sqlite3_vfs* V, const char* Name, int Flags, int* Out) {
  return BaseVfs(V)->xAccess(BaseVfs(V), Name, Flags, Out);
}
int ShimFullPathname(sqlite3_vfs* V, const char* Name, int N, char* Out) {
  return BaseVfs(V)->xFullPathname(BaseVfs(V), Name, N, Out);
}
void* ShimDlOpen(sqlite3_vfs* V, const char* Name) {
  return BaseVfs(V)->xDlOpen(BaseVfs(V), Name);
}
void ShimDlError(sqlite3_vfs* V, int N, char* Out) {
  BaseVfs(V)->xDlError(BaseVfs(V), N, Out);
}
void (*ShimDlSym(sqlite3_vfs* V, void* Lib, const char* Sym))(void) {
  return BaseVfs(V)->xDlSym(BaseVfs(V), Lib, Sym);
}
void ShimDlClose(sqlite3_vfs* V, void* Lib) {
  BaseVfs(V)->xDlClose(BaseVfs(V), Lib);
}
int ShimRandomness(sqlite3_vfs* V, int N, char* Out) {
  return BaseVfs(V)->xRandomness(BaseVfs(V), N, Out);
}
int ShimSleep(sqlite3_vfs* V, int Micro) {
  return BaseVfs(V)->xSleep(BaseVfs(V), Micro);
}
int ShimCurrentTime(sqlite3_vfs* V, double* Out) {
  return BaseVfs(V)->xCurrentTime(BaseVfs(V), Out);
}
int ShimGetLastError(sqlite3_vfs* V, int N, char* Out) {
  if (RefusedErrno != 0)
    return RefusedErrno;
  return BaseVfs(V)->xGetLastError ? BaseVfs(V)->xGetLastError(BaseVfs(V), N, Out) : 0;
}
int ShimCurrentTimeInt64(sqlite3_vfs* V, sqlite3_int64* Out) {
  if (BaseVfs(V)->iVersion >= 2 && BaseVfs(V)->xCurrentTimeInt64)
    return BaseVfs(V)->xCurrentTimeInt64(BaseVfs(V), Out);
  double Days = 0;
  int Rc = BaseVfs(V)->xCurrentTime(BaseVfs(V), &Days);
  *Out = static_cast<sqlite3_int64>(Days * 86400000.0);
  return Rc;
}

const char* const VfsName = "hostide-hive-faults";

// The watcher of the hive's operations: arms the file layer for an operation chosen to fail.
class TFaultWatcher final : public THiveOperationWatcher {
public:
  bool Begin(THiveOperation Kind, sqlite3* Db) override {
    TInjection& I = Injection();
    std::lock_guard<std::mutex> G(I.Lock);
    if (!I.Active || !(I.Operations & Kind))
      return false;
    ++I.Seen;
    if (I.Seen <= I.Pass || (I.Fail >= 0 && I.Seen > I.Pass + I.Fail))
      return false;
    ++I.Failed;
    DiskFull = I.Fault == hfDiskFull;
    if (Kind == hoWrite || DiskFull) {
      ArmedIo = RefuseWrites;
    } else {
      ArmedIo = RefuseReads | RefuseWrites;
      // Pages already in the cache would let a read succeed without touching the file.
      if (Db)
        sqlite3_db_release_memory(Db);
    }
    IoPassesLeft = I.IoPasses;
    return true;
  }
  void End() override {
    ArmedIo = 0;
    IoPassesLeft = 0;
    DiskFull = false;
    RefusedErrno = 0;
  }
};

// Linking this file in makes the layer SQLite's default and installs the watcher, before any
// test opens a hive.
struct TRegistration {
  TRegistration() {
    static sqlite3_vfs Shim;
    static TFaultWatcher Watcher;
    sqlite3_initialize();
    sqlite3_vfs* Base = sqlite3_vfs_find(nullptr);
    if (!Base)
      std::abort();
    Shim.iVersion = 2;
    Shim.szOsFile = static_cast<int>(sizeof(TShimFile)) + Base->szOsFile;
    Shim.mxPathname = Base->mxPathname;
    Shim.zName = VfsName;
    Shim.pAppData = Base;
    Shim.xOpen = ShimOpen;
    Shim.xDelete = ShimDelete;
    Shim.xAccess = ShimAccess;
    Shim.xFullPathname = ShimFullPathname;
    Shim.xDlOpen = ShimDlOpen;
    Shim.xDlError = ShimDlError;
    Shim.xDlSym = ShimDlSym;
    Shim.xDlClose = ShimDlClose;
    Shim.xRandomness = ShimRandomness;
    Shim.xSleep = ShimSleep;
    Shim.xCurrentTime = ShimCurrentTime;
    Shim.xGetLastError = ShimGetLastError;
    Shim.xCurrentTimeInt64 = ShimCurrentTimeInt64;
    if (sqlite3_vfs_register(&Shim, 1) != SQLITE_OK)
      std::abort();
    SetHiveOperationWatcher(&Watcher);
  }
};
const TRegistration Registration;

} // namespace

// --- THiveFaultInjection ----------------------------------------------------------------------

THiveFaultInjection::THiveFaultInjection(unsigned Operations, int Pass, int Fail,
                                         int IoCallsBeforeFailure, THiveFault Fault) {
  TInjection& I = Injection();
  std::lock_guard<std::mutex> G(I.Lock);
  if (I.Active)
    throw EInvalidOperation(u"A hive failure injection is already active");
  I.Active = true;
  I.Operations = Operations;
  I.Pass = Pass;
  I.Fail = Fail;
  I.IoPasses = IoCallsBeforeFailure;
  I.Fault = Fault;
  I.Seen = 0;
  I.Failed = 0;
  I.Refused = 0;
}

THiveFaultInjection::~THiveFaultInjection() {
  TInjection& I = Injection();
  std::lock_guard<std::mutex> G(I.Lock);
  I.Active = false;
}

int THiveFaultInjection::OperationsSeen() const {
  std::lock_guard<std::mutex> G(Injection().Lock);
  return Injection().Seen;
}
int THiveFaultInjection::OperationsFailed() const {
  std::lock_guard<std::mutex> G(Injection().Lock);
  return Injection().Failed;
}
int THiveFaultInjection::IoCallsRefused() const {
  return Injection().Refused;
}

namespace HiveFiles {

int Syncs() {
  return SyncRecord().Count;
}

void AfterWriteRelease(std::function<void()> Run) {
  std::lock_guard<std::mutex> G(ReleaseLock);
  AfterRelease() = std::move(Run);
}

int UnsyncedFiles(std::string_view Folder) {
  std::lock_guard<std::mutex> G(SyncRecord().Lock);
  int N = 0;
  for (const auto& [Name, Unsynced] : SyncRecord().Unsynced)
    N += Unsynced && std::string_view(Name).substr(0, Folder.size()) == Folder ? 1 : 0;
  return N;
}

} // namespace HiveFiles
