// The messages of the SQLite hive's failures: what was being done, in which file, and the
// problem in words rather than SQLite's codes.
#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"
#include "rtl/SqliteHive_p.h"

#include <cerrno>

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
