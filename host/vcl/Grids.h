// Grids: TCustomGrid holds the geometry, the options, the current cell and the selection, and
// paints its cells on a recording canvas; TStringGrid adds a text per cell. A front end drives
// a grid through the user operations (UserSelectCell, UserEditCell), replays what Paint records
// and reads CellRect for where the cells are.
#pragma once

#include "rtl/Exception.h"
#include "vcl/Controls.h"
#include "vcl/Graphics.h"

#include <functional>
#include <vector>

HOST_EXCEPTION_CLASS(EInvalidGridOperation, Exception);

// Grid options, a set: bit i for the i-th option, in the host's order.
using TGridOptions = unsigned;
enum TGridOption : TGridOptions {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goRangeSelect = 1u << 4,
  goDrawFocusSelected = 1u << 5,
  goRowSizing = 1u << 6,
  goColSizing = 1u << 7,
  goRowMoving = 1u << 8,
  goColMoving = 1u << 9,
  goEditing = 1u << 10,
  goTabs = 1u << 11,
  goRowSelect = 1u << 12,
  goAlwaysShowEditor = 1u << 13,
  goThumbTracking = 1u << 14,
  goFixedColClick = 1u << 15,
  goFixedRowClick = 1u << 16,
  goFixedHotTrack = 1u << 17
};
const TEnumInfo& GridOptionInfo();

// How a cell is to be painted, a set: bit 0 selected, bit 1 focused, bit 2 fixed.
using TGridDrawState = unsigned;
enum TGridDrawStateFlag : TGridDrawState {
  gdSelected = 1u << 0,
  gdFocused = 1u << 1,
  gdFixed = 1u << 2
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A rectangle of cells, columns Left..Right and rows Top..Bottom, all inclusive.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Contains(int ACol, int ARow) const {
    return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom;
  }
  bool operator==(const TGridRect&) const = default;
};

using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, const TRect& Rect,
                                          TGridDrawState State)>;
// The handler may clear CanSelect to refuse the cell.
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

class TCustomGrid;

// What a view of a grid hears, beyond what every windowed control tells.
class TGridView : public virtual TWinControlView {
public:
  // Column or row counts, fixed counts, sizes or line width: cells moved.
  virtual void LayoutChanged(TCustomGrid*) {}
  // The grid scrolled: TopRow or LeftCol changed.
  virtual void TopLeftChanged(TCustomGrid*) {}
  virtual void OptionsChanged(TCustomGrid*) {}
  virtual void SelectionChanged(TCustomGrid*) {}
  virtual void CellsChanged(TCustomGrid*) {}
};

class TCustomGrid : public TWinControl {
public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;
  HOST_CLASS_INFO;

