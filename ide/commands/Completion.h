// Completion of a command line as a terminal's Tab key offers it: the words that may follow what
// was typed, computed from the live model (command names, menu paths, tool buttons, palette
// tabs, registry keys and values, files). Completing never changes the model or the hive: a menu
// that has to be opened to know its items is opened as the commands open it (so that handlers
// rebuilding it run) and closed again, and no item is ever clicked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TCommandInterpreter;

struct TCandidate {
  std::string Text;  // replaces the line from TCompletion::Start to the cursor
  std::string Shown; // what a list of the candidates shows (a caption, a name)
};

struct TCompletion {
  // Where the completed piece begins in the line (a byte offset).
  size_t Start = 0;
  // The line from Start to the cursor, as typed.
  std::string Typed;
  std::vector<TCandidate> Candidates;

  // What to put in place of Typed: the only candidate's text, else the longest beginning that
  // every candidate's text shares, unless that is shorter than Typed (candidates that differ
  // from what was typed in letter case or "&" markers only), in which case Typed stays.
  std::string Replacement() const;
};

// The completions of Line, which ends at the cursor, for the commands that work at this moment
// (the editor's while a form runs modally). No candidates when nothing fits. Never throws.
TCompletion CompleteLine(const TCommandInterpreter& Interpreter, std::string_view Line);
