// Latency of the desktop window as a user meets it, on a real X server: run it under
// tests/support/with-xvfb.sh (the xcb platform). Every figure is timed inside the process, from
// just before the input reaches Qt (a key press or mouse click handed to the window system
// layer, or the start of the IDE) to the end of the first paint of what it shows: the clock
// stops once the paint event of the popup menu, the dialog or the main window's palette has
// been handled and the window's backing store flushed.
//
//   Start            THostIde, the window, the palette loaded and the add-in started, as
//                    hostide starts, until the palette view's first paint
//   AltA/First       Alt+A until "P&alette" is painted, the first opening after the start
//   AltA/Later       the same, later openings
//   Arrow/First      a click on the add-in's tool button arrow until its drop-down is painted
//   Arrow/Later      the same, later openings
//   EditCategories   a click on "Edit Categories..." until the categories dialog is painted
//   PlainMenu        the floor of a later opening: a Qt menu of three entries, of nothing in the
//                    IDE, shown again until it is painted (what the X server and Qt take alone)
//
// AltA/Later also says where its time went (medians): filled_ms from the input until the menu
// had been filled (the add-in's click and the Qt entries made), to_paint_ms from then until its
// paint event arrived (laying the menu out, showing its window, deleting the entries replaced),
// paint_ms the paint itself with the flush.
//
// Palettes: the IDE's default one (Tabs0), and 5,000 and 10,000 tabs of two components each,
// three stored categories per tab (so the dialog has a row per tab).
#include "BenchIde.h"

#include "Desktop.h"
#include "DesktopMainWindow.h"
#include "MenuMirrors.h"
#include "PaletteMirror.h"
#include "Startup.h"
#include "ToolBarMirror.h"

#include "vcl/Forms.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;

// Stops the clock after the first paint of a widget that Which accepts: the paint event is
// seen on its way in, and a queued call then runs once the whole repaint (the widget, its
// children and the flush) has returned to the event loop. Then runs After (closing what opened).
class TPaintClock : public QObject {
public:
  TPaintClock() { qApp->installEventFilter(this); }
  ~TPaintClock() override { qApp->removeEventFilter(this); }

  void Arm(std::function<bool(QWidget*)> Which, std::function<void()> After = {}) {
    FWhich = std::move(Which);
    FAfter = std::move(After);
    FSeen = FDone = false;
  }
  bool Done() const { return FDone; }
  // When the paint event arrived, and when the repaint it started had returned.
  Clock::time_point Seen() const { return FSeenAt; }
  Clock::time_point End() const { return FEnd; }
  // Lets events run until the paint was seen (false after Ms milliseconds).
  bool Wait(int Ms = 20000) {
    QElapsedTimer T;
    T.start();
    while (!FDone && T.elapsed() < Ms)
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    return FDone;
  }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Paint && !FSeen && FWhich && Watched->isWidgetType() &&
        FWhich(static_cast<QWidget*>(Watched))) {
      FSeen = true;
      FSeenAt = Clock::now();
      QMetaObject::invokeMethod(
          this,
          [this] {
            FEnd = Clock::now();
            FDone = true;
            if (FAfter)
              FAfter();
          },
          Qt::QueuedConnection);
    }
    return false;
  }

private:
  std::function<bool(QWidget*)> FWhich;
  std::function<void()> FAfter;
  bool FSeen = false, FDone = false;
  Clock::time_point FSeenAt, FEnd;
};

