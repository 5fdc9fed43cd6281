// Cost of TRegIniFile::WriteString on an SQLite hive file (each call is its own committed
// transaction) and of ReadString (what every menu opening does, once per palette tab). Runs on
// a fresh hive in a temporary folder (never the user's). Counters: allocs_per_read, the blocks
// one read allocates through operator new.
#include "Allocations.h"

#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"
#include "rtl/SqliteHiveHooks.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class TTempHive {
public:
  TTempHive() {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/hostide-bench-XXXXXX";
    if (!::mkdtemp(Pattern.data()))
      std::abort();
    FDir = Pattern;
    Reg = Open();
  }
  // Another handle on the same hive, as another IDE or the add-in's dialog has.
  std::unique_ptr<TRegIniFile> Open() const {
    return std::make_unique<TRegIniFile>(u"Software\\Orvik\\Palette Menu",
                                         OpenSqliteHive(UTF8Decode(FDir + "/HKCU.db")));
  }
  ~TTempHive() {
    Reg.reset();
    std::error_code Ec;
    std::filesystem::remove_all(FDir, Ec);
  }
  std::string File() const { return FDir + "/HKCU.db"; }
  std::unique_ptr<TRegIniFile> Reg;

private:
  std::string FDir;
};

void OneWriteString(benchmark::State& State) {
  TTempHive H;
  long long I = 0;
  for (auto _ : State)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I++ % 50), u"Common;VCL;Data Access");
}
BENCHMARK(OneWriteString)->Unit(benchmark::kMicrosecond);

// What the categories dialog does when the user confirms a large palette: 500 writes in a row,
// then one flush.
void FiveHundredWriteStrings(benchmark::State& State) {
  TTempHive H;
  long long Round = 0;
  for (auto _ : State) {
    // Every value changes at every round.
    const UnicodeString Value = u"Common;VCL;" + IntToStr(++Round);
    for (int I = 0; I < 500; ++I)
      H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), Value);
    H.Reg->FlushKey();
  }
}
BENCHMARK(FiveHundredWriteStrings)->Unit(benchmark::kMillisecond);

// The same value read again with nothing changed in between: a menu opened twice.
void ReadStringUnchanged(benchmark::State& State) {
  TTempHive H;
  for (int I = 0; I < 50; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  const UnicodeString Section = u"Categories";
  const UnicodeString Name = u"Tab 7";
  const UnicodeString Default;
  H.Reg->ReadString(Section, Name, Default);
  const std::uint64_t Blocks = bench::BlocksAllocated();
  std::int64_t Reads = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(H.Reg->ReadString(Section, Name, Default));
    ++Reads;
  }
  State.counters["allocs_per_read"] =
      static_cast<double>(bench::BlocksAllocated() - Blocks) / static_cast<double>(Reads);
}
BENCHMARK(ReadStringUnchanged)->Unit(benchmark::kMicrosecond);