  // --- size: columns and rows, the first FixedCols and FixedRows of which are fixed (headers).
  // At least one column and one row. Unlike the host's grids, a grid may consist of fixed rows
  // (or columns) only: then it has no cell to select or edit, and a header stays a header.
  int ColCount() const { return static_cast<int>(FColWidths.size()); }
  void SetColCount(int Value);
  int RowCount() const { return static_cast<int>(FRowHeights.size()); }
  void SetRowCount(int Value);
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int Value);
  int FixedRows() const { return FFixedRows; }
  void SetFixedRows(int Value);

  // --- geometry, in pixels. Setting a default size resets every column (row) to it.
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int Value);
  int ColWidths(int Index) const;
  void SetColWidths(int Index, int Value);
  int RowHeights(int Index) const;
  void SetRowHeights(int Index, int Value);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int Value);
  // The area inside the grid's border (2 pixels with the 3-D look, else 1), where cells go.
  int ClientWidth() const;
  int ClientHeight() const;
  // The first scrollable row (column) in view; the fixed ones always are.
  int TopRow() const { return FTopRow; }
  void SetTopRow(int Value);
  int LeftCol() const { return FLeftCol; }
  void SetLeftCol(int Value);
  // Scrollable rows (columns) wholly in view from TopRow (LeftCol).
  int VisibleRowCount() const;
  int VisibleColCount() const;
  // Where a cell is in client coordinates, cut at the client area's right and bottom edge; an
  // empty rectangle for a cell out of view.
  TRect CellRect(int ACol, int ARow) const;

  // --- look
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);
  // Off: the grid paints nothing of its own; OnDrawCell paints every cell.
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool Value);
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor Value);
  // On: the grid paints in the font of the form it stands on.
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value) { FParentFont = Value; }
  bool ParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool Value) { FParentCtl3D = Value; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value) { FScrollBars = Value; }

  // --- the current (focused) cell and the selection around it. With no cell to select, Col
  // and Row are -1 and the selection is {-1, -1, -1, -1}.
  int Col() const { return FCurrentCol; }
  int Row() const { return FCurrentRow; }
  bool HasCurrentCell() const { return FCurrentCol >= 0; }
  TGridRect Selection() const;
  // Selects the cells of Value, making its bottom-right cell the current one, as the host
  // does, without asking OnSelectCell. Every cell must be a non-fixed cell of the grid.
  void SetSelection(const TGridRect& Value);
  // The grid has the keyboard focus: it is the active control of its form.
  bool Focused() const;
  void SetFocus();

  TCanvas* Canvas() const { return FCanvas.get(); }

  // --- what the user does, as a front end reports it.
  // A click on (or a move of the keyboard focus to) a cell: focuses the grid, then makes the
  // cell the current and only selected one, unless it is fixed, outside the grid, or refused by
  // OnSelectCell. Returns whether the cell was selected.
  bool UserSelectCell(int ACol, int ARow);
  // Whether the user may edit the current cell: the goEditing option is on, goRowSelect off,
  // and there is a current cell.
  bool CanEditCell() const;
  // The user types Text into the current cell (replacing its text) and confirms it. Refused
  // (false, nothing changes) when CanEditCell is false.
  bool UserEditCell(const UnicodeString& Text);
  // Paints every cell in view on Canvas, which first forgets what it recorded before. Fixed
  // rows first, each row from left to right.
  void Paint();

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;

protected:
  // Asks OnSelectCell whether the cell may become the current one.
  virtual bool SelectCell(int ACol, int ARow);
  // Paints one cell; fires OnDrawCell.
  virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
  virtual UnicodeString GetEditText(int ACol, int ARow) const;
  virtual void SetEditText(int ACol, int ARow, const UnicodeString& Value);
  // Called after the number of columns or rows changed.
  virtual void SizeChanged(int OldColCount, int OldRowCount);
  // The font cells are painted in: the form's with ParentFont, else the grid's own.
  const TFont& PaintFont() const;

  // Raises EInvalidGridOperation, naming the cell, for one outside the grid.
  void CheckCell(int ACol, int ARow) const;

private:
  bool IsSelectable(int ACol, int ARow) const;
  // Keeps the current cell, the anchor of the selection and the scroll position valid after
  // a change of size or fixed area.
  void Revalidate();
  void MoveCurrent(int ACol, int ARow);
  void ScrollInView(int ACol, int ARow);
  int LineWidth(bool Vertical, int Index) const;

  std::vector<int> FColWidths, FRowHeights;
  int FFixedCols = 1, FFixedRows = 1;
  int FDefaultColWidth = 64, FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  int FTopRow = 1, FLeftCol = 1;
  TGridOptions FOptions =
      goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
  bool FDefaultDrawing = true;
  TColor FFixedColor = clBtnFace;
  bool FParentFont = true;
  bool FParentCtl3D = true;
  TScrollStyle FScrollBars = ssBoth;
  int FCurrentCol = -1, FCurrentRow = -1;
  int FAnchorCol = -1, FAnchorRow = -1;
  TOwned<TCanvas> FCanvas;
};

class TStringGrid : public TCustomGrid {
public:
  explicit TStringGrid(TComponent* AOwner);
  HOST_CLASS_INFO;

  // The text of a cell; a cell outside the grid raises EInvalidGridOperation.
  UnicodeString Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const UnicodeString& Value);

protected:
  // With default drawing, the text goes at 2 pixels right and below the cell's corner.
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  UnicodeString GetEditText(int ACol, int ARow) const override;
  void SetEditText(int ACol, int ARow, const UnicodeString& Value) override;
  void SizeChanged(int OldColCount, int OldRowCount) override;

private:
  std::vector<std::vector<UnicodeString>> FCells; // [row][column]
};
