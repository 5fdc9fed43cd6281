// What tests of the SQLite hive plug into it. Production code sets nothing here: the hive then
// opens its files through SQLite's default file layer and a hook costs one pointer load.
#pragma once

class TRegistryHive;
struct sqlite3;

// The operations of the hive interface, as a watcher sees them: opening a hive file (hoOpen),
// a read (ReadValue, VisitValue, KeyExists, ValueNames, SubKeyNames: hoRead) and a change
// (CreateKey, WriteValue, DeleteValue, DeleteKey, Apply, and Flush when there is something to
// flush: hoWrite).
enum THiveOperation : unsigned {
  hoOpen = 1,
  hoRead = 2,
  hoWrite = 4,
  hoAnyOperation = hoOpen | hoRead | hoWrite,
};

// Told of the start and end of every operation on an SQLite hive of this process. Begin
// returns true when the operation is to meet a failure at the file level: the hive then reads
// and writes the file itself rather than answer from what it keeps in memory. Db is the
// operation's connection (null while opening).
class THiveOperationWatcher {
public:
  virtual bool Begin(THiveOperation Kind, sqlite3* Db) = 0;
  virtual void End() = 0;

protected:
  ~THiveOperationWatcher() = default;
};

// Installs Watcher (null: none) for every SQLite hive of the process. The watcher must outlive
// every operation that runs while it is installed.
void SetHiveOperationWatcher(THiveOperationWatcher* Watcher);

// True while the handle (an SQLite hive) finds out whether other connections changed the hive
// by comparing the journal's shared-memory header, which SQLite rewrites at each commit; false
// when it has found that the linked SQLite does not rewrite it and asks SQLite every time.
bool SqliteHiveUsesHeaderCheck(TRegistryHive& Hive);

// How many keys the handle (an SQLite hive) took as another handle of the process had loaded
// them, instead of reading them from the file.
unsigned SqliteHiveKeysTaken(TRegistryHive& Hive);

// How many of its commits the handle (an SQLite hive) relayed to the other handles of the
// process, and how many times it brought its cache up to date by commits they relayed instead
// of asking SQLite.
unsigned SqliteHiveCommitsRelayed(TRegistryHive& Hive);
unsigned SqliteHiveCommitsFollowed(TRegistryHive& Hive);

// The SQLite file layer hives are opened through (registered with SQLite by the first call). The
// pages of a hive carry checksums that only this layer writes: another connection that changes a
// hive must be opened through it, or the pages it writes read as damaged.
const char* SqliteHiveVfsName();