// Lets the window settle, releasing what was left for deletion as the event loop of hostide
// does (a loop of processEvents alone never does).
void Settle(int Ms) {
  QElapsedTimer T;
  T.start();
  while (T.elapsed() < Ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void CloseMenus() {
  for (int I = 0; I < 8 && QApplication::activePopupWidget(); ++I) {
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    Settle(5);
  }
}

double Seconds(Clock::time_point From, Clock::time_point To) {
  return std::chrono::duration<double>(To - From).count();
}

// The iterations' times, whose median is reported beside Google Benchmark's mean: a loaded
// machine makes a few runs slow, which the mean takes in and the median does not.
std::vector<double>& Times() {
  static std::vector<double> T;
  return T;
}
void Timed(benchmark::State& State, double Elapsed) {
  State.SetIterationTime(Elapsed);
  Times().push_back(Elapsed);
}
// Where an opening's time went, for AltA: from the input until the menu had been filled (the
// add-in's click and the Qt entries made), from then until its paint event arrived (showing
// the window, the X server's round trips), and the paint itself with the flush.
struct TSplit {
  std::vector<double> Filled, ToPaint, Paint;
};
TSplit& Split() {
  static TSplit S;
  return S;
}
double MedianOf(std::vector<double>& T) {
  std::sort(T.begin(), T.end());
  return T[T.size() / 2];
}
void ReportMedian(benchmark::State& State) {
  std::vector<double>& T = Times();
  if (!T.empty())
    State.counters["median_ms"] = MedianOf(T) * 1000;
  T.clear();
  TSplit& S = Split();
  if (!S.Filled.empty()) {
    State.counters["filled_ms"] = MedianOf(S.Filled) * 1000;
    State.counters["to_paint_ms"] = MedianOf(S.ToPaint) * 1000;
    State.counters["paint_ms"] = MedianOf(S.Paint) * 1000;
  }
  S = {};
}

// The benchmark IDE (palette, store, add-in) with the window over it, shown and active.
struct TWindowIde {
  explicit TWindowIde(int Tabs) : Ide(TPaletteShape{Tabs, 3, 200}), Window(Ide.Ide()) {
    Window.show();
    Window.activateWindow();
    if (!QTest::qWaitForWindowActive(&Window))
      std::fprintf(stderr, "window_bench: the window did not become active\n");
    Settle(50); // the tool bar takes the add-in's button once it has settled
  }
  QMenu* PaletteMenu() { return Window.MainMenuMirror()->MenuFor(QStringLiteral("P&alette")); }
  QToolButton* Button() {
    return Window.PaletteToolBarMirror()->ButtonNamed(QStringLiteral("tbPalette"));
  }

  TBenchIde Ide;
  DesktopMainWindow Window;
};

bool IsMenu(QWidget* W) {
  return qobject_cast<QMenu*>(W) != nullptr;
}

// Alt+A until the menu is painted; false when it did not show. Record keeps where the time went.
bool TimeAltA(TWindowIde& W, TPaintClock& Paint, double& Elapsed, bool Record = false) {
  Paint.Arm(IsMenu);
  // Connected after the menu bar's own handler, so it runs once the menu has been filled.
  Clock::time_point Filled{};
  QMetaObject::Connection Watch;
  if (QMenu* Menu = W.PaletteMenu())
    Watch = QObject::connect(Menu, &QMenu::aboutToShow, [&Filled] { Filled = Clock::now(); });
  const auto Start = Clock::now();
  QTest::keyClick(&W.Window, Qt::Key_A, Qt::AltModifier);
  const bool Shown = Paint.Wait();
  QObject::disconnect(Watch);
  if (!Shown)
    return false;
  Elapsed = Seconds(Start, Paint.End());
  if (Record && Filled != Clock::time_point{}) {
    Split().Filled.push_back(Seconds(Start, Filled));
    Split().ToPaint.push_back(Seconds(Filled, Paint.Seen()));
    Split().Paint.push_back(Seconds(Paint.Seen(), Paint.End()));
  }
  CloseMenus();
  Settle(10);
  return true;
}

// A click on the arrow until the drop-down is painted. The button runs its menu modally inside
// the press, so the menu is closed from the paint's queued call.
bool TimeArrow(TWindowIde& W, TPaintClock& Paint, double& Elapsed) {
  QToolButton* B = W.Button();
  if (!B || !B->menu())
    return false;
  QMenu* Menu = B->menu();
  Paint.Arm(IsMenu, [Menu] { Menu->close(); });
  const auto Start = Clock::now();
  QTest::mouseClick(B, Qt::LeftButton, {}, QPoint(B->width() - 3, B->height() / 2));
  if (!Paint.Wait())
    return false;
  Elapsed = Seconds(Start, Paint.End());
  CloseMenus();
  Settle(10);
  return true;
}

void Opening(benchmark::State& State, int Tabs, bool ByArrow, bool First) {
  TPaintClock Paint;
  std::unique_ptr<TWindowIde> W;
  for (auto _ : State) {
    if (First || !W) {
      W.reset();
      W = std::make_unique<TWindowIde>(Tabs);
      if (!First) { // later openings: one opening first, untimed
        double Ignored;
        ByArrow ? TimeArrow(*W, Paint, Ignored) : TimeAltA(*W, Paint, Ignored);
      }
    }
    double Elapsed = 0;
    if (!(ByArrow ? TimeArrow(*W, Paint, Elapsed) : TimeAltA(*W, Paint, Elapsed, true))) {
      State.SkipWithError("the menu did not show");
      break;
    }
    Timed(State, Elapsed);
  }
  ReportMedian(State);
}

void EditCategories(benchmark::State& State, int Tabs) {
  TPaintClock Paint;
  TWindowIde W(Tabs);
  for (auto _ : State) {
    QTest::keyClick(&W.Window, Qt::Key_A, Qt::AltModifier);
    QMenu* Menu = W.PaletteMenu();
    QElapsedTimer T;
    T.start();
    while (Menu && !Menu->isVisible() && T.elapsed() < 5000)
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    QAction* Edit = nullptr;
    if (Menu)
      for (QAction* A : Menu->actions())
        if (A->text() == QStringLiteral("Edit Categories..."))
          Edit = A;
    if (!Edit) {
      State.SkipWithError("no Edit Categories... item");
      break;
    }
    const QPoint At = Menu->actionGeometry(Edit).center();
    QTest::mouseMove(Menu, At);
    Paint.Arm([](QWidget* Widget) { return qobject_cast<QDialog*>(Widget->window()) != nullptr; },
              [] {
                if (auto* D = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                  D->reject();
              });
    const auto Start = Clock::now();
    QTest::mouseClick(Menu, Qt::LeftButton, {}, At); // returns once the dialog has closed
    if (!Paint.Wait()) {
      State.SkipWithError("the dialog did not show");
      break;
    }
    Timed(State, Seconds(Start, Paint.End()));
    CloseMenus();
    W.Window.activateWindow();
    if (!QTest::qWaitForWindowActive(&W.Window))
      std::fprintf(stderr, "window_bench: the window did not become active again\n");
    Settle(10);
  }
  ReportMedian(State);
}

void PlainMenu(benchmark::State& State) {
  TPaintClock Paint;
  QMenu Menu;
  for (const char* Text : {"One", "Two", "Three"})
    Menu.addAction(QString::fromLatin1(Text));
  auto Show = [&]() -> double {
    Paint.Arm(IsMenu);
    const auto Start = Clock::now();
    Menu.popup(QPoint(100, 100));
    const bool Shown = Paint.Wait();
    Menu.close();
    Settle(10);
    return Shown ? Seconds(Start, Paint.End()) : -1;
  };
  Show(); // shown once before: every timed one is a later opening
  for (auto _ : State) {
    const double Elapsed = Show();
    if (Elapsed < 0) {
      State.SkipWithError("the menu did not show");
      break;
    }
    Timed(State, Elapsed);
  }
  ReportMedian(State);
}

// A palette file of Tabs tabs (the IDE's own palette for 0).
std::string PaletteFile(int Tabs) {
  if (Tabs == 0)
    return {};
  const auto Path = std::filesystem::temp_directory_path() /
                    ("hostide-window-bench-" + std::to_string(Tabs) + ".json");
  std::ofstream Out(Path);
  Out << "{\"categories\": [\n";
  for (int I = 1; I <= Tabs; ++I) {
    char Caption[32];
    std::snprintf(Caption, sizeof Caption, "Tab %05d", I);
    Out << "{\"caption\": \"" << Caption
        << "\", \"collapsed\": true, \"components\": [\"TButton\", \"TLabel\"]}"
        << (I < Tabs ? ",\n" : "\n");
  }
  Out << "]}\n";
  return Path.string();
}

void Start(benchmark::State& State, int Tabs) {
  const std::string File = PaletteFile(Tabs);
  TStartOptions Options;
  if (!File.empty())
    Options.Palette = File;
  TPaintClock Paint;
  auto Guard = [](const std::function<void()>& Step) { Step(); };
  for (auto _ : State) {
    std::unique_ptr<DesktopMainWindow> Window;
    const auto Begin = Clock::now();
    auto Ide = std::make_unique<THostIde>();
    Window = std::make_unique<DesktopMainWindow>(*Ide);
    QWidget* Viewport = Window->PaletteView()->viewport();
    Paint.Arm([Viewport](QWidget* W) { return W == Viewport; });
    Window->show();
    StartIde(*Ide, Options, Guard);
    if (!Paint.Wait()) {
      State.SkipWithError("the window was not painted");
      break;
    }
    Timed(State, Seconds(Begin, Paint.End()));
    Window.reset();
    StopIde(*Ide, Guard);
    Ide.reset();
    Settle(20);
  }
  ReportMedian(State);
  if (!File.empty())
    std::filesystem::remove(File);
}

void Register() {
  benchmark::RegisterBenchmark("PlainMenu", PlainMenu)
      ->UseManualTime()
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  for (int Tabs : {0, 5000, 10000}) {
    const std::string Suffix = "/Tabs" + std::to_string(Tabs);
    const int FewRuns = Tabs == 0 ? 10 : 5;
    benchmark::RegisterBenchmark(("Start" + Suffix).c_str(), Start, Tabs)
        ->UseManualTime()
        ->Iterations(FewRuns)
        ->Unit(benchmark::kMillisecond);
    for (bool ByArrow : {false, true}) {
      const std::string Name = ByArrow ? "Arrow" : "AltA";
      benchmark::RegisterBenchmark((Name + "/First" + Suffix).c_str(), Opening, Tabs, ByArrow, true)
          ->UseManualTime()
          ->Iterations(FewRuns)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((Name + "/Later" + Suffix).c_str(), Opening, Tabs, ByArrow,
                                   false)
          ->UseManualTime()
          ->Iterations(20)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("EditCategories" + Suffix).c_str(), EditCategories, Tabs)
        ->UseManualTime()
        ->Iterations(FewRuns)
        ->Unit(benchmark::kMillisecond);
  }
}

} // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  return bench::RunBenchmarks(argc, argv, Register);
}
