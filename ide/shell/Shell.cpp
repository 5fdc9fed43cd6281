#include "Shell.h"

#include "Completion.h"
#include "Ide.h"
#include "Interpreter.h"

#include <editline/readline.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

// What Tab completes with while a line is read: set by the reader that reads it.
std::function<TCompletion(std::string_view Line)>* ActiveCompleter = nullptr;

char* Copy(const std::string& Text) {
  char* C = static_cast<char*>(std::malloc(Text.size() + 1));
  if (C)
    std::memcpy(C, Text.c_str(), Text.size() + 1);
  return C;
}

// libedit's completion hook. The word it hands over is the whole line up to the cursor (no
// character breaks words), so that the completion, which knows the shell's quoting and menu
// paths, decides what to replace. Entry 0 of the answer replaces the line up to the cursor; the
// entries after it are what two Tabs list.
char** CompleteForEditLine(const char* Text, int Start, int) {
  rl_attempted_completion_over = 1; // never libedit's own file names
  rl_completion_append_character = '\0';
  if (!ActiveCompleter || Start != 0)
    return nullptr;
  const std::string Line = Text;
  const TCompletion C = (*ActiveCompleter)(Line);
  if (C.Candidates.empty())
    return nullptr;
  const std::string Whole = Line.substr(0, C.Start) + C.Replacement();
  const size_t Count = C.Candidates.size();
  auto** Matches = static_cast<char**>(std::calloc(Count + 2, sizeof(char*)));
  if (!Matches)
    return nullptr;
  Matches[0] = Copy(Whole);
  // A single candidate is told to libedit by an entry 1 equal to entry 0.
  for (size_t N = 0; N < Count; ++N)
    Matches[N + 1] = Copy(C.Candidates.size() == 1 ? Whole : C.Candidates[N].Shown);
  for (size_t N = 0; N <= Count; ++N)
    if (!Matches[N]) {
      for (size_t M = 0; M <= Count; ++M)
        std::free(Matches[M]);
      std::free(Matches);
      return nullptr;
    }
  return Matches;
}

// Lines from the terminal through libedit, with the history kept between sessions and Tab
// completion.
class TEditLineReader : public TLineReader {
public:
  TEditLineReader() {
    // The terminal's character set, so that libedit edits and completes UTF-8 text by
    // characters.
    std::setlocale(LC_CTYPE, "");
    // No character ends a word: CompleteForEditLine gets the line up to the cursor.
    rl_basic_word_break_characters = "\001";
    rl_completer_word_break_characters = const_cast<char*>("\001");
    rl_attempted_completion_function = CompleteForEditLine;
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
    if (ActiveCompleter == &FCompleter)
      ActiveCompleter = nullptr;
    if (!FHistory.empty()) {
      write_history(FHistory.c_str());
      history_truncate_file(FHistory.c_str(), 1000);
    }
  }
  TEditLineReader(const TEditLineReader&) = delete;
  TEditLineReader& operator=(const TEditLineReader&) = delete;

  void SetCompleter(std::function<TCompletion(std::string_view Line)> Completer) {
    FCompleter = std::move(Completer);
  }

  bool ReadLine(std::string& Line, const std::string& Prompt) override {
    ActiveCompleter = FCompleter ? &FCompleter : nullptr;
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
  std::function<TCompletion(std::string_view Line)> FCompleter;
};

} // namespace

int RunShell(const TShellOptions& Options) {
  std::unique_ptr<TLineReader> Reader;
  TEditLineReader* Terminal = nullptr;
  std::ifstream ScriptFile;
  if (Options.Script) {
    ScriptFile.open(*Options.Script);
    if (!ScriptFile) {
      std::cerr << "hostide: cannot read script " << *Options.Script << '\n';
      return 2;
    }
    Reader = std::make_unique<TStreamLineReader>(ScriptFile);
  } else if (isatty(STDIN_FILENO)) {
    auto Edit = std::make_unique<TEditLineReader>();
    Terminal = Edit.get();
    Reader = std::move(Edit);
  } else {
    Reader = std::make_unique<TStreamLineReader>(std::cin);
  }

  THostIde Ide;
  TCommandInterpreter Interpreter(Ide, *Reader, std::cout, Options.Strict);
  TInterpreterHooks Hooks(Interpreter);
  if (Terminal)
    Terminal->SetCompleter(
        [&Interpreter](std::string_view Line) { return CompleteLine(Interpreter, Line); });
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
