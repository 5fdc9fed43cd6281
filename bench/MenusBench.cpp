// Cost of opening the add-in's "P&alette" entry (its click rebuilds it from the palette and the
// store), with the IDE set up as hostide sets it up, at palette sizes from the default palette
// to 10,000 tabs. Counters (medians):
//   open_ms         a later opening: the previous opening's items released, the menu rebuilt
//   after_write_ms  an opening right after another handle changed a stored value, so that
//                   nothing the add-in's handle read before holds
//   rss_growth_kb   the resident size after 100 more openings less the size before them
#include "BenchIde.h"

#include "rtl/RegIniFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace bench;

// The resident size of this process, in KiB.
long ResidentKb() {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  while (std::getline(Status, Line))
    if (Line.rfind("VmRSS:", 0) == 0)
      return std::stol(Line.substr(6));
  return 0;
}

void OpenPaletteMenu(benchmark::State& State, TPaletteShape Shape) {
  TBenchIde Ide(Shape);
  Ide.OpenMain();
  const int Runs = Shape.Tabs > 3000 ? 5 : 25;

  double Open = 0;
  for (auto _ : State)
    Open = MedianSeconds(Runs, [&] { Ide.OpenMain(); });

  TRegIniFile Elsewhere(u"Software\\Orvik\\Palette Menu");
  int Change = 0;
  std::vector<double> AfterWrites;
  for (int I = 0; I < Runs; ++I) {
    Elsewhere.WriteString(u"Categories", u"Changed elsewhere", IntToStr(++Change));
    AfterWrites.push_back(MedianSeconds(1, [&] { Ide.OpenMain(); }));
  }
  std::sort(AfterWrites.begin(), AfterWrites.end());
  const double AfterWrite = AfterWrites[AfterWrites.size() / 2];

  const long Before = ResidentKb();
  for (int I = 0; I < 100; ++I)
    Ide.OpenMain();
  const long After = ResidentKb();

  State.counters["open_ms"] = Open * 1e3;
  State.counters["after_write_ms"] = AfterWrite * 1e3;
  State.counters["rss_growth_kb"] = static_cast<double>(After - Before);
}

void Register() {
  const std::pair<const char*, TPaletteShape> Cases[] = {
      {"Default/3PerTab", {0, 3, 200}},          {"Tabs500/3PerTab", {500, 3, 200}},
      {"Tabs5000/3PerTab", {5000, 3, 200}},      {"Tabs10000/3PerTab", {10000, 3, 200}},
      {"Tabs5000/OwnCategory", {5000, 1, 5000}}, {"Tabs10000/OwnCategory", {10000, 1, 10000}},
  };
  for (const auto& [Name, Shape] : Cases)
    benchmark::RegisterBenchmark((std::string("OpenPaletteMenu/") + Name).c_str(), OpenPaletteMenu,
                                 Shape)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

} // namespace

int main(int argc, char** argv) {
  return RunBenchmarks(argc, argv, Register);
}
