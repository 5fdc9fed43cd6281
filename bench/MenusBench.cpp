// Cost of opening the add-in's menus, with the IDE set up as hostide sets it up, at palette
// sizes from the default palette to 10,000 tabs. Each opening is set beside its floor, measured
// in the same run: creating as many menu items, unowned, with the same captions, plus the same
// registry reads through a handle of its own. Counters (medians, milliseconds and bytes):
//   open_ms        one opening of the main menu's "P&alette" entry (its click rebuilds it)
//   floor_items_ms creating the menu's items unowned, with their captions
//   floor_reads_ms reading every tab's stored categories
//   ratio          open_ms / (floor_items_ms + floor_reads_ms)
//   open_bytes     bytes allocated by one opening; floor_bytes those of the two floors;
//   bytes_ratio    open_bytes / floor_bytes
//   release_ms     the release of the previous opening's items, which runs at the IDE's idle
//                  point after the opening (the queued calls run, untimed in open_ms, between
//                  openings as the IDE runs them when it is idle)
//   first_open_ms  one opening right after another handle changed a stored value, so that
//                  nothing read before holds (as at the first opening); first_ratio: to open_ms
#include "BenchIde.h"

#include "rtl/RegIniFile.h"
#include "rtl/Threads.h"
#include "vcl/Menus.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using namespace bench;

enum class TOtherMenu { NotBuilt, Built };
enum class TStore { HiveFile, Memory };

void OpenPaletteMenu(benchmark::State& State, TPaletteShape Shape, TOtherMenu Other, TStore Store) {
  std::optional<TMemoryHiveScope> Memory;
  if (Store == TStore::Memory)
    Memory.emplace();
  TBenchIde Ide(Shape);
  if (Other == TOtherMenu::Built)
    Ide.OpenButton();
  Ide.OpenMain();
  CheckSynchronize();

  std::vector<UnicodeString> Captions;
  CollectCaptions(Ide.PaletteEntry(), Captions);
  const int Runs = Captions.size() > 3000 ? 5 : 25;

  // Floor 1: the same number of items, unowned, with the same captions (released untimed).
  std::vector<TMenuItem*> Items;
  Items.reserve(Captions.size());
  auto ReleaseItems = [&Items] {
    for (TMenuItem* Item : Items)
      Free(Item);
    Items.clear();
  };
  std::uint64_t Bytes0 = BytesAllocated();
  std::vector<double> FloorTimes;
  for (int I = 0; I < Runs; ++I) {
    FloorTimes.push_back(MedianSeconds(1, [&] {
      for (const UnicodeString& Caption : Captions) {
        auto* Item = new TMenuItem(nullptr);
        Item->SetCaption(Caption);
        Items.push_back(Item);
      }
    }));
    ReleaseItems();
  }
  std::sort(FloorTimes.begin(), FloorTimes.end());
  const double FloorItems = FloorTimes[FloorTimes.size() / 2];
  const std::uint64_t FloorItemBytes = (BytesAllocated() - Bytes0) / static_cast<unsigned>(Runs);

  // Floor 2: the same registry reads, through a handle of its own on the same hive.
  TRegIniFile Reads(u"Software\\Orvik\\Palette Menu");
  Bytes0 = BytesAllocated();
  const double FloorReads = MedianSeconds(Runs, [&] {
    for (const UnicodeString& Key : Ide.TabKeys())
      benchmark::DoNotOptimize(Reads.ReadString(u"Categories", Key, u""));
  });
  const std::uint64_t FloorReadBytes = (BytesAllocated() - Bytes0) / static_cast<unsigned>(Runs);

  std::vector<double> Times, ReleaseTimes;
  std::uint64_t OpenBytes = 0;
  for (auto _ : State) {
    const std::uint64_t B = BytesAllocated();
    Times.push_back(MedianSeconds(1, [&] { Ide.OpenMain(); }));
    OpenBytes += BytesAllocated() - B;
    State.PauseTiming();
    ReleaseTimes.push_back(MedianSeconds(1, [] { CheckSynchronize(); }));
    State.ResumeTiming();
  }
  std::sort(Times.begin(), Times.end());
  std::sort(ReleaseTimes.begin(), ReleaseTimes.end());
  const double Open = Times[Times.size() / 2];
  const double Release = ReleaseTimes[ReleaseTimes.size() / 2];

  // After another handle's change (untimed), nothing the add-in's handle read holds.
  TRegIniFile Elsewhere(u"Software\\Orvik\\Palette Menu");
  int Change = 0;
  std::vector<double> FirstTimes;
  for (int I = 0; I < Runs; ++I) {
    Elsewhere.WriteString(u"Categories", u"Changed elsewhere", IntToStr(++Change));
    FirstTimes.push_back(MedianSeconds(1, [&] { Ide.OpenMain(); }));
    CheckSynchronize();
  }
  std::sort(FirstTimes.begin(), FirstTimes.end());
  const double FirstOpen = FirstTimes[FirstTimes.size() / 2];
  const double Floor = FloorItems + FloorReads;
  const double Bytes = static_cast<double>(OpenBytes) / static_cast<double>(Times.size());

  State.counters["items"] = static_cast<double>(Captions.size());
  State.counters["open_ms"] = Open * 1e3;
  State.counters["floor_items_ms"] = FloorItems * 1e3;
  State.counters["floor_reads_ms"] = FloorReads * 1e3;
  State.counters["ratio"] = Open / Floor;
  State.counters["release_ms"] = Release * 1e3;
  State.counters["open_bytes"] = Bytes;
  State.counters["floor_bytes"] = static_cast<double>(FloorItemBytes + FloorReadBytes);
  State.counters["bytes_ratio"] = Bytes / static_cast<double>(FloorItemBytes + FloorReadBytes);
  State.counters["first_open_ms"] = FirstOpen * 1e3;
  State.counters["first_ratio"] = FirstOpen / Open;
}

void Register() {
  struct TCase {
    const char* Name;
    TPaletteShape Shape;
    TOtherMenu Other;
    TStore Store = TStore::HiveFile;
  };
  const TCase Cases[] = {
      {"Default/NoCategories", {0, 0, 1}, TOtherMenu::NotBuilt},
      {"Default/3PerTab", {0, 3, 200}, TOtherMenu::NotBuilt},
      {"Tabs500/3PerTab", {500, 3, 200}, TOtherMenu::NotBuilt},
      {"Tabs1000/3PerTab", {1000, 3, 200}, TOtherMenu::NotBuilt},
      {"Tabs5000/3PerTab", {5000, 3, 200}, TOtherMenu::NotBuilt},
      {"Tabs10000/3PerTab", {10000, 3, 200}, TOtherMenu::NotBuilt},
      {"Tabs5000/OwnCategory", {5000, 1, 5000}, TOtherMenu::NotBuilt},
      {"Tabs5000/3PerTab/ButtonMenuBuilt", {5000, 3, 200}, TOtherMenu::Built},
      // The default palette with the store in memory: what the add-in and the host cost apart
      // from the hive file. (The memory hive walks its values at every read, so it says
      // nothing at large sizes.)
      {"Default/3PerTab/MemoryStore", {0, 3, 200}, TOtherMenu::NotBuilt, TStore::Memory},
  };
  for (const TCase& C : Cases)
    benchmark::RegisterBenchmark((std::string("OpenPaletteMenu/") + C.Name).c_str(),
                                 OpenPaletteMenu, C.Shape, C.Other, C.Store)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv) {
  return bench::RunBenchmarks(argc, argv, Register);
}
