#include "vcl/Grids.h"

#include "vcl/Forms.h"

#include "rtl/Assert.h"

#include <algorithm>
#include <utility>

const TEnumInfo& GridOptionInfo() {
  static const TEnumInfo Info{{u"goFixedVertLine", u"goFixedHorzLine", u"goVertLine", u"goHorzLine",
                               u"goRangeSelect", u"goDrawFocusSelected", u"goRowSizing",
                               u"goColSizing", u"goRowMoving", u"goColMoving", u"goEditing",
                               u"goTabs", u"goRowSelect", u"goAlwaysShowEditor", u"goThumbTracking",
                               u"goFixedColClick", u"goFixedRowClick", u"goFixedHotTrack"},
                              {}};
  return Info;
}

namespace {
const TEnumInfo& ScrollStyleInfo() {
  static const TEnumInfo Info{{u"ssNone", u"ssHorizontal", u"ssVertical", u"ssBoth"}, {}};
  return Info;
}
UnicodeString CellName(int ACol, int ARow) {
  return u"(" + IntToStr(ACol) + u", " + IntToStr(ARow) + u")";
}
} // namespace

// --- TCustomGrid ------------------------------------------------------------------------------

const TClassInfo& TCustomGrid::StaticClass() {
  using G = TCustomGrid;
  static const TClassInfo Info =
      TClassBuilder<G>(u"TCustomGrid", &TWinControl::StaticClass())
          .Ord(u"ColCount", &G::ColCount, &G::SetColCount)
          .Ord(u"Color", &G::Color, &G::SetColor, &ColorIdents())
          .Ord(u"Ctl3D", &G::Ctl3D, &G::SetCtl3D)
          .Ord(u"DefaultColWidth", &G::DefaultColWidth, &G::SetDefaultColWidth)
          .Ord(u"DefaultDrawing", &G::DefaultDrawing, &G::SetDefaultDrawing)
          .Ord(u"DefaultRowHeight", &G::DefaultRowHeight, &G::SetDefaultRowHeight)
          .Ord(u"FixedColor", &G::FixedColor, &G::SetFixedColor, &ColorIdents())
          .Ord(u"FixedCols", &G::FixedCols, &G::SetFixedCols)
          .Ord(u"FixedRows", &G::FixedRows, &G::SetFixedRows)
          .Object(u"Font", &G::Font)
          .Ord(u"GridLineWidth", &G::GridLineWidth, &G::SetGridLineWidth)
          .Set(u"Options", &G::Options, &G::SetOptions, &GridOptionInfo())
          .Ord(u"ParentCtl3D", &G::ParentCtl3D, &G::SetParentCtl3D)
          .Ord(u"ParentFont", &G::ParentFont, &G::SetParentFont)
          .Ord(u"RowCount", &G::RowCount, &G::SetRowCount)
          .Ord(u"ScrollBars", &G::ScrollBars, &G::SetScrollBars, &ScrollStyleInfo())
          .Event(u"OnDrawCell", &G::OnDrawCell)
          .Event(u"OnSelectCell", &G::OnSelectCell);
  return Info;
}
HOST_CLASS_TYPE(TCustomGrid)

