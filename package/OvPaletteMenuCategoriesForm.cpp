#include "OvPaletteMenuCategoriesForm.h"

#include "OvPaletteMenuCommon.h"

#include "rtl/SysUtils.h"

#include <unordered_set>

namespace {
const UnicodeString StoreKey = u"Software\\Orvik\\Palette Menu";
const UnicodeString CategoriesSection = u"Categories";
} // namespace

const TClassInfo& TOvFrmPaletteMenuCategories::StaticClass() {
  using T = TOvFrmPaletteMenuCategories;
  static const TClassInfo Info =
      TClassBuilder<T>(u"TOvFrmPaletteMenuCategories", &TForm::StaticClass())
          .Field(u"BtnOk", &T::BtnOk)
          .Field(u"GrdCategories", &T::GrdCategories)
          .Field(u"BtnCancel", &T::BtnCancel)
          .Method(u"FormCreate", &T::FormCreate)
          .Method(u"FormDestroy", &T::FormDestroy)
          .Method<TDrawCellEvent>(u"GrdCategoriesDrawCell", &T::GrdCategoriesDrawCell)
          .Method<TSelectCellEvent>(u"GrdCategoriesSelectCell", &T::GrdCategoriesSelectCell);
  return Info;
}
HOST_CLASS_TYPE(TOvFrmPaletteMenuCategories)

TOvFrmPaletteMenuCategories::TOvFrmPaletteMenuCategories(TComponent* AOwner) : TForm(AOwner) {}

TOvFrmPaletteMenuCategories::~TOvFrmPaletteMenuCategories() = default;

void TOvFrmPaletteMenuCategories::FormCreate(TObject*) {
  FTabs.reset(new TStringList);
  FReg.reset(new TRegIniFile(StoreKey));
}

void TOvFrmPaletteMenuCategories::FormDestroy(TObject*) {
  FTabs.reset();
  FReg.reset();
}

void TOvFrmPaletteMenuCategories::SetTabs(const TStrings& Value) {
  FTabs->Assign(Value);
}

UnicodeString TOvFrmPaletteMenuCategories::GetCategory(const UnicodeString& TabKey) {
  return FReg->ReadString(CategoriesSection, TabKey, u"");
}

void TOvFrmPaletteMenuCategories::UpdateControls() {
  // Captions that differ only in "&" have one tab key, and keys that differ only in letter case
  // name one stored value: each such group gets one row, or the lower row would overwrite an
  // edit made in the upper one when the grid is saved.
  std::unordered_set<UnicodeString> Listed; // the keys of the rows, case folded
  int Rows = 0;
  GrdCategories->SetRowCount(FTabs->Count() + 1);
  GrdCategories->SetCells(0, 0, u"Tab");
  GrdCategories->SetCells(1, 0, u"Category");
  for (int I = 0; I < FTabs->Count(); ++I) {
    const UnicodeString TabKey = RemoveAmpersand(FTabs->Get(I));
    if (!Listed.insert(SimpleFoldCase(TabKey)).second)
      continue;
    ++Rows;
    GrdCategories->SetCells(0, Rows, TabKey);
    GrdCategories->SetCells(1, Rows, GetCategory(TabKey));
  }
  GrdCategories->SetRowCount(Rows + 1);
  // With no palette tab there is only the header, and nothing to select.
  if (Rows > 0)
    GrdCategories->SetSelection(TGridRect{1, 1, 1, 1});
}

void TOvFrmPaletteMenuCategories::SaveCategories() {
  // The rows reach the store together, as one change, when the update ends; should that fail,
  // they are written one by one and the rows before a failing one stay written. One flush then
  // puts them on the disk: confirming the dialog costs one commit and one sync however many
  // rows there are.
  FReg->BeginUpdate();
  // Column 0 holds the tab key itself.
  for (int Row = 1; Row < GrdCategories->RowCount(); ++Row) {
    const UnicodeString TabKey = GrdCategories->Cells(0, Row);
    const UnicodeString Categories = GrdCategories->Cells(1, Row);
    if (!Categories.empty())
      FReg->WriteString(CategoriesSection, TabKey, Categories);
    else
      FReg->DeleteKey(CategoriesSection, TabKey);
  }
  FReg->EndUpdate();
  FReg->FlushKey();
}

void TOvFrmPaletteMenuCategories::GrdCategoriesDrawCell(TObject*, int ACol, int ARow,
                                                        const TRect& Rect, TGridDrawState State) {
  TCanvas* Canvas = GrdCategories->Canvas();
  Canvas->SetFont(*Font());
  Canvas->Brush()->SetColor(clWindow);
  if (ACol == 0)
    Canvas->Brush()->SetColor(clBtnFace);
  if (ARow == 0)
    Canvas->Brush()->SetColor(clBtnFace);
  if (State & gdSelected) {
    Canvas->Brush()->SetColor(clHighlight);
    Canvas->Font()->SetColor(clHighlightText);
  }
  Canvas->TextRect(Rect, Rect.Left + 2, Rect.Top + 2, GrdCategories->Cells(ACol, ARow));
  if (State & gdFocused)
    Canvas->DrawFocusRect(Rect);
}

void TOvFrmPaletteMenuCategories::GrdCategoriesSelectCell(TObject*, int ACol, int,
                                                          bool& CanSelect) {
  CanSelect = ACol == 1;
}
