// The editor of a modal form: grid, set, select, ok, cancel.
#include "Commands_p.h"

#include "rtl/SysUtils.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <ostream>

using namespace commands;

namespace {

// The grid of the form that runs modally; EInvalidOperation when there is none.
TStringGrid* ModalGrid(TCommandInterpreter& I) {
  TStringGrid* Grid = GridOf(I.ModalForm());
  if (!Grid)
    throw EInvalidOperation(u"The open form has no grid");
  return Grid;
}

void CmdGrid(TCommandInterpreter& I, const TCommandLine& L) {
  if (!L.Rest.empty())
    Usage("grid");
  PrintGrid(I.Out(), ModalGrid(I));
}

void CmdSet(TCommandInterpreter& I, const TCommandLine& L) {
  // ROW, one blank, then TEXT exactly as typed (quotes around it optional).
  const size_t Blank = L.Rest.find(' ');
  if (L.Rest.empty() || Blank == std::string::npos)
    Usage("set ROW TEXT (set ROW \"\" empties the cell)");
  const int Row = ToInt(L.Rest.substr(0, Blank), "The row");
  const std::string Text = RestArgument(std::string_view(L.Rest).substr(Blank + 1));
  TStringGrid* Grid = ModalGrid(I);
  if (!Grid->UserSelectCell(1, Row))
    throw EInvalidOperation(u"Cell 1," + IntToStr(Row) + u" cannot be selected");
  if (!Grid->UserEditCell(U16(Text)))
    throw EInvalidOperation(u"Cell 1," + IntToStr(Row) + u" cannot be edited");
}

void CmdSelect(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  if (Args.size() != 2)
    Usage("select COL ROW");
  const int Col = ToInt(Args[0], "The column");
  const int Row = ToInt(Args[1], "The row");
  I.Out() << (ModalGrid(I)->UserSelectCell(Col, Row) ? "selected" : "refused") << '\n';
}

// Closes the modal form as a user does: a click on its button of that result, if it has one
// that shows.
void CloseModal(TCommandInterpreter& I, int Result) {
  TCustomForm* Form = I.ModalForm();
  for (int N = 0; N < Form->ComponentCount(); ++N)
    if (auto* B = dynamic_cast<TButton*>(Form->Components(N)))
      if (B->ModalResult() == Result && B->Visible() && B->Enabled()) {
        B->Click();
        return;
      }
  Form->SetModalResult(Result);
}

} // namespace

void AddEditorCommands(TCommandTable& Table) {
  Table.push_back(
      {"grid", "grid", "print the editor's grid and selection", "grid", TCommand::Editor, CmdGrid});
  Table.push_back({"set", "set ROW TEXT", "select column 1 of ROW and type TEXT as its content",
                   "set 24 Common;VCL", TCommand::Editor, CmdSet});
  Table.push_back({"select", "select COL ROW", "try to select a cell; prints selected or refused",
                   "select 1 2", TCommand::Editor, CmdSelect});
  Table.push_back({"ok", "ok", "close the editor with OK", "ok", TCommand::Editor,
                   [](TCommandInterpreter& I, const TCommandLine&) { CloseModal(I, mrOk); }});
  Table.push_back({"cancel", "cancel", "close the editor with Cancel", "cancel", TCommand::Editor,
                   [](TCommandInterpreter& I, const TCommandLine&) { CloseModal(I, mrCancel); }});
}
