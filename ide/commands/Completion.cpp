// Completion of command lines: the command word here, its arguments by each command's completer.
#include "Completion.h"

#include "Commands_p.h"

#include "rtl/SysUtils.h"

#include <algorithm>
#include <filesystem>

using namespace commands;

namespace {

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

// Text as an argument that the shell reads back as Text: in quotes (every " doubled) when
// Quoted; a final argument is closed and followed by a blank.
std::string ArgumentText(std::string_view Text, bool Quoted, bool Final) {
  if (!Quoted)
    return std::string(Text) + (Final ? " " : "");
  std::string Q = Quote(Text);
  if (!Final)
    Q.pop_back();
  else
    Q += ' ';
  return Q;
}

bool NeedsQuotes(std::string_view Text) {
  return Text.empty() || Text[0] == '"' ||
         std::any_of(Text.begin(), Text.end(), [](char C) { return IsBlank(C); });
}

// Whether a command works at this moment: the editor's while a form runs modally, the others
// otherwise.
bool InScope(const TCommand& C, const TCommandInterpreter& I) {
  if (C.Scope == TCommand::Both)
    return true;
  return (C.Scope == TCommand::Editor) == (I.ModalForm() != nullptr);
}

} // namespace

// --- the helpers of the commands' completers ------------------------------------------------

namespace commands {

TPartialArguments SplitPartialArguments(std::string_view Text) {
  TPartialArguments Args;
  size_t Pos = 0;
  while (true) {
    while (Pos < Text.size() && IsBlank(Text[Pos]))
      ++Pos;
    Args.Start = Pos;
    Args.Quoted = false;
    Args.Typed.clear();
    if (Pos >= Text.size())
      return Args;
    std::string Arg;
    if (Text[Pos] != '"') {
      while (Pos < Text.size() && !IsBlank(Text[Pos]))
        Arg += Text[Pos++];
    } else {
      Args.Quoted = true;
      ++Pos;
      while (Pos < Text.size()) {
        if (Text[Pos] != '"') {
          Arg += Text[Pos++];
        } else if (Pos + 1 < Text.size() && Text[Pos + 1] == '"') {
          Arg += '"';
          Pos += 2;
        } else {
          ++Pos; // the closing quote: a blank must follow, or the cursor
          if (Pos < Text.size() && !IsBlank(Text[Pos])) {
            Args.Valid = false;
            return Args;
          }
          break;
        }
      }
    }
    if (Pos >= Text.size()) {
      Args.Typed = std::move(Arg);
      return Args;
    }
    Args.Done.push_back(std::move(Arg));
  }
}

bool StartsWithIgnoringCase(std::string_view Text, std::string_view Prefix) {
  // Simple case folding keeps every code point one code point, so a folded prefix is a prefix
  // of the folded text.
  const UnicodeString T = SimpleFoldCase(U16(Text));
  const UnicodeString P = SimpleFoldCase(U16(Prefix));
  return T.starts_with(P);
}

TCommand::TCompleter ArgumentCompleter(TArgumentCompleter Choices) {
  return [Choices = std::move(Choices)](const TCommandInterpreter& I, std::string_view Rest,
                                        TCompletion& Out) {
    const TPartialArguments Args = SplitPartialArguments(Rest);
    if (!Args.Valid)
      return;
    std::vector<TArgumentChoice> Fitting;
    for (TArgumentChoice& C : Choices(I, Args))
      if (StartsWithIgnoringCase(C.Value, Args.Typed))
        Fitting.push_back(std::move(C));
    bool Quoted = Args.Quoted;
    for (const TArgumentChoice& C : Fitting)
      Quoted = Quoted || NeedsQuotes(C.Value);
    Out.Start = Args.Start;
    for (const TArgumentChoice& C : Fitting) {
      TCandidate Candidate{ArgumentText(C.Value, Quoted, C.Final),
                           C.Shown.empty() ? C.Value : C.Shown};
      if (std::none_of(Out.Candidates.begin(), Out.Candidates.end(),
                       [&](const TCandidate& Other) { return Other.Text == Candidate.Text; }))
        Out.Candidates.push_back(std::move(Candidate));
    }
  };
}

std::vector<TArgumentChoice> FileChoices(const std::string& Typed) {
  namespace fs = std::filesystem;
  const size_t Slash = Typed.rfind('/');
  const std::string Folder = Slash == std::string::npos ? "" : Typed.substr(0, Slash + 1);
  const std::string Name = Slash == std::string::npos ? Typed : Typed.substr(Slash + 1);
  std::vector<TArgumentChoice> Choices;
  std::error_code Error;
  fs::directory_iterator It(Folder.empty() ? fs::path(".") : fs::path(Folder), Error);
  for (; !Error && It != fs::directory_iterator(); It.increment(Error)) {
    const std::string Entry = It->path().filename().string();
    // File names are matched as the file system names them: letter case counts. Hidden files
    // only when their dot was typed.
    if (!Entry.starts_with(Name) || (Entry.starts_with('.') && !Name.starts_with('.')))
      continue;
    std::error_code Ignored;
    const bool IsFolder = It->is_directory(Ignored);
    Choices.push_back(
        {Folder + Entry + (IsFolder ? "/" : ""), !IsFolder, Entry + (IsFolder ? "/" : "")});
  }
  std::sort(Choices.begin(), Choices.end(),
            [](const TArgumentChoice& A, const TArgumentChoice& B) { return A.Value < B.Value; });
  return Choices;
}

std::vector<TArgumentChoice> WordChoices(const std::vector<std::string>& Words) {
  std::vector<TArgumentChoice> Choices;
  for (const std::string& W : Words)
    Choices.push_back({W, true, ""});
  return Choices;
}

} // namespace commands

