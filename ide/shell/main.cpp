// hostide: the stand-in IDE. Builds the IDE, fills its palette, loads the packages, then runs
// the command shell (interactive, with line editing and history) or a script.
#include "Ide.h"
#include "Shell.h"

#include "rtl/RegistryHive.h"

#ifdef HOSTIDE_WITH_QT
#include "Desktop.h"
#endif

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>

namespace {

const char* const UsageText =
    "usage: hostide [--shell | --script FILE [--strict] [--screenshot PNG]] [--palette FILE]\n"
    "               [--registry FILE] [--package FILE]... [--no-package]\n"
    "  (no option)      the desktop window when a display is available, else the shell\n"
    "  --shell          the interactive command shell\n"
    "  --script FILE    run the shell's commands from FILE, printing their output\n"
    "  --strict         with --script: stop at the first failure and exit with status 1\n"
    "  --screenshot PNG with --script: run the script in the desktop window and save an\n"
    "                   image of it (with the menu or dialog open at the end) to PNG\n"
    "  --palette FILE   fill the Tool Palette from FILE instead of the default palette\n"
    "  --registry FILE  the registry hive file to use instead of the user's own\n"
    "  --package FILE   load this package at start (repeatable); without it the\n"
    "                   Orvik Palette Menu package built with the IDE is loaded\n"
    "  --no-package     load no package at start\n";

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

// Lines from the terminal through GNU readline, with the history kept between sessions.
class TReadlineReader : public TLineReader {
public:
  TReadlineReader() {
    const char* State = std::getenv("XDG_STATE_HOME");
    const char* Home = std::getenv("HOME");
    std::filesystem::path Dir;
    if (State && *State)
      Dir = std::filesystem::path(State) / "hostide";
    else if (Home && *Home)
      Dir = std::filesystem::path(Home) / ".local" / "state" / "hostide";
    if (!Dir.empty()) {
      std::error_code Ignored;
      std::filesystem::create_directories(Dir, Ignored);
      FHistory = (Dir / "history").string();
      read_history(FHistory.c_str());
    }
  }
  ~TReadlineReader() override {
    if (!FHistory.empty()) {
      write_history(FHistory.c_str());
      history_truncate_file(FHistory.c_str(), 1000);
    }
  }
  bool ReadLine(std::string& Line, const std::string& Prompt) override {
    char* Raw = readline(Prompt.c_str());
    if (!Raw)
      return false;
    Line = Raw;
    std::free(Raw);
    if (!Line.empty() && (history_length == 0 || Line != history_get(history_length)->line))
      add_history(Line.c_str());
    return true;
  }

private:
  std::string FHistory;
};

bool DisplayAvailable() {
  const char* X = std::getenv("DISPLAY");
  const char* Wayland = std::getenv("WAYLAND_DISPLAY");
  return (X && *X) || (Wayland && *Wayland);
}

} // namespace

int main(int Argc, char** Argv) {
  const TOptions O = ParseOptions(Argc, Argv);
  if (O.Registry)
    SetCurrentUserHiveFile(UTF8Decode(*O.Registry));

  // What every front end does once the IDE exists: fill the palette, load the packages. Each
  // step's failure is reported by the front end, and the IDE goes on.
  auto Start = [&O](THostIde& Ide,
                    const std::function<void(const std::function<void()>&)>& Report) {
    Report([&] {
      Ide.LoadPalette(O.Palette ? ReadPaletteFile(*O.Palette) : THostIde::DefaultPalette());
    });
    std::vector<std::string> Packages = O.Packages;
    if (Packages.empty() && !O.NoPackage)
      Packages.push_back(THostIde::DefaultPackage());
    for (const std::string& P : Packages)
      Report([&] { Ide.Packages().Load(P); });
  };

  std::unique_ptr<TLineReader> Reader;
  std::ifstream ScriptFile;
  if (O.Script) {
    ScriptFile.open(*O.Script);
    if (!ScriptFile) {
      std::cerr << "hostide: cannot read script " << *O.Script << '\n';
      return 2;
    }
    Reader = std::make_unique<TStreamLineReader>(ScriptFile);
  } else {
#ifdef HOSTIDE_WITH_QT
    if (!O.Shell && DisplayAvailable())
      return RunDesktop(Argc, Argv, Start);
#endif
    if (!O.Shell) {
#ifdef HOSTIDE_WITH_QT
      const char* Why = "hostide: no display available; starting the command shell.";
#else
      const char* Why =
          DisplayAvailable()
              ? "hostide: this build has no desktop window; starting the command shell."
              : "hostide: no display available; starting the command shell.";
#endif
      std::cerr << Why << " Type help for the commands.\n";
    }
    if (isatty(STDIN_FILENO))
      Reader = std::make_unique<TReadlineReader>();
    else
      Reader = std::make_unique<TStreamLineReader>(std::cin);
  }

  if (O.Screenshot) {
#ifdef HOSTIDE_WITH_QT
    const int Code = RunScriptInWindow(Argc, Argv, *Reader, O.Strict, *O.Screenshot, Start);
    if (Code != 0)
      std::cerr << "hostide: " << *O.Script << ": stopped after a failure\n";
    return Code;
#else
    std::cerr << "hostide: this build has no desktop window to take a screenshot of\n";
    return 2;
#endif
  }

  THostIde Ide;
  TShell Shell(Ide, *Reader, std::cout, O.Strict);
  try {
    Start(Ide, [&](const std::function<void()>& Action) { Shell.Guard(Action); });
  } catch (const TStopScript&) {
    std::cout.flush();
    std::cerr << "hostide: stopped: a failure while starting\n";
    return 1;
  }
  const int Code = Shell.Run();
  std::cout.flush();
  if (Code != 0 && O.Script)
    std::cerr << "hostide: " << *O.Script << ":" << Shell.LineNumber()
              << ": stopped after a failure\n";
  return Code;
}
