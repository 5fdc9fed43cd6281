#include "Interpreter.h"

#include "Commands_p.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <charconv>
#include <istream>
#include <ostream>

using namespace commands;

// --- shared helpers ---------------------------------------------------------------------------

namespace commands {

void Usage(const std::string& Text) {
  throw EShellSyntax(U16("Usage: " + Text));
}

int ToInt(const std::string& Text, const char* What) {
  int Value = 0;
  auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Error != std::errc() || End != Text.data() + Text.size())
    throw EShellSyntax(U16(std::string(What) + " must be a whole number, not " + Quote(Text)));
  return Value;
}

std::string TrimRight(std::string S) {
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t'))
    S.pop_back();
  return S;
}

void PrintTree(std::ostream& Out, const TMenuItem* Parent, int Depth) {
  for (int I = 0; I < Parent->Count(); ++I) {
    const TMenuItem* Item = Parent->Items(I);
    Out << std::string(static_cast<size_t>(Depth) * 2, ' ') << U8(Item->Caption());
    if (!Item->Visible())
      Out << " (hidden)";
    Out << '\n';
    PrintTree(Out, Item, Depth + 1);
  }
}

TStringGrid* GridOf(TCustomForm* Form) {
  if (!Form)
    return nullptr;
  for (int I = 0; I < Form->ComponentCount(); ++I)
    if (auto* Grid = dynamic_cast<TStringGrid*>(Form->Components(I)))
      return Grid;
  return nullptr;
}

void PrintGrid(std::ostream& Out, TStringGrid* Grid) {
  for (int R = 0; R < Grid->RowCount(); ++R) {
    Out << R << ':';
    for (int C = 0; C < Grid->ColCount(); ++C)
      Out << (C ? " | " : " ") << U8(Grid->Cells(C, R));
    Out << '\n';
  }
  if (Grid->HasCurrentCell())
    Out << "selection: " << Grid->Selection().Left << ',' << Grid->Selection().Top << '\n';
  else
    Out << "selection: none\n";
}

} // namespace commands

// --- reading lines ----------------------------------------------------------------------------

bool TStreamLineReader::ReadLine(std::string& Line, const std::string&) {
  return static_cast<bool>(std::getline(FIn, Line));
}

// --- the command table ------------------------------------------------------------------------

namespace {

// help: the command list, or one command's usage and an example.
void CmdHelp(TCommandInterpreter& I, const TCommandLine& L) {
  std::ostream& Out = I.Out();
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() > 1)
    Usage("help [COMMAND]");
  if (Args.size() == 1) {
    const TCommand* C = TCommandInterpreter::FindCommand(Args[0]);
    if (!C)
      throw EShellSyntax(U16("Unknown command " + Quote(Args[0]) + " (try help)"));
    Out << "usage: " << C->Usage << "\n  " << C->Help << "\nexample: " << C->Example << '\n';
    return;
  }
  Out << "Commands (arguments with blanks in double quotes; \"\" inside them is one \"):\n";
  for (const TCommand& C : TCommandInterpreter::Commands())
    Out << "  " << C.Usage << "\n      " << C.Help << '\n';
  Out << "Menu paths join captions with \" > \"; @button is the add-in's drop-down tool "
         "button.\nTab completes commands, menu paths, names, keys and files; help COMMAND "
         "shows an example.\n";
}

void AddGeneralCommands(TCommandTable& Table) {
  Table.push_back(
      {"echo", "echo TEXT", "print TEXT", "echo Saved the categories", TCommand::Both,
       [](TCommandInterpreter& I, const TCommandLine& L) { I.Out() << L.Rest << '\n'; }});
  Table.push_back({"help", "help [COMMAND]", "this list, or one command's usage and an example",
                   "help pick", TCommand::Both, CmdHelp,
                   ArgumentCompleter([](const TCommandInterpreter&, const TPartialArguments& A) {
                     std::vector<std::string> Names;
                     if (A.Done.empty())
                       for (const TCommand& C : TCommandInterpreter::Commands())
                         Names.push_back(C.Name);
                     return WordChoices(Names);
                   })});
  Table.push_back({"quit", "quit", "end the session", "quit", TCommand::Both,
                   [](TCommandInterpreter& I, const TCommandLine&) { I.Quit(); }});
}

} // namespace

