// The messages of the SQLite hive's failures: what was being done, in which file, and the
// problem in words rather than SQLite's codes.
#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"
#include "rtl/SqliteHive_p.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace SqliteHiveDetail {

UnicodeString Quoted(std::u16string_view S) {
  return u"'" + UnicodeString(S) + u"'";
}

UnicodeString TDoing::Text() const {
  UnicodeString T(FVerb);
  switch (FKind) {
  case Plain:
    break;
  case Key:
    T += RegistryNames::Shown(FPath);
    break;
  case Value:
    T += RegistryNames::Shown(FName) + u" of key " + RegistryNames::Shown(FPath);
    break;
  case Changes:
    T += IntToStr(static_cast<long long>(FCount)) + u" changes";
    break;
  }
  return T;
}

UnicodeString EmptiedProblem(const THiveFile& Hive) {
  return u"the file has been emptied (it is 0 bytes long) by something other than this "
         u"program; its journal " +
         Quoted(Hive.Path + u"-wal") + u", which may hold the last changes, is left as it is";
}

UnicodeString DamagedProblem(const THiveFile& Hive, const TDamagedPage& Damage) {
  const UnicodeString Page = IntToStr(Damage.Page);
  if (Damage.Journal)
    return u"its journal " + Quoted(Hive.Path + u"-wal") + u" is damaged: the page in frame " +
           Page + u" does not match its checksum";
  return u"the file is damaged: page " + Page + u" does not match its checksum";
}

namespace {

// True when the shared memory beside the hive counts more of the journal than the file at the
// journal's path holds: the journal was deleted or replaced while other processes kept the
// shared memory. SQLite then meets a short read (error code 522), which would otherwise read
// as a failing disk.
bool JournalShorterThanIndexed(const THiveFile& Hive) {
  sqlite3_file* F = nullptr;
  if (!Hive.Db ||
      sqlite3_file_control(Hive.Db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &F) != SQLITE_OK ||
      !F || !F->pMethods || F->pMethods->iVersion < 2)
    return false;
  void volatile* Mapped = nullptr;
  if (F->pMethods->xShmMap(F, 0, 32768, 0, &Mapped) != SQLITE_OK || !Mapped)
    return false;
  // The WAL index header: the page size (16 bits at 14, 1 for 65536) and the frames in the
  // journal (32 bits at 16), in the machine's byte order.
  unsigned char Header[20];
  for (size_t I = 0; I < sizeof Header; ++I)
    Header[I] = static_cast<const volatile unsigned char*>(Mapped)[I];
  uint16_t PageSize;
  uint32_t Frames;
  std::memcpy(&PageSize, Header + 14, 2);
  std::memcpy(&Frames, Header + 16, 4);
  const long long Page = PageSize == 1 ? 65536 : PageSize;
  struct stat St;
  if (Frames == 0 || ::stat((Hive.File + "-wal").c_str(), &St) != 0)
    return Frames != 0;
  return St.st_size < 32 + static_cast<long long>(Frames) * (Page + 24);
}

} // namespace

void Fail(const THiveFile& Hive, const TDoing& Doing, const UnicodeString& Problem) {
  throw ERegistryException(u"Cannot " + Doing.Text() +
                           (Doing.OnHive() ? u" the registry hive " : u" in the registry hive ") +
                           Quoted(Hive.Path) + u": " + Problem);
}

void Fail(const THiveFile& Hive, const TDoing& Doing, int Rc) {
  Fail(Hive, Doing, Rc, Hive.Db ? sqlite3_errmsg(Hive.Db.get()) : sqlite3_errstr(Rc));
}

void Fail(const THiveFile& Hive, const TDoing& Doing, int Rc, const std::string& Message) {
  const UnicodeString Detail = UTF8Decode(Message);
  const int Errno = Hive.Db ? sqlite3_system_errno(Hive.Db.get()) : 0;
  if (Hive.Opened && FileSize(Hive.File) == 0)
    Fail(Hive, Doing, EmptiedProblem(Hive));
  if ((Rc & 0xFF) != SQLITE_BUSY && (Errno == ENOSPC || Errno == EDQUOT))
    Rc = SQLITE_FULL;
  if (Rc == SQLITE_IOERR_DATA)
    Fail(Hive, Doing, DamagedProblem(Hive, TakeDamagedPage()));
  if (((Rc & 0xFF) == SQLITE_READONLY || (Rc & 0xFF) == SQLITE_FULL ||
       (Rc & 0xFF) == SQLITE_IOERR) &&
      ShmFull(Hive.Db.get()))
    Fail(Hive, Doing,
         u"the disk is full: the hive's shared memory " + Quoted(Hive.Path + u"-shm") +
             u" cannot be allocated, so this handle reads the hive but cannot change it (open "
             u"the hive again once there is space)");
  UnicodeString Problem;
  switch (Rc & 0xFF) {
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    Problem =
        u"it is locked by another process (waited " + IntToStr(Hive.BusyTimeout.count()) + u" ms)";
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
    if (Rc == SQLITE_IOERR_SHORT_READ && JournalShorterThanIndexed(Hive))
      Problem = u"its journal " + Quoted(Hive.Path + u"-wal") +
                u" is shorter than its shared memory " + Quoted(Hive.Path + u"-shm") +
                u" says: the journal was deleted or replaced while another process had the hive "
                u"open; once every program using the hive has closed it, it opens again (the "
                u"changes that were only in the journal are lost)";
    else
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
  Fail(Hive, Doing, Problem);
}

} // namespace SqliteHiveDetail
