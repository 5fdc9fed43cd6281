// Cost of exporting a registry tree as .reg text: a wide tree of N keys (two levels, eight
// values each) should cost in proportion to N, and the deepest chain a hive allows (512 levels)
// should export in bounded time. Memory hive and SQLite hive file (in a temporary folder).
#include "rtl/RegFile.h"
#include "rtl/SqliteHive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

class TTempFolder {
public:
  TTempFolder() {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/hostide-bench-XXXXXX";
    if (!::mkdtemp(Pattern.data()))
      std::abort();
    FDir = Pattern;
  }
  ~TTempFolder() {
    std::error_code Ec;
    std::filesystem::remove_all(FDir, Ec);
  }
  UnicodeString Path(const char* Name) const { return UTF8Decode(FDir + "/" + Name); }

private:
  std::string FDir;
};

std::unique_ptr<TRegistryHive> NewHive(bool Sqlite, const TTempFolder& Folder) {
  return Sqlite ? OpenSqliteHive(Folder.Path("HKCU.db")) : NewMemoryHive();
}

// N keys: N / 32 groups of 32 subkeys below Software, each key with eight string values.
void FillWide(TRegistryHive& Hive, int Keys) {
  std::vector<TRegChange> Changes;
  for (int K = 0; K < Keys; ++K) {
    const UnicodeString Path =
        u"Software\\Group " + IntToStr(K / 32) + u"\\Key " + IntToStr(K % 32);
    for (int V = 0; V < 8; ++V)
      Changes.push_back({TRegChange::WriteValue, Path,
                         TRegValue::String(u"Value " + IntToStr(V), u"Common;VCL;Data Access")});
  }
  Hive.Apply(Changes);
}

void ExportWideTree(benchmark::State& State) {
  TTempFolder Folder;
  auto Hive = NewHive(State.range(1) != 0, Folder);
  FillWide(*Hive, static_cast<int>(State.range(0)));
  for (auto _ : State)
    benchmark::DoNotOptimize(ExportRegistryText(*Hive, u""));
  State.SetComplexityN(State.range(0));
}
BENCHMARK(ExportWideTree)
    ->ArgNames({"Keys", "Sqlite"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {0}})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ExportWideTree)
    ->ArgNames({"Keys", "Sqlite"})
    ->ArgsProduct({{1024, 2048, 4096, 8192}, {1}})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A single chain of keys, Depth levels deep, with a value at the bottom. Every key's section
// names its whole path, so the text itself grows with the square of the depth.
void ExportDeepChain(benchmark::State& State) {
  TTempFolder Folder;
  auto Hive = NewHive(State.range(1) != 0, Folder);
  UnicodeString Path;
  for (int I = 0; I < State.range(0); ++I)
    Path += I == 0 ? u"Deep" : u"\\Deep";
  Hive->WriteValue(Path, TRegValue::String(u"V", u"bottom"));
  for (auto _ : State)
    benchmark::DoNotOptimize(ExportRegistryText(*Hive, u""));
}
BENCHMARK(ExportDeepChain)
    ->ArgNames({"Depth", "Sqlite"})
    ->ArgsProduct({{128, 512}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
