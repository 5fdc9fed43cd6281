// Qt Widgets Designer with the add-in's plugin, timed from outside the process as a user sees it,
// on the X server in $DISPLAY (run under tests/support/with-xvfb.sh):
//   - start to first paint: from starting `designer FORM.ui` to the first pixels of its main
//     window on screen, alone and with the plugin;
//   - opening "P&alette" by Alt+A: from the key press to the first pixels of the menu on screen,
//     with Designer's standard Widget Box and with 500 categories more (a custom widget
//     collection built for this benchmark).
// Each iteration's time is measured here (manual time); key presses are sent through XTEST.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr auto Patience = std::chrono::seconds(60);

struct TRect {
  int X = 0, Y = 0, W = 0, H = 0;
};

// The benchmark's own connection to the X server; it watches what is mapped on the root window.
class TXServer {
public:
  TXServer() {
    FDisplay = XOpenDisplay(nullptr);
    if (!FDisplay)
      throw std::runtime_error("cannot open the X display named by DISPLAY");
    int Event, Error, Major, Minor;
    if (!XTestQueryExtension(FDisplay, &Event, &Error, &Major, &Minor))
      throw std::runtime_error("the X server has no XTEST extension");
    FRoot = DefaultRootWindow(FDisplay);
    // A window seen mapped may be gone when it is asked about (a tool tip, a closed menu):
    // such errors answer nothing instead of ending the program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XSelectInput(FDisplay, FRoot, SubstructureNotifyMask);
    XSync(FDisplay, True);
  }
  ~TXServer() { XCloseDisplay(FDisplay); }
  TXServer(const TXServer&) = delete;
  TXServer& operator=(const TXServer&) = delete;

  // Drops the events seen so far.
  void Forget() { XSync(FDisplay, True); }

  // The next top-level window mapped (of at least MinW x MinH), waiting until the deadline.
  Window NextMapped(int MinW, int MinH, TClock::time_point Deadline) {
    while (TClock::now() < Deadline) {
      while (XPending(FDisplay)) {
        XEvent E;
        XNextEvent(FDisplay, &E);
        if (E.type != MapNotify || E.xmap.event != FRoot)
          continue;
        const TRect R = Geometry(E.xmap.window);
        if (R.W >= MinW && R.H >= MinH)
          return E.xmap.window;
      }
      usleep(200);
    }
    throw std::runtime_error("no window was mapped in time");
  }

  TRect Geometry(Window W) {
    XWindowAttributes A;
    if (!XGetWindowAttributes(FDisplay, W, &A))
      return {};
    int X = 0, Y = 0;
    Window Child;
    XTranslateCoordinates(FDisplay, W, FRoot, 0, 0, &X, &Y, &Child);
    return {X, Y, A.width, A.height};
  }

  // One row of the screen's pixels.
  std::vector<unsigned long> Row(int X, int Y, int W) {
    std::vector<unsigned long> Pixels;
    XImage* Image =
        XGetImage(FDisplay, FRoot, X, Y, static_cast<unsigned>(W), 1, AllPlanes, ZPixmap);
    if (!Image)
      return Pixels;
    for (int I = 0; I < W; ++I)
      Pixels.push_back(XGetPixel(Image, I, 0));
    XDestroyImage(Image);
    return Pixels;
  }

  // Waits until the row differs from Before (the window's first paint reached the screen).
  void WaitChanged(int X, int Y, int W, const std::vector<unsigned long>& Before,
                   TClock::time_point Deadline) {
    while (TClock::now() < Deadline) {
      if (Row(X, Y, W) != Before)
        return;
      usleep(200);
    }
    throw std::runtime_error("a mapped window was not painted in time");
  }

  void Click(int X, int Y) {
    XTestFakeMotionEvent(FDisplay, -1, X, Y, CurrentTime);
    XTestFakeButtonEvent(FDisplay, 1, True, CurrentTime);
    XTestFakeButtonEvent(FDisplay, 1, False, CurrentTime);
    XFlush(FDisplay);
  }
  void Key(KeySym Modifier, KeySym Sym) {
    const KeyCode Mod = Modifier ? XKeysymToKeycode(FDisplay, Modifier) : 0;
    const KeyCode Code = XKeysymToKeycode(FDisplay, Sym);
    if (Mod)
      XTestFakeKeyEvent(FDisplay, Mod, True, CurrentTime);
    XTestFakeKeyEvent(FDisplay, Code, True, CurrentTime);
    XTestFakeKeyEvent(FDisplay, Code, False, CurrentTime);
    if (Mod)
      XTestFakeKeyEvent(FDisplay, Mod, False, CurrentTime);
    XFlush(FDisplay);
  }
  // Waits until the window is unmapped.
  void WaitUnmapped(Window W, TClock::time_point Deadline) {
    while (TClock::now() < Deadline) {
      XWindowAttributes A;
      if (!XGetWindowAttributes(FDisplay, W, &A) || A.map_state != IsViewable)
        return;
      usleep(500);
    }
    throw std::runtime_error("a menu stayed open after Escape");
  }

private:
  Display* FDisplay = nullptr;
  Window FRoot = 0;
};

// Qt Widgets Designer on a form, with a HOME of its own (kept across the runs of one
// benchmark, as a user's is), the plugin's folders in QT_PLUGIN_PATH when given.
class TDesigner {
public:
  TDesigner(const std::string& Home, const std::string& PluginPath) {
    FPid = fork();
    if (FPid < 0)
      throw std::runtime_error("fork failed");
    if (FPid == 0) {
      setenv("HOME", Home.c_str(), 1);
      unsetenv("HOSTIDE_REGISTRY");
      unsetenv("XDG_CONFIG_HOME");
      setenv("QT_QPA_PLATFORM", "xcb", 1);
      if (PluginPath.empty())
        unsetenv("QT_PLUGIN_PATH");
      else
        setenv("QT_PLUGIN_PATH", PluginPath.c_str(), 1);
      const int Null = open("/dev/null", O_WRONLY);
      dup2(Null, 1);
      dup2(Null, 2);
      execl(DESIGNER_PROGRAM, DESIGNER_PROGRAM, FORM_UI, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~TDesigner() {
    kill(FPid, SIGTERM);
    int ExitStatus = 0;
    waitpid(FPid, &ExitStatus, 0);
  }
  TDesigner(const TDesigner&) = delete;
  TDesigner& operator=(const TDesigner&) = delete;

private:
  pid_t FPid = -1;
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

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  const size_t N = Values.size();
  return N == 0 ? 0 : N % 2 ? Values[N / 2] : (Values[N / 2 - 1] + Values[N / 2]) / 2;
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