// A read right after another handle wrote to the hive (the write is not timed).
void ReadStringAfterAnotherHandleWrote(benchmark::State& State) {
  TTempHive H;
  auto Other = H.Open();
  for (int I = 0; I < 50; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  long long N = 0;
  for (auto _ : State) {
    State.PauseTiming();
    Other->WriteString(u"Categories", u"Tab 7", IntToStr(++N));
    State.ResumeTiming();
    if (H.Reg->ReadString(u"Categories", u"Tab 7", u"") != IntToStr(N))
      State.SkipWithError("the other handle's write was not seen");
  }
}
BENCHMARK(ReadStringAfterAnotherHandleWrote)->Unit(benchmark::kMicrosecond);

// A read right after a connection that is not a handle of this process (as another process's
// would be) changed the value: no relayed commit leads to it, so the read asks SQLite.
void ReadStringAfterAnotherConnectionWrote(benchmark::State& State) {
  TTempHive H;
  for (int I = 0; I < 50; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  sqlite3* Db = nullptr;
  if (sqlite3_open_v2(H.File().c_str(), &Db, SQLITE_OPEN_READWRITE, SqliteHiveVfsName()) !=
      SQLITE_OK) {
    State.SkipWithError("cannot open the hive file");
    return;
  }
  sqlite3_stmt* S = nullptr;
  sqlite3_prepare_v2(Db, "UPDATE reg_values SET data = ?1 WHERE folded = 'tab 7'", -1, &S, nullptr);
  long long N = 0;
  for (auto _ : State) {
    State.PauseTiming();
    // "0" to "9" as UTF-16 with its final NUL.
    const char16_t Text[2] = {static_cast<char16_t>(u'0' + ++N % 10), 0};
    sqlite3_bind_blob(S, 1, Text, sizeof Text, SQLITE_TRANSIENT);
    sqlite3_step(S);
    sqlite3_reset(S);
    State.ResumeTiming();
    if (H.Reg->ReadString(u"Categories", u"Tab 7", u"") != IntToStr(N % 10))
      State.SkipWithError("the other connection's write was not seen");
  }
  sqlite3_finalize(S);
  sqlite3_close(Db);
}
BENCHMARK(ReadStringAfterAnotherConnectionWrote)->Unit(benchmark::kMicrosecond);

// What asking SQLite whether another connection committed costs (PRAGMA data_version on a
// connection of its own, outside a transaction), beside the journal header's comparison that
// ReadStringUnchanged includes.
void DataVersionQuery(benchmark::State& State) {
  TTempHive H;
  H.Reg->WriteString(u"Categories", u"Tab 1", u"Common");
  sqlite3* Db = nullptr;
  if (sqlite3_open(H.File().c_str(), &Db) != SQLITE_OK) {
    State.SkipWithError("cannot open the hive file");
    return;
  }
  sqlite3_stmt* S = nullptr;
  sqlite3_prepare_v2(Db, "PRAGMA data_version", -1, &S, nullptr);
  for (auto _ : State) {
    if (sqlite3_step(S) != SQLITE_ROW)
      State.SkipWithError("PRAGMA data_version failed");
    benchmark::DoNotOptimize(sqlite3_column_int64(S, 0));
    sqlite3_reset(S);
  }
  sqlite3_finalize(S);
  sqlite3_close(Db);
}
BENCHMARK(DataVersionQuery)->Unit(benchmark::kMicrosecond);

// The first read of a key of Values values through a new handle (what a new dialog or the
// first menu opening does), then the rest of its values (untimed: answered from memory).
void FirstReadOfAKey(benchmark::State& State) {
  TTempHive H;
  const int Values = static_cast<int>(State.range(0));
  for (int I = 0; I < Values; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  for (auto _ : State) {
    State.PauseTiming();
    auto Reader = H.Open();
    State.ResumeTiming();
    benchmark::DoNotOptimize(Reader->ReadString(u"Categories", u"Tab 1", u""));
    State.PauseTiming();
    Reader.reset();
    State.ResumeTiming();
  }
}
BENCHMARK(FirstReadOfAKey)->Arg(50)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Opening a new handle on a hive of Values values and closing it (what the categories dialog
// does at every opening): the file is identified and checked as a hive each time.
void OpenHandle(benchmark::State& State) {
  TTempHive H;
  const int Values = static_cast<int>(State.range(0));
  for (int I = 0; I < Values; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  for (auto _ : State)
    benchmark::DoNotOptimize(H.Open());
}
BENCHMARK(OpenHandle)->Arg(50)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Every value of a key of Values values read through a new handle (what the categories dialog
// does), with or without another handle of the process (the menus') having loaded the key and
// nothing committed since: then the new handle takes the values that handle loaded.
void AllValuesThroughANewHandle(benchmark::State& State) {
  TTempHive H;
  const int Values = static_cast<int>(State.range(0));
  std::vector<UnicodeString> Names;
  for (int I = 0; I < Values; ++I) {
    Names.push_back(u"Tab " + IntToStr(I));
    H.Reg->WriteString(u"Categories", Names.back(), u"Common;VCL;Data Access");
  }
  if (State.range(1)) {
    H.Reg->ReadString(u"Categories", Names[0], u"");
    H.Reg->ReadString(u"Categories", Names[1], u"");
  }
  for (auto _ : State) {
    State.PauseTiming();
    auto Reader = H.Open();
    State.ResumeTiming();
    for (const UnicodeString& Name : Names)
      benchmark::DoNotOptimize(Reader->ReadString(u"Categories", Name, u""));
    State.PauseTiming();
    Reader.reset();
    State.ResumeTiming();
  }
}
BENCHMARK(AllValuesThroughANewHandle)
    ->ArgsProduct({{5000}, {0, 1}})
    ->ArgNames({"", "Loaded"})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
