// .reg files: what parses is imported into a memory hive and into an SQLite hive; both take it
// or refuse it alike and then hold the same keys and values. What the memory hive holds is
// exported and imported again into an empty hive, which must then hold the same.
#include "FuzzCheck.h"

#include "rtl/Exception.h"
#include "rtl/RegFile.h"
#include "rtl/SqliteHive.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every key (as stored, with its path) and every value with its type and data, in the hive's
// order: parents before their subkeys. The keys still to dump wait in a list, so that a deep
// tree takes no stack.
std::string Dump(TRegistryHive& Hive) {
  std::string Out;
  std::vector<UnicodeString> Pending{UnicodeString()};
  while (!Pending.empty()) {
    const UnicodeString Path = std::move(Pending.back());
    Pending.pop_back();
    Out += "[" + UTF8Encode(Path) + "]\n";
    for (const UnicodeString& Name : Hive.ValueNames(Path)) {
      const std::optional<TRegValue> V = Hive.ReadValue(Path, Name);
      FUZZ_CHECK(V.has_value(), "a listed value cannot be read: " + UTF8Encode(Name));
      FUZZ_CHECK(V->Name == Name, "a value reads back under another name: " + UTF8Encode(Name));
      Out += UTF8Encode(Name) + "=" + std::to_string(V->Type) + ":";
      for (uint8_t B : V->Data)
        Out += std::to_string(B) + ",";
      Out += "\n";
    }
    const std::vector<UnicodeString> Subs = Hive.SubKeyNames(Path);
    for (auto It = Subs.rbegin(); It != Subs.rend(); ++It) {
      FUZZ_CHECK(!It->empty(), "key [" + UTF8Encode(Path) + "] lists a subkey without a name");
      Pending.push_back(Path.empty() ? *It : Path + u"\\" + *It);
    }
  }
  return Out;
}

// The first line where two dumps differ, for the message of a failed check.
std::string FirstDifference(const std::string& A, const std::string& B) {
  size_t I = 0;
  while (I < A.size() && I < B.size() && A[I] == B[I])
    ++I;
  const size_t Start = I == 0 ? 0 : std::min(A.rfind('\n', I - 1), B.rfind('\n', I - 1)) + 1;
  auto Line = [&](const std::string& S) {
    if (Start >= S.size())
      return std::string("(nothing)");
    return S.substr(Start, S.find('\n', Start) - Start);
  };
  return Line(A) + "\n  against\n  " + Line(B);
}

void Clear(TRegistryHive& Hive) {
  for (const UnicodeString& Sub : Hive.SubKeyNames(u""))
    Hive.DeleteKey(Sub);
  for (const UnicodeString& Name : Hive.ValueNames(u""))
    Hive.DeleteValue(u"", Name);
}

// Applies Changes; true when the hive took them.
bool Import(TRegistryHive& Hive, const std::vector<TRegChange>& Changes, std::string& Why) {
  try {
    Hive.Apply(Changes);
    return true;
  } catch (const ERegistryException& E) {
    Why = E.what();
    return false;
  }
}

// One SQLite hive for the whole run, in a folder of its own that goes at exit.
TRegistryHive& SqliteHive() {
  struct THolder {
    std::filesystem::path Dir;
    std::unique_ptr<TRegistryHive> Hive;
    THolder() {
      const char* Shm = "/dev/shm";
      std::filesystem::path Base =
          std::filesystem::is_directory(Shm) ? Shm : std::filesystem::temp_directory_path();
      Dir = Base / ("regfile-fuzz-" + std::to_string(::getpid()));
      std::filesystem::create_directories(Dir);
      Hive = OpenSqliteHive(UTF8Decode((Dir / "HKCU.db").string()));
    }
    ~THolder() {
      Hive.reset();
      std::error_code Ignored;
      std::filesystem::remove_all(Dir, Ignored);
    }
  };
  static THolder Holder;
  return *Holder.Hive;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
  std::vector<TRegChange> Changes;
  try {
    Changes = ParseRegistryText(Bytes, u"fuzz.reg");
  } catch (const ERegistryException& E) {
    FUZZ_CHECK(std::string_view(E.what()).starts_with("Cannot import 'fuzz.reg', line "), E.what());
    return 0;
  }

  std::unique_ptr<TRegistryHive> Memory = NewMemoryHive();
  TRegistryHive& Sqlite = SqliteHive();
  // Emptied after each input, so that whatever it leaves is found with that input.
  struct TEmptied {
    TRegistryHive& Hive;
    ~TEmptied() {
      Clear(Hive);
      FUZZ_CHECK(Dump(Hive) == "[]\n", "the SQLite hive cannot be emptied again");
    }
  } Emptied{Sqlite};
  std::string MemoryWhy, SqliteWhy;
  const bool MemoryTook = Import(*Memory, Changes, MemoryWhy);
  const bool SqliteTook = Import(Sqlite, Changes, SqliteWhy);
  FUZZ_CHECK(MemoryTook == SqliteTook, "the hives disagree on the import: memory \"" + MemoryWhy +
                                           "\", SQLite \"" + SqliteWhy + "\"");
  const std::string Held = Dump(*Memory);
  const std::string HeldBySqlite = Dump(Sqlite);
  FUZZ_CHECK(Held == HeldBySqlite, "the hives hold different things after the import; memory: " +
                                       FirstDifference(Held, HeldBySqlite));
  if (!MemoryTook)
    FUZZ_CHECK(Held == "[]\n", "a refused import changed the hive");

  std::string Exported;
  try {
    Exported = ExportRegistryText(*Memory, u"");
  } catch (const ERegistryException& E) {
    // Only names the format cannot carry are refused.
    FUZZ_CHECK(std::string_view(E.what()).find("line break") != std::string_view::npos, E.what());
    return 0;
  }
  std::vector<TRegChange> Again;
  try {
    Again = ParseRegistryText(Exported, u"exported.reg");
  } catch (const ERegistryException& E) {
    FuzzFail(__FILE__, __LINE__, "ParseRegistryText(Exported)", E.what());
  }
  std::unique_ptr<TRegistryHive> Copy = NewMemoryHive();
  std::string CopyWhy;
  FUZZ_CHECK(Import(*Copy, Again, CopyWhy), "the export cannot be imported again: " + CopyWhy);
  const std::string HeldByCopy = Dump(*Copy);
  FUZZ_CHECK(HeldByCopy == Held,
             "export and import again changed the hive: " + FirstDifference(Held, HeldByCopy));
  return 0;
}
