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

// The words of S: the last one (when S has four units or more) overlaps the one before it
// rather than being cut short. Stops at the first call that answers false.
template <class TUse> bool EveryWord(std::u16string_view S, TUse&& Use) {
  const size_t N = S.size();
  if (N < 4)
    return Use(PackUnits(S.data(), N));
  for (size_t I = 0; I + 4 < N; I += 4)
    if (!Use(LoadUnits(S.data() + I)))
      return false;
  return Use(LoadUnits(S.data() + N - 4));
}

// Keys are hashed four code units (one 64-bit word) at a time, each word with bit 5 of every
// unit set: a capital and its small letter hash alike (as do a few signs, which the comparison
// of folded keys then tells apart), so an ASCII key hashes as its folded form does.
struct TWordHash {
  uint64_t H;
  explicit TWordHash(size_t Size) : H(0xcbf29ce484222325ull ^ Size) {}
  void Add(uint64_t W) {
    H = (H ^ (W | (UnitOnes * 0x20))) * 0x100000001b3ull;
    H ^= H >> 29;
  }
  // Mixed through, so that the low bits a table of rows takes depend on every unit.
  size_t Value() const {
    uint64_t V = (H ^ (H >> 33)) * 0xff51afd7ed558ccdull;
    return static_cast<size_t>(V ^ (V >> 33));
  }
};

// A hash of Key folded as the store folds names (RegistryNames::Fold): keys equal by that
// folding hash alike. A key of ASCII only is hashed as it stands; any other is folded into
// Scratch first.
size_t FoldedHash(std::u16string_view Key, UnicodeString& Scratch) {
  TWordHash Hash(Key.size());
  if (EveryWord(Key, [&Hash](uint64_t W) {
        if (W & (UnitOnes * 0xFF80))
          return false;
        Hash.Add(W);
        return true;
      }))
    return Hash.Value();
  SimpleFoldCaseInto(Key, Scratch);
  TWordHash Folded(Scratch.size());
  EveryWord(Scratch, [&Folded](uint64_t W) {
    Folded.Add(W);
    return true;
  });
  return Folded.Value();
}

// Caption is its own tab key when it is of ASCII without "&" (most are): then true, with the
// key's FoldedHash in Hash, found in the same pass over the units.
bool PlainKeyHash(std::u16string_view Caption, size_t& Hash) {
  TWordHash H(Caption.size());
  const bool Plain = EveryWord(Caption, [&H](uint64_t W) {
    if ((W & (UnitOnes * 0xFF80)) || LanesHolding(W, u'&'))
      return false;
    H.Add(W);
    return true;
  });
  Hash = H.Value();
  return Plain;
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
  UnicodeString Folded, RowFolded, Entry, Stripped;
  // The entries are read in place when the list is a TStringList (as the launcher's is).
  const auto* List = dynamic_cast<const TStringList*>(FTabs.get());
  int Rows = 0;
  for (int I = 0; I < Count; ++I) {
    const UnicodeString& Caption = List ? List->At(I) : (Entry = FTabs->Get(I));
    size_t Hash;
    std::u16string_view Key = Caption;
    if (!PlainKeyHash(Caption, Hash)) {
      if (Caption.find(u'&') != UnicodeString::npos) {
        Stripped = RemoveAmpersand(Caption);
        Key = Stripped;
      }
      Hash = FoldedHash(Key, Folded);
    }
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
    // The key and its categories go into the grid with one copy of the key and none of the
    // categories.
    UnicodeString KeyText(Key);
    UnicodeString Categories = GetCategory(KeyText);
    GrdCategories->SetCells(0, Rows, std::move(KeyText));
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
