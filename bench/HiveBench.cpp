// Cost of TRegIniFile::WriteString on an SQLite hive file: each call is its own committed,
// fully synced transaction. Runs on a fresh hive in a temporary folder (never the user's).
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
    Reg = std::make_unique<TRegIniFile>(u"Software\\Orvik\\Palette Menu",
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

} // namespace

BENCHMARK_MAIN();
