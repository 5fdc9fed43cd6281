// hostide: the stand-in IDE. Reads the options, then runs one front end: the desktop window,
// the command shell, or a script (in the shell, or in the window with a screenshot).
#include "Shell.h"
#include "Startup.h"

#include "rtl/RegistryHive.h"
#include "rtl/UnicodeString.h"

#ifdef HOSTIDE_WITH_QT
#include "Desktop.h"
#endif

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const UsageText =
    "Usage: hostide [OPTION]...\n"
    "Starts the stand-in IDE with the Orvik Palette Menu add-in loaded.\n"
    "  (no option)       the desktop window when a display is available, else the shell\n"
    "  --shell           the interactive command shell\n"
    "  --script FILE     run the shell's commands from FILE, printing their output\n"
    "  --strict          with --script: stop at the first failure and exit with status 1\n"
    "  --screenshot PNG  with --script: run the script in the desktop window and save an\n"
    "                    image of it (with the menu or dialog open at the end) to PNG\n"
    "  --palette FILE    fill the Tool Palette from FILE instead of the default palette\n"
    "  --registry FILE   the registry hive file to use instead of the user's own\n"
    "  --package FILE    load this package at start (repeatable); without it the\n"
    "                    Orvik Palette Menu package built with the IDE is loaded\n"
    "  --no-package      load no package at start\n";

struct TOptions {
  bool Shell = false;
  std::optional<std::string> Script;
  bool Strict = false;
  std::optional<std::string> Screenshot;
  std::optional<std::string> Palette;
  std::optional<std::string> Registry;
  std::vector<std::string> Packages;
  bool NoPackage = false;
};

[[noreturn]] void BadUsage(const std::string& Why) {
  std::cerr << "hostide: " << Why << '\n' << UsageText;
  std::exit(2);
}

TOptions ParseOptions(int Argc, char** Argv) {
  TOptions O;
  for (int I = 1; I < Argc; ++I) {
    const std::string A = Argv[I];
    auto Value = [&]() -> std::string {
      if (I + 1 >= Argc)
        BadUsage(A + " needs a value");
      return Argv[++I];
    };
    if (A == "--shell")
      O.Shell = true;
    else if (A == "--script")
      O.Script = Value();
    else if (A == "--strict")
      O.Strict = true;
    else if (A == "--screenshot")
      O.Screenshot = Value();
    else if (A == "--palette")
      O.Palette = Value();
    else if (A == "--registry") {
      O.Registry = Value();
      // An empty name would otherwise mean the user's own hive.
      if (O.Registry->empty())
        BadUsage("--registry needs a file name, not an empty one");
    } else if (A == "--package")
      O.Packages.push_back(Value());
    else if (A == "--no-package")
      O.NoPackage = true;
    else if (A == "--help" || A == "-h") {
      std::cout << UsageText;
      std::exit(0);
    } else
      BadUsage("unknown option " + A);
  }
  if (O.Shell && O.Script)
    BadUsage("--shell and --script exclude each other");
  if (O.Strict && !O.Script)
    BadUsage("--strict goes with --script");
  if (O.Screenshot && !O.Script)
    BadUsage("--screenshot goes with --script");
  if (O.NoPackage && !O.Packages.empty())
    BadUsage("--no-package and --package exclude each other");
  return O;
}

bool DisplayAvailable() {
  const char* X = std::getenv("DISPLAY");
  const char* Wayland = std::getenv("WAYLAND_DISPLAY");
  return (X && *X) || (Wayland && *Wayland);
}

} // namespace

int main(int Argc, char** Argv) {
  const TOptions O = ParseOptions(Argc, Argv);
  std::optional<TCurrentUserHiveFileScope> Registry;
  if (O.Registry)
    Registry.emplace(UTF8Decode(*O.Registry));
  TStartOptions Start;
  Start.Palette = O.Palette;
  Start.Packages = O.Packages;
  Start.NoPackage = O.NoPackage;

  if (O.Screenshot) {
#ifdef HOSTIDE_WITH_QT
    return RunScriptInWindow(Argc, Argv, *O.Script, O.Strict, *O.Screenshot, Start);
#else
    std::cerr << "hostide: this build has no desktop window to take a screenshot of\n";
    return 2;
#endif
  }
  if (!O.Script && !O.Shell) {
#ifdef HOSTIDE_WITH_QT
    if (DisplayAvailable())
      return RunDesktop(Argc, Argv, Start);
    const char* Why = "hostide: no display available; starting the command shell.";
#else
    const char* Why = DisplayAvailable()
                          ? "hostide: this build has no desktop window; starting the command shell."
                          : "hostide: no display available; starting the command shell.";
#endif
    std::cerr << Why << " Type help for the commands.\n";
  }
  TShellOptions Shell;
  Shell.Start = Start;
  Shell.Script = O.Script;
  Shell.Strict = O.Strict;
  return RunShell(Shell);
}
