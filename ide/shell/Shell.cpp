#include "Shell.h"

#include "Ide.h"
#include "Interpreter.h"

#include <editline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

// Lines from the terminal through libedit, with the history kept between sessions.
class TEditLineReader : public TLineReader {
public:
  TEditLineReader() {
    using_history();
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
  ~TEditLineReader() override {
    if (!FHistory.empty()) {
      write_history(FHistory.c_str());
      history_truncate_file(FHistory.c_str(), 1000);
    }
  }
  TEditLineReader(const TEditLineReader&) = delete;
  TEditLineReader& operator=(const TEditLineReader&) = delete;

  bool ReadLine(std::string& Line, const std::string& Prompt) override {
    char* Raw = readline(Prompt.c_str());
    if (!Raw)
      return false;
    Line = Raw;
    std::free(Raw);
    // A line is kept once, not again when it repeats the one before.
    const HIST_ENTRY* Last =
        history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
    if (!Line.empty() && (!Last || Line != Last->line))
      add_history(Line.c_str());
    return true;
  }

private:
  std::string FHistory;
};

} // namespace

int RunShell(const TShellOptions& Options) {
  std::unique_ptr<TLineReader> Reader;
  std::ifstream ScriptFile;
  if (Options.Script) {
    ScriptFile.open(*Options.Script);
    if (!ScriptFile) {
      std::cerr << "hostide: cannot read script " << *Options.Script << '\n';
      return 2;
    }
    Reader = std::make_unique<TStreamLineReader>(ScriptFile);
  } else if (isatty(STDIN_FILENO)) {
    Reader = std::make_unique<TEditLineReader>();
  } else {
    Reader = std::make_unique<TStreamLineReader>(std::cin);
  }

  THostIde Ide;
  TCommandInterpreter Interpreter(Ide, *Reader, std::cout, Options.Strict);
  TInterpreterHooks Hooks(Interpreter);
  auto Guard = [&](const std::function<void()>& Step) { Interpreter.Guard(Step); };
  try {
    StartIde(Ide, Options.Start, Guard);
  } catch (const TStopScript&) {
    std::cout.flush();
    std::cerr << "hostide: stopped: a failure while starting\n";
    return 1;
  }
  int Code = Interpreter.Run();
  try {
    StopIde(Ide, Guard);
  } catch (const TStopScript&) {
    Code = 1;
  }
  std::cout.flush();
  if (Code != 0 && Options.Script)
    std::cerr << "hostide: " << *Options.Script << ":" << Interpreter.LineNumber()
              << ": stopped after a failure\n";
  return Code;
}
