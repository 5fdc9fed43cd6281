// The command shell over the IDE model: reads commands line by line (from a terminal or a
// script), runs them at the IDE's event boundary and prints their results in fixed formats.
// While a form runs modally (the categories editor), a nested command loop reads the editor's
// commands until the form is closed.
#pragma once

#include "CommandLine.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class THostIde;
class TCustomForm;
class TMenuItem;
class TPopupMenu;
class TToolButton;
class TStringGrid;

// Where the shell's lines come from.
class TLineReader {
public:
  virtual ~TLineReader() = default;
  // The next line without its line end; false at the end of input.
  virtual bool ReadLine(std::string& Line, const std::string& Prompt) = 0;
};

class TStreamLineReader : public TLineReader {
public:
  explicit TStreamLineReader(std::istream& In) : FIn(In) {}
  bool ReadLine(std::string& Line, const std::string& Prompt) override;

private:
  std::istream& FIn;
};

// Thrown (never caught by the IDE's event boundary) to end a strict script at its first failure.
struct TStopScript {};

class TShell {
public:
  // Installs the shell as the runner of modal forms for as long as it lives.
  TShell(THostIde& Ide, TLineReader& In, std::ostream& Out, bool Strict);
  ~TShell();
  TShell(const TShell&) = delete;
  TShell& operator=(const TShell&) = delete;

  // Runs commands until quit, the end of input or File > Exit; answers the exit code (with
  // Strict, 1 after the first failure).
  int Run();
  // Runs one line of input.
  void Execute(const std::string& Line);
  // The IDE's event boundary: runs Action and prints a failure as "error: MESSAGE". Answers
  // whether Action succeeded. With Strict, a failure throws TStopScript after printing.
  bool Guard(const std::function<void()>& Action);
  // How many lines have been read, for messages.
  int LineNumber() const { return FLineNumber; }

private:
  struct TCommand;
  static const TCommand* FindCommand(const std::string& Name);
  static const std::vector<TCommand>& Commands();

  int RunModal(TCustomForm& Form);
  bool ReadLine(std::string& Line, const std::string& Prompt);

  // Commands.
  void CmdHelp(const TCommandLine& L);
  void CmdQuit(const TCommandLine& L);
  void CmdEcho(const TCommandLine& L);
  void CmdMenu(const TCommandLine& L);
  void CmdOpen(const TCommandLine& L);
  void CmdPick(const TCommandLine& L);
  void CmdPress(const TCommandLine& L);
  void CmdPalette(const TCommandLine& L);
  void CmdToolbar(const TCommandLine& L);
  void CmdTab(const TCommandLine& L);
  void CmdScroll(const TCommandLine& L);
  void CmdReg(const TCommandLine& L);
  void CmdPackages(const TCommandLine& L);
  void CmdLoad(const TCommandLine& L);
  void CmdUnload(const TCommandLine& L);
  void CmdIde(const TCommandLine& L);
  // Commands of a modal form.
  void CmdGrid(const TCommandLine& L);
  void CmdSet(const TCommandLine& L);
  void CmdSelect(const TCommandLine& L);
  void CmdOk(const TCommandLine& L);
  void CmdCancel(const TCommandLine& L);

  // Helpers.
  void PrintTree(const TMenuItem* Parent, int Depth);
  void PrintGrid();
  // The grid of the form that runs modally; EInvalidOperation when there is none.
  TStringGrid* ModalGrid();
  TToolButton* FindButton(const std::string& Name);
  TMenuItem* FindItem(TMenuItem* Parent, const std::string& Caption, const std::string& Where);
  void CloseModal(int Result);

  THostIde& FIde;
  TLineReader& FIn;
  std::ostream& FOut;
  bool FStrict;
  bool FQuit = false;
  int FLineNumber = 0;
  TCustomForm* FModalForm = nullptr;
};