const TCommand* TCommandInterpreter::FindCommand(std::string_view Name) {
  for (const TCommand& C : Commands())
    if (Name == C.Name)
      return &C;
  return nullptr;
}

const TCommandTable& TCommandInterpreter::Commands() {
  static const TCommandTable Table = [] {
    TCommandTable T;
    AddMenuCommands(T);
    AddPaletteCommands(T);
    AddRegistryCommands(T);
    AddPackageCommands(T);
    AddEditorCommands(T);
    AddGeneralCommands(T);
    return T;
  }();
  return Table;
}

// --- running ----------------------------------------------------------------------------------

TCommandInterpreter::TCommandInterpreter(THostIde& Ide, TLineReader& In, std::ostream& Out,
                                         bool Strict)
    : FIde(Ide), FIn(In), FOut(Out), FStrict(Strict) {}

bool TCommandInterpreter::ReadLine(std::string& Line, const std::string& Prompt) {
  if (FInputEnded)
    return false;
  if (!FIn.ReadLine(Line, Prompt)) {
    FInputEnded = true;
    if (OnInputEnd)
      OnInputEnd();
    return false;
  }
  ++FLineNumber;
  return true;
}

int TCommandInterpreter::Run() {
  try {
    std::string Line;
    while (!FQuit && !FIde.Terminated() && ReadLine(Line, "hostide> ")) {
      Execute(Line);
      FOut.flush();
    }
  } catch (const TStopScript&) {
    FOut.flush();
    return 1;
  }
  return 0;
}

bool TCommandInterpreter::Guard(const std::function<void()>& Action) {
  UnicodeString Message;
  try {
    Action();
    return true;
  } catch (const Exception& E) {
    Message = E.Message();
  } catch (const std::exception& E) {
    Message = U16(E.what());
  }
  FOut << "error: " << U8(Message) << '\n';
  FOut.flush();
  if (FStrict)
    throw TStopScript{};
  return false;
}

bool TCommandInterpreter::Execute(const std::string& Line) {
  return Guard([&] {
    const TCommandLine L = SplitCommand(Line);
    if (L.Command.empty())
      return;
    const TCommand* C = FindCommand(L.Command);
    if (!C)
      throw EShellSyntax(U16("Unknown command " + Quote(L.Command) + " (try help)"));
    if (FModalForm && C->Scope == TCommand::Normal)
      throw EShellSyntax(U16("The form " + Quote(U8(FModalForm->Caption())) +
                             " is open: use grid, set, select, ok or cancel"));
    if (!FModalForm && C->Scope == TCommand::Editor)
      throw EShellSyntax(U16("No form is open for " + L.Command));
    // Only the last command's menu is left for a front end to show; the editor's commands
    // leave the menu that opened the form alone.
    if (C->Scope != TCommand::Editor)
      FOpened = TOpenedMenu{};
    C->Run(*this, L);
  });
}

int TCommandInterpreter::RunModal(TCustomForm& Form) {
  TCustomForm* Outer = FModalForm;
  FModalForm = &Form;
  struct TRestore {
    TCustomForm*& Field;
    TCustomForm* Was;
    ~TRestore() { Field = Was; }
  } Restore{FModalForm, Outer};
  if (TStringGrid* Grid = GridOf(&Form))
    PrintGrid(FOut, Grid);
  std::string Line;
  while (Form.ModalResult() == mrNone) {
    if (FQuit || !ReadLine(Line, "editor> ")) {
      Form.SetModalResult(mrCancel);
      break;
    }
    Execute(Line);
    FOut.flush();
  }
  FOut << "modal result: " << Form.ModalResult() << '\n';
  return Form.ModalResult();
}

void TCommandInterpreter::PrintMessage(const UnicodeString& Text) {
  FOut << U8(Text) << '\n';
}

void TCommandInterpreter::Quit() {
  FQuit = true;
  if (FModalForm)
    FModalForm->SetModalResult(mrCancel);
}

TInterpreterHooks::TInterpreterHooks(TCommandInterpreter& Interpreter)
    : FModal([&Interpreter](TCustomForm& Form) { return Interpreter.RunModal(Form); }),
      FMessages(Interpreter.Ide(),
                [&Interpreter](const UnicodeString& Text) { Interpreter.PrintMessage(Text); }) {}
