// Cost of the categories editor from the click on "Edit Categories..." to the end of its save:
// the dialog is built from its layout, filled from the palette and the store, "shown" by a
// modal runner that edits cells as a user would and presses OK, then every row is saved and
// the dialog released. The palette has Tabs tabs, three categories each stored. Every row is
// written back, all of them in one committed transaction, and the whole save made durable once.
// The same runs cancelled instead show what the dialog costs without the save.
#include "BenchIde.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

using namespace bench;

// EditedRows 0 means every row.
void OpenEditSave(benchmark::State& State, int Tabs, int EditedRows, bool Confirm) {
  TBenchIde Ide(TPaletteShape{Tabs, 3, 200});
  Ide.OpenMain();
  TMenuItem* Edit = Ide.PaletteEntry()->Find(u"Edit Categories...");
  if (!Edit) {
    State.SkipWithError("no Edit Categories... item");
    return;
  }
  int Round = 0;
  int Rows = 0;
  TModalRunnerScope Runner([&](TCustomForm& Form) {
    auto* Grid = dynamic_cast<TStringGrid*>(Form.FindComponent(u"GrdCategories"));
    if (!Grid)
      return static_cast<int>(mrCancel);
    Rows = Grid->RowCount() - 1;
    const int Last = EditedRows == 0 ? Rows : std::min(EditedRows, Rows);
    const UnicodeString Text = Round % 2 ? u"Edited;VCL" : u"Common;Edited";
    for (int R = 1; R <= Last; ++R)
      Grid->SetCells(1, R, Text);
    return static_cast<int>(Confirm ? mrOk : mrCancel);
  });
  for (auto _ : State) {
    Edit->Click();
    ++Round;
  }
  State.counters["rows"] = Rows;
}

void Register() {
  for (int Tabs : {500, 5000})
    for (int Edited : {1, 0})
      for (bool Confirm : {true, false})
        benchmark::RegisterBenchmark(((Confirm ? "OpenEditSave/Tabs" : "OpenEditCancel/Tabs") +
                                      std::to_string(Tabs) +
                                      (Edited ? "/OneRowEdited" : "/AllRowsEdited"))
                                         .c_str(),
                                     OpenEditSave, Tabs, Edited, Confirm)
            ->Unit(benchmark::kMillisecond)
            // A fixed count, so that syncs counted over a whole run (strace -c) divide evenly.
            ->Iterations(4);
}

} // namespace

int main(int argc, char** argv) {
  return bench::RunBenchmarks(argc, argv, Register);
}
