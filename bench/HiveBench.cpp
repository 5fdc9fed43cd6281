// Cost of TRegIniFile::WriteString on an SQLite hive file (each call is its own committed, fully
// synced transaction) and of ReadString (what every menu opening does, once per palette tab).
// Runs on a fresh hive in a temporary folder (never the user's).
#include "rtl/RegIniFile.h"
#include "rtl/SqliteHive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

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

// What the categories dialog does when the user confirms a large palette: 500 writes in a row.
void FiveHundredWriteStrings(benchmark::State& State) {
  TTempHive H;
  for (auto _ : State)
    for (int I = 0; I < 500; ++I)
      H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
}
BENCHMARK(FiveHundredWriteStrings)->Unit(benchmark::kMillisecond);

// The same value read again with nothing changed in between: a menu opened twice.
void ReadStringUnchanged(benchmark::State& State) {
  TTempHive H;
  for (int I = 0; I < 50; ++I)
    H.Reg->WriteString(u"Categories", u"Tab " + IntToStr(I), u"Common;VCL;Data Access");
  const UnicodeString Name = u"Tab 7";
  H.Reg->ReadString(u"Categories", Name, u"");
  for (auto _ : State)
    benchmark::DoNotOptimize(H.Reg->ReadString(u"Categories", Name, u""));
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

} // namespace

BENCHMARK_MAIN();