// --- lines --------------------------------------------------------------------------------------

std::string TCompletion::Replacement() const {
  if (Candidates.empty())
    return Typed;
  std::string Common = Candidates.front().Text;
  for (const TCandidate& C : Candidates) {
    size_t N = 0;
    while (N < Common.size() && N < C.Text.size() && Common[N] == C.Text[N])
      ++N;
    Common.resize(N);
  }
  // Never half a character: cut before a UTF-8 sequence that lost its end.
  size_t Cut = Common.size();
  while (Cut > 0 && (static_cast<unsigned char>(Common[Cut - 1]) & 0xC0) == 0x80)
    --Cut;
  if (Cut > 0 && static_cast<unsigned char>(Common[Cut - 1]) >= 0xC0) {
    const unsigned char Lead = static_cast<unsigned char>(Common[Cut - 1]);
    const size_t Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : 2;
    if (Common.size() - (Cut - 1) < Length)
      Common.resize(Cut - 1);
  }
  return Common.size() < Typed.size() ? Typed : Common;
}

TCompletion CompleteLine(const TCommandInterpreter& Interpreter, std::string_view Line) {
  TCompletion Result;
  Result.Start = Line.size();
  try {
    size_t Pos = 0;
    while (Pos < Line.size() && IsBlank(Line[Pos]))
      ++Pos;
    if (Pos < Line.size() && Line[Pos] == '#')
      return Result; // a comment
    const size_t WordStart = Pos;
    while (Pos < Line.size() && !IsBlank(Line[Pos]))
      ++Pos;
    const std::string_view Word = Line.substr(WordStart, Pos - WordStart);
    if (Pos >= Line.size()) {
      // The command word itself.
      Result.Start = WordStart;
      Result.Typed = std::string(Word);
      for (const TCommand& C : TCommandInterpreter::Commands())
        if (InScope(C, Interpreter) && C.Name.starts_with(Word))
          Result.Candidates.push_back({C.Name + " ", C.Name});
      return Result;
    }
    while (Pos < Line.size() && IsBlank(Line[Pos]))
      ++Pos;
    const TCommand* Command = TCommandInterpreter::FindCommand(Word);
    if (!Command || !Command->Complete || !InScope(*Command, Interpreter))
      return Result;
    const std::string_view Rest = Line.substr(Pos);
    TCompletion Out;
    Out.Start = Rest.size();
    Command->Complete(Interpreter, Rest, Out);
    Out.Start = std::min(Out.Start, Rest.size());
    Result.Start = Pos + Out.Start;
    Result.Typed = std::string(Rest.substr(Out.Start));
    Result.Candidates = std::move(Out.Candidates);
  } catch (...) {
    // A model or hive that cannot answer (a damaged hive, a broken IDE piece) offers nothing;
    // running the command reports why.
    Result.Start = Line.size();
    Result.Typed.clear();
    Result.Candidates.clear();
  }
  return Result;
}