TCustomGrid::TCustomGrid(TComponent* AOwner) : TWinControl(AOwner), FCanvas(new TCanvas) {
  SetBounds(0, 0, 320, 120);
  FColWidths.assign(5, FDefaultColWidth);
  FRowHeights.assign(5, FDefaultRowHeight);
  Revalidate();
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::SetColCount(int Value) {
  Value = std::max(Value, 1);
  const int Old = ColCount();
  if (Value == Old)
    return;
  FFixedCols = std::min(FFixedCols, Value);
  FColWidths.resize(static_cast<size_t>(Value), FDefaultColWidth);
  SizeChanged(Old, RowCount());
  Revalidate();
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetRowCount(int Value) {
  Value = std::max(Value, 1);
  const int Old = RowCount();
  if (Value == Old)
    return;
  FFixedRows = std::min(FFixedRows, Value);
  FRowHeights.resize(static_cast<size_t>(Value), FDefaultRowHeight);
  SizeChanged(ColCount(), Old);
  Revalidate();
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetFixedCols(int Value) {
  if (Value < 0 || Value > ColCount())
    throw EInvalidGridOperation(u"Fixed column count " + IntToStr(Value) +
                                u" must be between 0 and the column count " + IntToStr(ColCount()));
  FFixedCols = Value;
  FLeftCol = FFixedCols; // back to the first scrollable column
  Revalidate();
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetFixedRows(int Value) {
  if (Value < 0 || Value > RowCount())
    throw EInvalidGridOperation(u"Fixed row count " + IntToStr(Value) +
                                u" must be between 0 and the row count " + IntToStr(RowCount()));
  FFixedRows = Value;
  FTopRow = FFixedRows;
  Revalidate();
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetDefaultColWidth(int Value) {
  if (Value < 0)
    throw EInvalidGridOperation(u"Column width " + IntToStr(Value) + u" is negative");
  FDefaultColWidth = Value;
  std::fill(FColWidths.begin(), FColWidths.end(), Value);
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetDefaultRowHeight(int Value) {
  if (Value < 0)
    throw EInvalidGridOperation(u"Row height " + IntToStr(Value) + u" is negative");
  FDefaultRowHeight = Value;
  std::fill(FRowHeights.begin(), FRowHeights.end(), Value);
  NotifyViews(&TGridView::LayoutChanged, this);
}

int TCustomGrid::ColWidths(int Index) const {
  if (Index < 0 || Index >= ColCount())
    throw EInvalidGridOperation(u"Column index " + IntToStr(Index) + u" out of range");
  return FColWidths[static_cast<size_t>(Index)];
}

void TCustomGrid::SetColWidths(int Index, int Value) {
  if (Index < 0 || Index >= ColCount())
    throw EInvalidGridOperation(u"Column index " + IntToStr(Index) + u" out of range");
  FColWidths[static_cast<size_t>(Index)] = std::max(Value, 0);
  NotifyViews(&TGridView::LayoutChanged, this);
}

int TCustomGrid::RowHeights(int Index) const {
  if (Index < 0 || Index >= RowCount())
    throw EInvalidGridOperation(u"Row index " + IntToStr(Index) + u" out of range");
  return FRowHeights[static_cast<size_t>(Index)];
}

void TCustomGrid::SetRowHeights(int Index, int Value) {
  if (Index < 0 || Index >= RowCount())
    throw EInvalidGridOperation(u"Row index " + IntToStr(Index) + u" out of range");
  FRowHeights[static_cast<size_t>(Index)] = std::max(Value, 0);
  NotifyViews(&TGridView::LayoutChanged, this);
}

void TCustomGrid::SetGridLineWidth(int Value) {
  FGridLineWidth = std::max(Value, 0);
  NotifyViews(&TGridView::LayoutChanged, this);
}

int TCustomGrid::ClientWidth() const {
  return std::max(0, Width() - 2 * (Ctl3D() ? 2 : 1));
}

int TCustomGrid::ClientHeight() const {
  return std::max(0, Height() - 2 * (Ctl3D() ? 2 : 1));
}

int TCustomGrid::LineWidth(bool Vertical, int Index) const {
  const bool Fixed = Index < (Vertical ? FFixedCols : FFixedRows);
  const TGridOptions Want =
      Vertical ? (Fixed ? goFixedVertLine : goVertLine) : (Fixed ? goFixedHorzLine : goHorzLine);
  return (FOptions & Want) ? FGridLineWidth : 0;
}

void TCustomGrid::SetTopRow(int Value) {
  Value = std::clamp(Value, FFixedRows, std::max(FFixedRows, RowCount() - 1));
  ChangeProperty(FTopRow, Value, &TGridView::TopLeftChanged, this);
}

void TCustomGrid::SetLeftCol(int Value) {
  Value = std::clamp(Value, FFixedCols, std::max(FFixedCols, ColCount() - 1));
  ChangeProperty(FLeftCol, Value, &TGridView::TopLeftChanged, this);
}

int TCustomGrid::VisibleRowCount() const {
  int Y = 0;
  for (int R = 0; R < FFixedRows; ++R)
    Y += FRowHeights[static_cast<size_t>(R)] + LineWidth(false, R);
  int N = 0;
  for (int R = FTopRow; R < RowCount(); ++R) {
    Y += FRowHeights[static_cast<size_t>(R)];
    if (Y > ClientHeight())
      break;
    ++N;
    Y += LineWidth(false, R);
  }
  return N;
}

int TCustomGrid::VisibleColCount() const {
  int X = 0;
  for (int C = 0; C < FFixedCols; ++C)
    X += FColWidths[static_cast<size_t>(C)] + LineWidth(true, C);
  int N = 0;
  for (int C = FLeftCol; C < ColCount(); ++C) {
    X += FColWidths[static_cast<size_t>(C)];
    if (X > ClientWidth())
      break;
    ++N;
    X += LineWidth(true, C);
  }
  return N;
}

namespace {
// The start of Index on an axis whose fixed part is followed by the part from First on, or -1
// when Index is scrolled out or starts beyond Extent.
int AxisStart(const std::vector<int>& Sizes, int Fixed, int First, int Extent, int Index,
              const std::function<int(int)>& Line) {
  if (Index < 0 || Index >= static_cast<int>(Sizes.size()) || (Index >= Fixed && Index < First))
    return -1;
  int Pos = 0;
  for (int I = 0; I < Fixed && I < Index; ++I)
    Pos += Sizes[static_cast<size_t>(I)] + Line(I);
  if (Index >= Fixed)
    for (int I = First; I < Index; ++I)
      Pos += Sizes[static_cast<size_t>(I)] + Line(I);
  return Pos < Extent ? Pos : -1;
}
} // namespace

TRect TCustomGrid::CellRect(int ACol, int ARow) const {
  const int X = AxisStart(FColWidths, FFixedCols, FLeftCol, ClientWidth(), ACol,
                          [this](int I) { return LineWidth(true, I); });
  const int Y = AxisStart(FRowHeights, FFixedRows, FTopRow, ClientHeight(), ARow,
                          [this](int I) { return LineWidth(false, I); });
  if (X < 0 || Y < 0)
    return TRect{};
  return TRect{X, Y, std::min(X + FColWidths[static_cast<size_t>(ACol)], ClientWidth()),
               std::min(Y + FRowHeights[static_cast<size_t>(ARow)], ClientHeight())};
}

void TCustomGrid::SetOptions(TGridOptions Value) {
  ChangeProperty(FOptions, Value, &TGridView::OptionsChanged, this);
}

void TCustomGrid::SetDefaultDrawing(bool Value) {
  FDefaultDrawing = Value;
}

void TCustomGrid::SetFixedColor(TColor Value) {
  ChangeProperty(FFixedColor, Value, &TControlView::ColorChanged, this);
}

// --- current cell and selection ---------------------------------------------------------------

bool TCustomGrid::IsSelectable(int ACol, int ARow) const {
  return ACol >= FFixedCols && ACol < ColCount() && ARow >= FFixedRows && ARow < RowCount();
}

void TCustomGrid::CheckCell(int ACol, int ARow) const {
  if (ACol < 0 || ACol >= ColCount() || ARow < 0 || ARow >= RowCount())
    throw EInvalidGridOperation(u"Cell " + CellName(ACol, ARow) + u" is outside the grid of " +
                                IntToStr(ColCount()) + u" columns and " + IntToStr(RowCount()) +
                                u" rows");
}

void TCustomGrid::Revalidate() {
  FTopRow = std::clamp(FTopRow, FFixedRows, std::max(FFixedRows, RowCount() - 1));
  FLeftCol = std::clamp(FLeftCol, FFixedCols, std::max(FFixedCols, ColCount() - 1));
  if (FFixedCols >= ColCount() || FFixedRows >= RowCount()) {
    FCurrentCol = FCurrentRow = FAnchorCol = FAnchorRow = -1;
    return;
  }
  if (FCurrentCol < 0) {
    FCurrentCol = FAnchorCol = FFixedCols;
    FCurrentRow = FAnchorRow = FFixedRows;
    return;
  }
  FCurrentCol = std::clamp(FCurrentCol, FFixedCols, ColCount() - 1);
  FAnchorCol = std::clamp(FAnchorCol, FFixedCols, ColCount() - 1);
  FCurrentRow = std::clamp(FCurrentRow, FFixedRows, RowCount() - 1);
  FAnchorRow = std::clamp(FAnchorRow, FFixedRows, RowCount() - 1);
  HOST_ASSERT(FTopRow >= FFixedRows && FTopRow < RowCount() && FLeftCol >= FFixedCols &&
                  FLeftCol < ColCount(),
              "the first scrolled row and column lie inside the grid, past the fixed ones");
}

TGridRect TCustomGrid::Selection() const {
  if (FCurrentCol < 0)
    return TGridRect{-1, -1, -1, -1};
  return TGridRect{std::min(FCurrentCol, FAnchorCol), std::min(FCurrentRow, FAnchorRow),
                   std::max(FCurrentCol, FAnchorCol), std::max(FCurrentRow, FAnchorRow)};
}

void TCustomGrid::SetSelection(const TGridRect& Value) {
  for (auto [C, R] : {std::pair{Value.Left, Value.Top}, std::pair{Value.Right, Value.Bottom}}) {
    CheckCell(C, R);
    if (!IsSelectable(C, R))
      throw EInvalidGridOperation(u"Cell " + CellName(C, R) + u" is fixed and cannot be selected");
  }
  FAnchorCol = Value.Left;
  FAnchorRow = Value.Top;
  FCurrentCol = Value.Right;
  FCurrentRow = Value.Bottom;
  HOST_ASSERT(IsSelectable(FCurrentCol, FCurrentRow) && IsSelectable(FAnchorCol, FAnchorRow),
              "the current cell and the selection's anchor are selectable cells");
  ScrollInView(FCurrentCol, FCurrentRow);
  NotifyViews(&TGridView::SelectionChanged, this);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow) {
  FCurrentCol = FAnchorCol = ACol;
  FCurrentRow = FAnchorRow = ARow;
  ScrollInView(ACol, ARow);
  NotifyViews(&TGridView::SelectionChanged, this);
}

void TCustomGrid::ScrollInView(int ACol, int ARow) {
  if (ARow < FTopRow)
    SetTopRow(ARow);
  if (ARow > FTopRow && ARow >= FTopRow + VisibleRowCount()) {
    // The least top row that shows ARow wholly: upwards from ARow while the rows still fit
    // (ARow alone when it is taller than the view). One move, however far the row is.
    int Fixed = 0;
    for (int R = 0; R < FFixedRows; ++R)
      Fixed += FRowHeights[static_cast<size_t>(R)] + LineWidth(false, R);
    int Top = ARow;
    int Used = Fixed + FRowHeights[static_cast<size_t>(ARow)];
    while (Top - 1 > FTopRow) {
      const int Above = FRowHeights[static_cast<size_t>(Top - 1)] + LineWidth(false, Top - 1);
      if (Used + Above > ClientHeight())
        break;
      Used += Above;
      --Top;
    }
    SetTopRow(Top);
  }
  if (ACol < FLeftCol)
    SetLeftCol(ACol);
  while (ACol > FLeftCol && ACol >= FLeftCol + VisibleColCount())
    SetLeftCol(FLeftCol + 1);
}

bool TCustomGrid::SelectCell(int ACol, int ARow) {
  bool CanSelect = true;
  if (OnSelectCell)
    OnSelectCell(this, ACol, ARow, CanSelect);
  return CanSelect;
}

bool TCustomGrid::Focused() const {
  TCustomForm* Form = GetParentForm(const_cast<TCustomGrid*>(this));
  return Form && Form->ActiveControl() == this;
}

void TCustomGrid::SetFocus() {
  if (TCustomForm* Form = GetParentForm(this))
    Form->SetActiveControl(this);
}

// --- user operations --------------------------------------------------------------------------

bool TCustomGrid::UserSelectCell(int ACol, int ARow) {
  SetFocus();
  if (!IsSelectable(ACol, ARow) || !SelectCell(ACol, ARow))
    return false;
  MoveCurrent(ACol, ARow);
  return true;
}

bool TCustomGrid::CanEditCell() const {
  return (FOptions & goEditing) && !(FOptions & goRowSelect) && HasCurrentCell();
}

bool TCustomGrid::UserEditCell(const UnicodeString& Text) {
  if (!CanEditCell())
    return false;
  SetEditText(FCurrentCol, FCurrentRow, Text);
  return true;
}

const TFont& TCustomGrid::PaintFont() const {
  if (FParentFont)
    if (TCustomForm* Form = GetParentForm(const_cast<TCustomGrid*>(this)))
      return *Form->Font();
  return *Font();
}

void TCustomGrid::Paint() {
  FCanvas->ClearOperations();
  const TGridRect Sel = Selection();
  const bool HasFocus = Focused();
  auto InView = [](const std::vector<int>& Sizes, int Fixed, int First, int Extent,
                   const std::function<int(int)>& Line) {
    std::vector<int> R;
    int Pos = 0;
    for (int I = 0; I < static_cast<int>(Sizes.size()) && Pos < Extent; ++I) {
      if (I >= Fixed && I < First)
        I = First; // past the part scrolled out, at once
      R.push_back(I);
      Pos += Sizes[static_cast<size_t>(I)] + Line(I);
    }
    return R;
  };
  const std::vector<int> Cols = InView(FColWidths, FFixedCols, FLeftCol, ClientWidth(),
                                       [this](int I) { return LineWidth(true, I); });
  const std::vector<int> Rows = InView(FRowHeights, FFixedRows, FTopRow, ClientHeight(),
                                       [this](int I) { return LineWidth(false, I); });
  for (int R : Rows)
    for (int C : Cols) {
      const TRect Where = CellRect(C, R);
      const bool Fixed = C < FFixedCols || R < FFixedRows;
      TGridDrawState State = Fixed ? TGridDrawState(gdFixed) : 0u;
      if (!Fixed && HasFocus && C == FCurrentCol && R == FCurrentRow)
        State |= gdFocused;
      if (!Fixed && Sel.Contains(C, R))
        State |= gdSelected;
      if (FDefaultDrawing) {
        FCanvas->SetFont(PaintFont());
        FCanvas->Brush()->SetStyle(bsSolid);
        if (Fixed) {
          FCanvas->Brush()->SetColor(FFixedColor);
        } else if ((State & gdSelected) &&
                   (!(State & gdFocused) || (FOptions & (goDrawFocusSelected | goRowSelect)))) {
          FCanvas->Brush()->SetColor(clHighlight);
          FCanvas->Font()->SetColor(clHighlightText);
        } else {
          FCanvas->Brush()->SetColor(Color());
        }
        FCanvas->FillRect(Where);
      }
      DrawCell(C, R, Where, State);
      if (FDefaultDrawing && (State & gdFocused) && !(FOptions & goRowSelect))
        FCanvas->DrawFocusRect(Where);
    }
}

void TCustomGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  if (OnDrawCell)
    OnDrawCell(this, ACol, ARow, ARect, AState);
}

UnicodeString TCustomGrid::GetEditText(int, int) const {
  return UnicodeString();
}

void TCustomGrid::SetEditText(int, int, const UnicodeString&) {}

void TCustomGrid::SizeChanged(int, int) {}

// --- TStringGrid ------------------------------------------------------------------------------

const TClassInfo& TStringGrid::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TStringGrid>(u"TStringGrid", &TCustomGrid::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TStringGrid)

TStringGrid::TStringGrid(TComponent* AOwner) : TCustomGrid(AOwner) {
  SizeChanged(ColCount(), RowCount());
}

UnicodeString TStringGrid::Cells(int ACol, int ARow) const {
  CheckCell(ACol, ARow);
  return FCells[static_cast<size_t>(ARow)][static_cast<size_t>(ACol)];
}

void TStringGrid::SetCells(int ACol, int ARow, const UnicodeString& Value) {
  CheckCell(ACol, ARow);
  UnicodeString& Cell = FCells[static_cast<size_t>(ARow)][static_cast<size_t>(ACol)];
  if (Cell == Value)
    return;
  Cell = Value;
  NotifyViews(&TGridView::CellsChanged, this);
}

void TStringGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  if (DefaultDrawing())
    Canvas()->TextRect(ARect, ARect.Left + 2, ARect.Top + 2, Cells(ACol, ARow));
  TCustomGrid::DrawCell(ACol, ARow, ARect, AState);
}

UnicodeString TStringGrid::GetEditText(int ACol, int ARow) const {
  return Cells(ACol, ARow);
}

void TStringGrid::SetEditText(int ACol, int ARow, const UnicodeString& Value) {
  SetCells(ACol, ARow, Value);
}

void TStringGrid::SizeChanged(int, int) {
  FCells.resize(static_cast<size_t>(RowCount()));
  for (auto& Row : FCells)
    Row.resize(static_cast<size_t>(ColCount()));
  HOST_ASSERT(FCells.size() == static_cast<size_t>(RowCount()) &&
                  FCells.front().size() == static_cast<size_t>(ColCount()),
              "a string grid holds one cell per column of each row");
}
