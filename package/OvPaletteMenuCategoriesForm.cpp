#include "OvPaletteMenuCategoriesForm.h"

#include "OvPaletteMenuCommon.h"

#include "rtl/SysUtils.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace {
const UnicodeString StoreKey = u"Software\\Orvik\\Palette Menu";
const UnicodeString CategoriesSection = u"Categories";

// A hash of Key folded as the store folds names (RegistryNames::Fold): keys equal by that
// folding hash alike. A key of ASCII only (most) is hashed as it is read; any other is folded
// into Scratch first.
size_t FoldedHash(std::u16string_view Key, UnicodeString& Scratch) {
  auto HashOf = [](std::u16string_view Folded) {
    uint64_t H = 14695981039346656037ull; // FNV-1a, a unit at a time
    for (char16_t C : Folded)
      H = (H ^ C) * 1099511628211ull;
    return static_cast<size_t>(H ^ (H >> 29));
  };
  uint64_t H = 14695981039346656037ull;
  for (char16_t C : Key) {
    if (C >= 0x80) {
      SimpleFoldCaseInto(Key, Scratch);
      return HashOf(Scratch);
    }
    H = (H ^ ((C >= u'A' && C <= u'Z') ? static_cast<char16_t>(C + 32) : C)) * 1099511628211ull;
  }
  return static_cast<size_t>(H ^ (H >> 29));
}
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
  FReg = std::make_unique<TRegIniFile>(StoreKey);
}

void TOvFrmPaletteMenuCategories::FormDestroy(TObject*) {
  FTabs.reset();
  FReg.reset();
}

void TOvFrmPaletteMenuCategories::SetTabs(const TStrings& Value) {
  FTabs->Assign(Value);
}

void TOvFrmPaletteMenuCategories::SetTabs(TStringList&& Value) {
  // FTabs is the string list FormCreate made: it takes the strings over.
  if (auto* List = dynamic_cast<TStringList*>(FTabs.get()))
    List->Assign(std::move(Value));
  else
    FTabs->Assign(Value);
}

UnicodeString TOvFrmPaletteMenuCategories::GetCategory(const UnicodeString& TabKey) {
  return FReg->ReadString(CategoriesSection, TabKey, u"");
}

void TOvFrmPaletteMenuCategories::UpdateControls() {
  // Captions that differ only in "&" have one tab key, and keys that differ only in letter case
  // name one stored value: each such group gets one row, or the lower row would overwrite an
  // edit made in the upper one when the grid is saved.
  const int Count = FTabs->Count();
  // A row for every entry at first; the grid shrinks at the end when entries shared a row.
  GrdCategories->SetRowCount(Count + 1);
  GrdCategories->SetCells(0, 0, u"Tab");
  GrdCategories->SetCells(1, 0, u"Category");
  // The rows so far by the hash of their key folded as the store folds names, in a table at
  // most half full: a key is compared with a row's key (both folded then) only when their
  // hashes agree.
  struct TSlot {
    size_t Hash = 0;
    int Row = 0; // 0: free
  };
  size_t Size = 16;
  while (Size < 2 * static_cast<size_t>(Count))
    Size *= 2;
  std::vector<TSlot> Slots(Size);
  UnicodeString Folded, RowFolded;
  int Rows = 0;
  for (int I = 0; I < Count; ++I) {
    UnicodeString Key = FTabs->Get(I);
    if (Key.find(u'&') != UnicodeString::npos)
      Key = RemoveAmpersand(Key);
    const size_t Hash = FoldedHash(Key, Folded);
    size_t At = Hash & (Size - 1);
    bool Repeated = false;
    for (; Slots[At].Row != 0; At = (At + 1) & (Size - 1)) {
      if (Slots[At].Hash != Hash)
        continue;
      SimpleFoldCaseInto(Key, Folded);
      SimpleFoldCaseInto(GrdCategories->Cells(0, Slots[At].Row), RowFolded);
      if (RowFolded == Folded) {
        Repeated = true;
        break;
      }
    }
    if (Repeated)
      continue;
    Slots[At] = TSlot{Hash, ++Rows};
    // The key and its categories go into the grid as they are, without copies.
    UnicodeString Categories = GetCategory(Key);
    GrdCategories->SetCells(0, Rows, std::move(Key));
    GrdCategories->SetCells(1, Rows, std::move(Categories));
  }
  if (Rows != Count)
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
