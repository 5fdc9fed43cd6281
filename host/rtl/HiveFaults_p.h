// Between the SQLite hive and its failure injection: the file layer every hive file is opened
// through, and the marker of one counted hive operation.
#pragma once

#include "rtl/HiveFaults.h"

struct sqlite3;

namespace HiveFaults::detail {

// The name of the file layer, registered with SQLite by RegisterVfs (once per process).
extern const char* const VfsName;
void RegisterVfs();

// One counted hive operation: when it is one chosen to fail, the file layer refuses what it
// needs until the operation ends. Db (may be null) is the connection the operation uses.
class TCountedOperation {
public:
  TCountedOperation(THiveOperation Kind, sqlite3* Db);
  ~TCountedOperation();
  TCountedOperation(const TCountedOperation&) = delete;
  TCountedOperation& operator=(const TCountedOperation&) = delete;
  // True when this operation was chosen to fail: it must reach the file to meet its failure.
  bool Failing() const { return FFailing; }

private:
  bool FFailing = false;
};

} // namespace HiveFaults::detail
