// Cost of the categories editor from the click on "Edit Categories..." to the end of its save:
// the dialog is built from its layout, filled from the palette and the store, "shown" by a
// modal runner that edits cells as a user would and presses OK, then every row is saved and
// the dialog released. The palette has Tabs tabs, three categories each stored.
#include "BenchIde.h"

#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <benchmark/benchmark.h>

namespace {

using namespace bench;

// EditedRows 0 means every row.
void OpenEditSave(benchmark::State& State, int Tabs, int EditedRows) {
  TBenchIde Ide(TPaletteShape{Tabs, 3, 200});
  Ide.OpenMain();
  TMenuItem* Edit = Ide.PaletteEntry()->Find(u"Edit Categories...");
  if (!Edit) {
    State.SkipWithError("no Edit Categories... item");
    return;
  }
  int Round = 0;
  int Rows = 0;
  SetModalRunner([&](TCustomForm& Form) {
    auto* Grid = dynamic_cast<TStringGrid*>(Form.FindComponent(u"GrdCategories"));
    if (!Grid)
      return static_cast<int>(mrCancel);
    Rows = Grid->RowCount() - 1;
    const int Last = EditedRows == 0 ? Rows : std::min(EditedRows, Rows);
    const UnicodeString Text = Round % 2 ? u"Edited;VCL" : u"Common;Edited";
    for (int R = 1; R <= Last; ++R)
      Grid->SetCells(1, R, Text);
    return static_cast<int>(mrOk);
  });
  for (auto _ : State) {
    Edit->Click();
    ++Round;
  }
  SetModalRunner(nullptr);
  State.counters["rows"] = Rows;
}

} // namespace

BENCHMARK_CAPTURE(OpenEditSave, Tabs500 / OneRowEdited, 500, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenEditSave, Tabs5000 / OneRowEdited, 5000, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenEditSave, Tabs500 / AllRowsEdited, 500, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenEditSave, Tabs5000 / AllRowsEdited, 5000, 0)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  bench::TTempHiveFolder Hive;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
