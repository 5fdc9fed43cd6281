// Qt Widgets Designer with the add-in's plugin, timed from outside the process as a user sees it,
// on the X server in $DISPLAY (run under tests/support/with-xvfb.sh):
//   - start to first paint: from starting `designer FORM.ui` to the first pixels of its main
//     window on screen, alone and with the plugin;
//   - opening "P&alette" by Alt+A: from the key press to the first pixels of the menu on screen,
//     with Designer's standard Widget Box and with 500 categories more (a custom widget
//     collection built for this benchmark).
// Each iteration's time is measured here (manual time); key presses are sent through XTEST.
#include "XHost.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr auto Patience = std::chrono::seconds(60);

// Qt Widgets Designer on a form, with a HOME of its own (kept across the runs of one
// benchmark, as a user's is), the plugin's folders in QT_PLUGIN_PATH when given.
class TDesigner : public TChild {
public:
  TDesigner(const std::string& Home, const std::string& PluginPath)
      : TChild({DESIGNER_PROGRAM, FORM_UI}, {{"HOME", Home},
                                             {"HOSTIDE_REGISTRY", ""},
                                             {"XDG_CONFIG_HOME", ""},
                                             {"QT_QPA_PLATFORM", "xcb"},
                                             {"QT_PLUGIN_PATH", PluginPath}}) {}
};

std::string FreshHome(const std::string& Name) {
  const fs::path Home =
      fs::temp_directory_path() / ("designer-bench-" + std::to_string(getpid()) + "-" + Name);
  fs::remove_all(Home);
  fs::create_directories(Home / ".config");
  return Home.string();
}

std::string PluginPath(bool WithPlugin, bool ManyCategories) {
  std::string Path;
  if (WithPlugin)
    Path = PLUGIN_DIR;
  if (ManyCategories)
    Path += (Path.empty() ? "" : ":") + std::string(BENCH_PLUGIN_DIR);
  return Path;
}

// Starts Designer and waits for its main window's first paint; answers that window.
Window StartAndWaitPainted(TXServer& X, std::unique_ptr<TDesigner>& Designer,
                           const std::string& Home, const std::string& Plugins) {
  X.Forget();
  Designer = std::make_unique<TDesigner>(Home, Plugins);
  const auto Deadline = TClock::now() + Patience;
  const Window Main = X.NextMapped(600, 400, Deadline);
  const TRect R = X.Geometry(Main);
  // Under the freshly mapped window lies the black root: the menu bar's row turns grey when the
  // window is painted.
  X.WaitChanged(R.X, R.Y + 10, R.W / 2, std::vector<unsigned long>(static_cast<size_t>(R.W / 2), 0),
                Deadline);
  return Main;
}

void StartToFirstPaint(benchmark::State& State, bool WithPlugin) {
  TXServer X;
  const std::string Home = FreshHome(WithPlugin ? "start-plugin" : "start-alone");
  const std::string Plugins = PluginPath(WithPlugin, false);
  std::unique_ptr<TDesigner> Designer;
  // A first start writes the settings; the timed ones start as a user's later starts do.
  StartAndWaitPainted(X, Designer, Home, Plugins);
  Designer.reset();
  for (auto _ : State) {
    const auto Start = TClock::now();
    StartAndWaitPainted(X, Designer, Home, Plugins);
    State.SetIterationTime(std::chrono::duration<double>(TClock::now() - Start).count());
    State.PauseTiming();
    Designer.reset();
    State.ResumeTiming();
  }
  fs::remove_all(Home);
}

// One start alone and one with the plugin per iteration, so that both meet the same load of the
// machine; the counters give the medians and their ratio.
void StartAlternating(benchmark::State& State) {
  TXServer X;
  const std::string HomeAlone = FreshHome("alternate-alone");
  const std::string HomePlugin = FreshHome("alternate-plugin");
  const std::string Plugins = PluginPath(true, false);
  std::unique_ptr<TDesigner> Designer;
  StartAndWaitPainted(X, Designer, HomeAlone, "");
  Designer.reset();
  StartAndWaitPainted(X, Designer, HomePlugin, Plugins);
  Designer.reset();
  std::vector<double> Alone, WithPlugin;
  for (auto _ : State) {
    auto Start = TClock::now();
    StartAndWaitPainted(X, Designer, HomeAlone, "");
    Alone.push_back(std::chrono::duration<double, std::milli>(TClock::now() - Start).count());
    Designer.reset();
    Start = TClock::now();
    StartAndWaitPainted(X, Designer, HomePlugin, Plugins);
    WithPlugin.push_back(std::chrono::duration<double, std::milli>(TClock::now() - Start).count());
    Designer.reset();
    State.SetIterationTime((Alone.back() + WithPlugin.back()) / 1000);
  }
  State.counters["alone_ms"] = Median(Alone);
  State.counters["plugin_ms"] = Median(WithPlugin);
  State.counters["ratio"] = Median(Alone) > 0 ? Median(WithPlugin) / Median(Alone) : 0;
  fs::remove_all(HomeAlone);
  fs::remove_all(HomePlugin);
}

void PaletteOpening(benchmark::State& State, bool ManyCategories) {
  TXServer X;
  const std::string Home = FreshHome(ManyCategories ? "open-500" : "open-standard");
  std::unique_ptr<TDesigner> Designer;
  const Window Main = StartAndWaitPainted(X, Designer, Home, PluginPath(true, ManyCategories));
  const TRect R = X.Geometry(Main);
  // Let the start settle, then give the window the focus (there is no window manager): a click
  // on the empty right end of the menu bar.
  usleep(1500 * 1000);
  X.Click(R.X + R.W - 15, R.Y + 10);
  usleep(200 * 1000);

  // A first opening finds where the menu drops down.
  X.Forget();
  X.Key(XK_Alt_L, XK_a);
  const Window First = X.NextMapped(20, 20, TClock::now() + Patience);
  const TRect Menu = X.Geometry(First);
  X.Key(0, XK_Escape);
  X.WaitUnmapped(First, TClock::now() + Patience);
  const int RowY = Menu.Y + Menu.H / 2;

  for (auto _ : State) {
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
    usleep(50 * 1000);
  }
}

} // namespace

BENCHMARK_CAPTURE(StartToFirstPaint, designer_alone, false)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StartToFirstPaint, designer_with_plugin, true)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StartAlternating)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PaletteOpening, standard_widget_box, false)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PaletteOpening, with_500_categories, true)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
