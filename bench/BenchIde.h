// What the benchmarks share: a hive in a temporary folder of its own (never the user's), an
// IDE set up as hostide sets it up (palette, then the add-in built beside the executable), and
// a count of the bytes the process allocates.
#pragma once

#include "Allocations.h"
#include "Ide.h"

#include "rtl/RegIniFile.h"
#include "rtl/RegistryHive.h"
#include "rtl/UnicodeString.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMenuItem;

namespace bench {

// Points the current user's hive at a fresh temporary folder for the whole run; removes it at
// the end. Create it once in main, before anything opens the hive.
class TTempHiveFolder {
public:
  TTempHiveFolder();
  ~TTempHiveFolder();
  TTempHiveFolder(const TTempHiveFolder&) = delete;
  TTempHiveFolder& operator=(const TTempHiveFolder&) = delete;

private:
  std::string FDir;
};

// The body of a benchmark program's main: a temporary hive for the whole run, Register's
// benchmarks, then Google Benchmark over the command line.
int RunBenchmarks(int Argc, char** Argv, void (*Register)());

// A palette of Tabs tabs ("Tab 00001", ...) filed under PerTab categories each, drawn in turn
// from a pool of Pool names ("Category 001", ...). Tabs 0 takes the IDE's default palette.
struct TPaletteShape {
  int Tabs = 0;
  int PerTab = 0;
  int Pool = 0;
};

// The IDE with the add-in loaded, its palette and the stored categories of Shape. Only one may
// exist at a time; every value under the categories key is removed first.
class TBenchIde {
public:
  explicit TBenchIde(const TPaletteShape& Shape);
  ~TBenchIde();

  THostIde& Ide() { return *FIde; }
  // The "P&alette" entry of the main menu and the add-in's tool button menu's root item.
  TMenuItem* PaletteEntry() const { return FPaletteEntry; }
  TMenuItem* ButtonMenuItems() const;
  // Opens either menu as the IDE does: the entry's click, or the popup's before-show event.
  void OpenMain();
  void OpenButton();
  // The tab keys the add-in reads at every opening.
  const std::vector<UnicodeString>& TabKeys() const { return FTabKeys; }

private:
  std::unique_ptr<THostIde> FIde;
  TMenuItem* FPaletteEntry = nullptr;
  std::vector<UnicodeString> FTabKeys;
};

// The median of Runs timings of Body, in seconds.
template <class F> double MedianSeconds(int Runs, F&& Body) {
  std::vector<double> T;
  for (int I = 0; I < Runs; ++I) {
    const auto Start = std::chrono::steady_clock::now();
    Body();
    T.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
  }
  std::sort(T.begin(), T.end());
  return T[T.size() / 2];
}

} // namespace bench

namespace bench {
// While it lives, every handle on the current user's hive opens one shared memory hive: what an
// operation costs apart from the hive file.
class TMemoryHiveScope {
public:
  TMemoryHiveScope();
  ~TMemoryHiveScope();
  TMemoryHiveScope(const TMemoryHiveScope&) = delete;
  TMemoryHiveScope& operator=(const TMemoryHiveScope&) = delete;

private:
  std::shared_ptr<TRegistryHive> FHive;
  TCurrentUserHiveScope FScope;
};
} // namespace bench
