// What the benchmarks that time a real IDE from outside share: a connection of their own to the
// X server in $DISPLAY that sees windows mapped, reads the screen's pixels and sends key presses
// and clicks through XTEST, and the IDE as a child process with an environment of its own.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

using TClock = std::chrono::steady_clock;

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

  // The next top-level window mapped of at least MinW x MinH (and at most MaxH high), waiting
  // until the deadline.
  Window NextMapped(int MinW, int MinH, TClock::time_point Deadline,
                    int MaxH = std::numeric_limits<int>::max()) {
    while (TClock::now() < Deadline) {
      while (XPending(FDisplay)) {
        XEvent E;
        XNextEvent(FDisplay, &E);
        if (E.type != MapNotify || E.xmap.event != FRoot)
          continue;
        const TRect R = Geometry(E.xmap.window);
        if (R.W >= MinW && R.H >= MinH && R.H <= MaxH)
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

// A program started with Environment (NAME=VALUE entries; NAME alone unsets it) added to this
// process's, its output discarded; ended with SIGTERM when this goes.
class TChild {
public:
  TChild(const std::vector<std::string>& Argv,
         const std::vector<std::pair<std::string, std::string>>& Environment) {
    FPid = fork();
    if (FPid < 0)
      throw std::runtime_error("fork failed");
    if (FPid == 0) {
      for (const auto& [Name, Value] : Environment)
        if (Value.empty())
          unsetenv(Name.c_str());
        else
          setenv(Name.c_str(), Value.c_str(), 1);
      const int Null = open("/dev/null", O_WRONLY);
      dup2(Null, 1);
      dup2(Null, 2);
      std::vector<char*> Args;
      for (const std::string& A : Argv)
        Args.push_back(const_cast<char*>(A.c_str()));
      Args.push_back(nullptr);
      execv(Args[0], Args.data());
      _exit(127);
    }
  }
  ~TChild() {
    kill(FPid, SIGTERM);
    int ExitStatus = 0;
    waitpid(FPid, &ExitStatus, 0);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

private:
  pid_t FPid = -1;
};

inline double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  const size_t N = Values.size();
  return N == 0 ? 0 : N % 2 ? Values[N / 2] : (Values[N / 2 - 1] + Values[N / 2]) / 2;
}

} // namespace bench
