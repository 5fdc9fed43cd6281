// The command interpreter over the IDE model, shared by the front ends: reads commands line by
// line (from a terminal, a script or a window's script runner), runs them at the IDE's event
// boundary and prints their results in fixed formats. While a form runs modally (the categories
// editor), a nested command loop reads the editor's commands until the form is closed. What a
// command left open (a menu, a form) is reported as values for the front end to show.
#pragma once

#include "CommandLine.h"
#include "LineReader.h"

#include "Ide.h"
#include "IdeTestAids.h"
#include "vcl/Forms.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class TCustomForm;
class TMenuItem;
class TPopupMenu;
class TToolButton;
class TStringGrid;

// Thrown (never caught by the IDE's event boundary) to end a strict script at its first failure.
struct TStopScript {};

// The menu that the last command opened, and left for a front end to show.
struct TOpenedMenu {
  enum TKind { None, MainMenuEntry, ButtonMenu };
  TKind Kind = None;
  TMenuItem* Entry = nullptr;    // MainMenuEntry: the top-level entry of the main menu
  TToolButton* Button = nullptr; // ButtonMenu: the tool button whose menu dropped down
  TPopupMenu* Popup = nullptr;   // ButtonMenu: that menu
};

class TCommandInterpreter;

struct TCompletion;

// One command of the table.
struct TCommand {
  // Where a command works: outside modal runs, inside them (the editor), or both.
  enum TScope { Normal, Editor, Both };
  // Completes the text after the command word (Rest, up to the cursor) into Out, whose Start is
  // an offset in Rest. It may open menus as the command would, but changes nothing.
  using TCompleter = std::function<void(const TCommandInterpreter& Interpreter,
                                        std::string_view Rest, TCompletion& Out)>;
  std::string Name;
  std::string Usage;
  std::string Help;
  std::string Example; // one line that runs the command, as help COMMAND shows it
  TScope Scope = Normal;
  std::function<void(TCommandInterpreter& Interpreter, const TCommandLine& Line)> Run;
  TCompleter Complete = nullptr; // none: nothing to complete after the command word
};
using TCommandTable = std::vector<TCommand>;

class TCommandInterpreter {
public:
  // Reads from In and prints to Out. With Strict, the first failure ends the run.
  TCommandInterpreter(THostIde& Ide, TLineReader& In, std::ostream& Out, bool Strict);
  TCommandInterpreter(const TCommandInterpreter&) = delete;
  TCommandInterpreter& operator=(const TCommandInterpreter&) = delete;

  // Every command, in the order help lists them.
  static const TCommandTable& Commands();
  // The command of that name, or nullptr.
  static const TCommand* FindCommand(std::string_view Name);

  // Runs commands until quit, the end of input or File > Exit; answers the exit code (with
  // Strict, 1 after the first failure).
  int Run();
  // Runs one line of input; answers whether it succeeded (TStopScript after a failure when
  // Strict).
  bool Execute(const std::string& Line);
  // The IDE's event boundary: runs Action and prints a failure as "error: MESSAGE". Answers
  // whether Action succeeded. With Strict, a failure throws TStopScript after printing.
  bool Guard(const std::function<void()>& Action);
  // Runs a form modally by reading the editor's commands until the form has a modal result;
  // the end of input cancels it. This is the interpreter's modal runner.
  int RunModal(TCustomForm& Form);
  // Prints a message of the IDE's own; the interpreter's message handler.
  void PrintMessage(const UnicodeString& Text);

  // How many lines have been read, for messages.
  int LineNumber() const { return FLineNumber; }
  // What the last command left open.
  const TOpenedMenu& Opened() const { return FOpened; }
  // The form that runs modally, or nullptr.
  TCustomForm* ModalForm() const { return FModalForm; }
  // Runs once, when the input has no more lines (before a modal form open then is cancelled).
  std::function<void()> OnInputEnd;

  // For the commands.
  THostIde& Ide() const { return FIde; }
  std::ostream& Out() const { return FOut; }
  void SetOpened(const TOpenedMenu& Opened) { FOpened = Opened; }
  void Quit();
  // The pieces of the IDE that `ide break` took away, for `ide repair` to put back.
  TIdeFaults& Faults() { return FFaults; }

private:
  bool ReadLine(std::string& Line, const std::string& Prompt);

  THostIde& FIde;
  TLineReader& FIn;
  std::ostream& FOut;
  bool FStrict;
  bool FQuit = false;
  bool FInputEnded = false;
  int FLineNumber = 0;
  TCustomForm* FModalForm = nullptr;
  TOpenedMenu FOpened;
  TIdeFaults FFaults{FIde};
};

// Makes an interpreter the runner of modal forms and the IDE's message handler while it lives.
class TInterpreterHooks {
public:
  explicit TInterpreterHooks(TCommandInterpreter& Interpreter);

private:
  TModalRunnerScope FModal;
  TMessageHandlerScope FMessages;
};
