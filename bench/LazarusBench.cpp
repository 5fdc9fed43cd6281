// Lazarus with the add-in's IDE package, timed from outside the process as a user sees it, on the
// X server in $DISPLAY (run under tests/support/with-xvfb.sh):
//   - StartAlternating: from starting the IDE to the first paint of its main window, one start
//     of an IDE built without the package and one of an IDE built with it per iteration, so
//     that both meet the same load; the counters give the medians and their ratio;
//   - PaletteOpening: from Alt+A to the first pixels of the "Palette" menu on screen.
// Both IDEs are private builds (their own --pcp under the build folder), made by
// ide/lazarus/lazarus.sh before the first benchmark runs, which takes a minute or two.
#include "XHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr auto Patience = std::chrono::seconds(120);
const std::string With = BUILD_DIR "/lazarus-bench/with";
const std::string Without = BUILD_DIR "/lazarus-bench/without";

void Run(const std::string& Command) {
  if (std::system(Command.c_str()) != 0)
    throw std::runtime_error("failed: " + Command);
}

// The two private IDEs, configured and built once per run of the program.
void PrepareIdes() {
  static bool Done = false;
  if (Done)
    return;
  const std::string Script = SOURCE_DIR "/ide/lazarus/lazarus.sh";
  for (const std::string& Pcp : {With, Without})
    Run(Script + " config " + Pcp + " " EMBED_LIBRARY " >/dev/null");
  Run(Script + " build " + With +
      " " SOURCE_DIR "/ide/lazarus/orvikpalettemenu.lpk >/dev/null 2>&1");
  Run(Script + " build " + Without + " >/dev/null 2>&1");
  Done = true;
}

std::string FreshHome(const std::string& Name) {
  const fs::path Home =
      fs::temp_directory_path() / ("lazarus-bench-" + std::to_string(getpid()) + "-" + Name);
  fs::remove_all(Home);
  fs::create_directories(Home / ".config");
  return Home.string();
}

// The private IDE of Pcp, with a HOME of its own (its hive there).
class TLazarus : public TChild {
public:
  TLazarus(const std::string& Pcp, const std::string& Home)
      : TChild({Pcp + "/bin/lazarus", "--pcp=" + Pcp},
               {{"HOME", Home}, {"HOSTIDE_REGISTRY", ""}, {"XDG_CONFIG_HOME", Home + "/.config"}}) {
  }
};

// Starts the IDE and waits for its main window's first paint; answers that window.
Window StartAndWaitPainted(TXServer& X, std::unique_ptr<TLazarus>& Ide, const std::string& Pcp,
                           const std::string& Home) {
  X.Forget();
  Ide = std::make_unique<TLazarus>(Pcp, Home);
  const auto Deadline = TClock::now() + Patience;
  // The main window: a bar of the screen's width, menu and palette, without the editor.
  const Window Main = X.NextMapped(1000, 40, Deadline, 200);
  const TRect R = X.Geometry(Main);
  // Under the freshly mapped window lies the black root: the menu bar's row turns grey when
  // the window is painted.
  X.WaitChanged(R.X, R.Y + 10, R.W / 2, std::vector<unsigned long>(static_cast<size_t>(R.W / 2), 0),
                Deadline);
  return Main;
}

void StartAlternating(benchmark::State& State) {
  PrepareIdes();
  TXServer X;
  const std::string HomeWithout = FreshHome("without");
  const std::string HomeWith = FreshHome("with");
  std::unique_ptr<TLazarus> Ide;
  // First starts write what a user's later starts find.
  StartAndWaitPainted(X, Ide, Without, HomeWithout);
  Ide.reset();
  StartAndWaitPainted(X, Ide, With, HomeWith);
  Ide.reset();
  std::vector<double> Alone, WithPackage;
  for (auto _ : State) {
    auto Start = TClock::now();
    StartAndWaitPainted(X, Ide, Without, HomeWithout);
    Alone.push_back(std::chrono::duration<double, std::milli>(TClock::now() - Start).count());
    Ide.reset();
    Start = TClock::now();
    StartAndWaitPainted(X, Ide, With, HomeWith);
    WithPackage.push_back(std::chrono::duration<double, std::milli>(TClock::now() - Start).count());
    Ide.reset();
    State.SetIterationTime((Alone.back() + WithPackage.back()) / 1000);
  }
  State.counters["alone_ms"] = Median(Alone);
  State.counters["package_ms"] = Median(WithPackage);
  State.counters["ratio"] = Median(Alone) > 0 ? Median(WithPackage) / Median(Alone) : 0;
  fs::remove_all(HomeWithout);
  fs::remove_all(HomeWith);
}

void PaletteOpening(benchmark::State& State) {
  PrepareIdes();
  TXServer X;
  const std::string Home = FreshHome("open");
  std::unique_ptr<TLazarus> Ide;
  const Window Main = StartAndWaitPainted(X, Ide, With, Home);
  const TRect R = X.Geometry(Main);
  // The package loads once the IDE's event loop runs; then the window gets the focus (there is
  // no window manager) by a click on the empty right end of its menu bar.
  usleep(3000 * 1000);
  X.Click(R.X + R.W - 15, R.Y + 10);
  usleep(300 * 1000);

  // A first opening finds where the menu drops down.
  X.Forget();
  X.Key(XK_Alt_L, XK_a);
  const Window First = X.NextMapped(20, 20, TClock::now() + Patience);
  const TRect Menu = X.Geometry(First);
  X.Key(0, XK_Escape);
  X.WaitUnmapped(First, TClock::now() + Patience);
  const int RowY = Menu.Y + Menu.H / 2;

  for (auto _ : State) {
    usleep(100 * 1000);
    const std::vector<unsigned long> Before = X.Row(Menu.X, RowY, Menu.W);
    X.Forget();
    const auto Start = TClock::now();
    X.Key(XK_Alt_L, XK_a);
    const auto Deadline = Start + Patience;
    const Window Popup = X.NextMapped(20, 20, Deadline);
    X.WaitChanged(Menu.X, RowY, Menu.W, Before, Deadline);
    State.SetIterationTime(std::chrono::duration<double>(TClock::now() - Start).count());
    X.Key(0, XK_Escape);
    X.WaitUnmapped(Popup, Deadline);
  }
  fs::remove_all(Home);
}

} // namespace

BENCHMARK(StartAlternating)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(PaletteOpening)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
