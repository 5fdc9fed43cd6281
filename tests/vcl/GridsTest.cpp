#include "vcl/Grids.h"

#include "vcl/Forms.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// A 3 x 4 grid of 50 x 20 cells with one fixed row and column, on a form.
class GridTest : public ::testing::Test {
protected:
  void SetUp() override {
    Grid = new TStringGrid(&Form);
    Grid->SetParent(&Form);
    Grid->SetColCount(3);
    Grid->SetRowCount(4);
    Grid->SetDefaultColWidth(50);
    Grid->SetDefaultRowHeight(20);
    Grid->SetBounds(0, 0, 200, 100);
  }
  TForm Form{nullptr};
  TStringGrid* Grid = nullptr;
};

TEST_F(GridTest, CellsLieSideBySideWithGridLinesInsideTheBorder) {
  // A 2-pixel 3-D border, then cells of 50 x 20 with 1-pixel lines between them.
  EXPECT_EQ(Grid->ClientWidth(), 196);
  EXPECT_EQ(Grid->CellRect(0, 0), Rect(0, 0, 50, 20));
  EXPECT_EQ(Grid->CellRect(2, 1), Rect(102, 21, 152, 41));
  // The last row in view is cut at the client area's bottom; a row below it is out of view.
  Grid->SetRowCount(6);
  EXPECT_EQ(Grid->CellRect(1, 4), Rect(51, 84, 101, 96));
  EXPECT_TRUE(Grid->CellRect(1, 5).IsEmpty());
  EXPECT_EQ(Grid->VisibleRowCount(), 3);
  // Without lines in the scrolling part, its cells touch; fixed lines stay.
  Grid->SetOptions(goFixedVertLine | goFixedHorzLine);
  EXPECT_EQ(Grid->CellRect(2, 2), Rect(101, 41, 151, 61));
  EXPECT_THROW(Grid->ColWidths(3), EInvalidGridOperation);
  // Without a fixed column the first column is the first scrollable one, in view.
  Grid->SetFixedCols(0);
  EXPECT_EQ(Grid->LeftCol(), 0);
  EXPECT_EQ(Grid->CellRect(0, 1), Rect(0, 21, 50, 41));
}

TEST_F(GridTest, SelectingACellIsRefusedForFixedCellsAndByOnSelectCell) {
  std::vector<std::pair<int, int>> Asked;
  Grid->OnSelectCell = [&](TObject* Sender, int C, int R, bool& CanSelect) {
    EXPECT_EQ(Sender, Grid);
    Asked.emplace_back(C, R);
    CanSelect = C != 2;
  };
  EXPECT_EQ(Grid->Selection(), (TGridRect{1, 1, 1, 1})); // the first non-fixed cell
  EXPECT_FALSE(Grid->UserSelectCell(0, 2));              // fixed: not even asked
  EXPECT_FALSE(Grid->UserSelectCell(1, 9));              // outside
  EXPECT_FALSE(Grid->UserSelectCell(2, 2));              // refused
  EXPECT_EQ(Grid->Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_TRUE(Grid->UserSelectCell(1, 3));
  EXPECT_EQ(Asked, (std::vector<std::pair<int, int>>{{2, 2}, {1, 3}}));
  EXPECT_EQ(Grid->Selection(), (TGridRect{1, 3, 1, 3}));
  EXPECT_EQ(Grid->Row(), 3);
  // A click focuses the grid.
  EXPECT_TRUE(Grid->Focused());
  EXPECT_EQ(Form.ActiveControl(), Grid);

  // Programmatic selection takes a rectangle of non-fixed cells; the bottom right is current.
  Grid->SetSelection(TGridRect{1, 1, 2, 2});
  EXPECT_EQ(Grid->Col(), 2);
  EXPECT_THROW(Grid->SetSelection(TGridRect{0, 1, 1, 1}), EInvalidGridOperation);
  EXPECT_THROW(Grid->SetSelection(TGridRect{1, 1, 1, 4}), EInvalidGridOperation);
}

TEST_F(GridTest, EditingChangesTheCurrentCellOnlyWhenAllowed) {
  Grid->SetCells(1, 2, u"before");
  ASSERT_TRUE(Grid->UserSelectCell(1, 2));
  EXPECT_FALSE(Grid->CanEditCell()); // goEditing is off by default
  EXPECT_FALSE(Grid->UserEditCell(u"typed"));
  Grid->SetOptions(Grid->Options() | goEditing);
  EXPECT_TRUE(Grid->UserEditCell(u"typed"));
  EXPECT_EQ(Grid->Cells(1, 2), u"typed");
  EXPECT_EQ(Grid->Cells(1, 1), u"");
  Grid->SetOptions(Grid->Options() | goRowSelect);
  EXPECT_FALSE(Grid->UserEditCell(u"again"));
  EXPECT_THROW(Grid->Cells(3, 0), EInvalidGridOperation);
  EXPECT_THROW(Grid->SetCells(0, 4, u"x"), EInvalidGridOperation);
}

TEST_F(GridTest, ScrollingFollowsTheCurrentCellAndShrinkingKeepsItInside) {
  Grid->SetRowCount(10);
  ASSERT_TRUE(Grid->UserSelectCell(1, 7));
  EXPECT_EQ(Grid->TopRow(), 5); // rows 5, 6 and 7 wholly in view under the header
  EXPECT_EQ(Grid->CellRect(1, 7), Rect(51, 63, 101, 83));
  EXPECT_TRUE(Grid->CellRect(1, 2).IsEmpty());
  ASSERT_TRUE(Grid->UserSelectCell(1, 2));
  EXPECT_EQ(Grid->TopRow(), 2);
  Grid->SetCells(1, 9, u"gone");
  Grid->SetRowCount(3);
  Grid->SetRowCount(10);
  EXPECT_EQ(Grid->Cells(1, 9), u"");
  EXPECT_EQ(Grid->Row(), 2);
}

// A row far below the view comes into view in one move, to the same top row as scrolling a
// row at a time would reach, rows of other heights counted; the scrolled-out rows are not
// painted.
TEST_F(GridTest, AFarRowScrollsIntoViewInOneMoveToTheLeastTopRow) {
  struct TScrolls : TGridView {
    int Count = 0;
    void TopLeftChanged(TCustomGrid*) override { ++Count; }
  } Scrolls;
  Grid->SetRowCount(1000);
  Grid->SetRowHeights(998, 50);
  Grid->AddView(&Scrolls);
  ASSERT_TRUE(Grid->UserSelectCell(1, 999));
  // Under the header (21): row 998 (50 + 1) and row 999 (20) fill 92 of 96; row 997 no more.
  EXPECT_EQ(Grid->TopRow(), 998);
  EXPECT_EQ(Scrolls.Count, 1);
  EXPECT_EQ(Grid->CellRect(1, 999), Rect(51, 72, 101, 92));
  ASSERT_TRUE(Grid->UserSelectCell(1, 997)); // just above: one row up
  EXPECT_EQ(Grid->TopRow(), 997);
  ASSERT_TRUE(Grid->UserSelectCell(1, 998)); // in view already: no move
  EXPECT_EQ(Grid->TopRow(), 997);
  EXPECT_EQ(Scrolls.Count, 2);
  // Painted: the header and the rows from the top row down, cut at the bottom.
  Grid->Paint();
  std::set<int> Tops;
  for (const TCanvasOperation& Op : Grid->Canvas()->Operations())
    Tops.insert(Op.Rect.Top);
  EXPECT_EQ(Tops, (std::set<int>{0, 21, 42, 93}));
  Grid->RemoveView(&Scrolls);
}

TEST_F(GridTest, AGridOfHeadersOnlyHasNothingToSelectOrEdit) {
  Grid->SetOptions(Grid->Options() | goEditing);
  Grid->SetRowCount(1);
  // The header stays a header (the host would make it an editable row).
  EXPECT_EQ(Grid->FixedRows(), 1);
  EXPECT_FALSE(Grid->HasCurrentCell());
  EXPECT_EQ(Grid->Selection(), (TGridRect{-1, -1, -1, -1}));
  EXPECT_FALSE(Grid->UserSelectCell(1, 0));
  EXPECT_FALSE(Grid->CanEditCell());
  EXPECT_FALSE(Grid->UserEditCell(u"x"));
  EXPECT_THROW(Grid->SetSelection(TGridRect{1, 0, 1, 0}), EInvalidGridOperation);
  // Rows added later can be selected again.
  Grid->SetRowCount(2);
  EXPECT_EQ(Grid->Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_THROW(Grid->SetFixedRows(3), EInvalidGridOperation);
}

struct TDrawn {
  int Col, Row;
  TRect Rect;
  TGridDrawState State;
  bool operator==(const TDrawn&) const = default;
};

TEST_F(GridTest, PaintWithoutDefaultDrawingHandsEveryCellInViewToOnDrawCell) {
  Grid->SetRowCount(2);
  Grid->SetDefaultDrawing(false);
  std::vector<TDrawn> Drawn;
  Grid->OnDrawCell = [&](TObject*, int C, int R, const TRect& Where, TGridDrawState State) {
    Drawn.push_back({C, R, Where, State});
  };
  Grid->Paint();
  EXPECT_TRUE(Grid->Canvas()->Operations().empty());
  const std::vector<TDrawn> NotFocused = {
      {0, 0, Rect(0, 0, 50, 20), gdFixed},       {1, 0, Rect(51, 0, 101, 20), gdFixed},
      {2, 0, Rect(102, 0, 152, 20), gdFixed},    {0, 1, Rect(0, 21, 50, 41), gdFixed},
      {1, 1, Rect(51, 21, 101, 41), gdSelected}, {2, 1, Rect(102, 21, 152, 41), 0}};
  EXPECT_EQ(Drawn, NotFocused);

  Grid->SetFocus();
  Drawn.clear();
  Grid->Paint();
  ASSERT_EQ(Drawn.size(), 6u);
  EXPECT_EQ(Drawn[4].State, gdSelected | gdFocused);
}

TEST_F(GridTest, DefaultDrawingFillsWritesTheTextAndMarksTheFocusedCell) {
  Grid->SetRowCount(2);
  Grid->SetColCount(2);
  Grid->SetCells(0, 0, u"head");
  Grid->SetCells(1, 1, u"cell");
  Form.Font()->SetName(u"Arial");
  Grid->SetFocus();
  int Calls = 0;
  Grid->OnDrawCell = [&](TObject*, int, int, const TRect&, TGridDrawState) { ++Calls; };
  Grid->Paint();
  EXPECT_EQ(Calls, 4);
  const auto& Ops = Grid->Canvas()->Operations();
  // Each cell: the grid's fill, the text's fill and the text; the focused cell a focus frame.
  ASSERT_EQ(Ops.size(), 13u);
  EXPECT_EQ(Ops[0].Kind, TCanvasOperation::coFillRect);
  EXPECT_EQ(Ops[0].Color, clBtnFace);
  EXPECT_EQ(Ops[2].Kind, TCanvasOperation::coText);
  EXPECT_EQ(Ops[2].Text, u"head");
  EXPECT_EQ(Ops[2].X, 2);
  EXPECT_EQ(Ops[2].Y, 2);
  EXPECT_EQ(Ops[2].FontName, u"Arial"); // the form's font, through ParentFont
  EXPECT_EQ(Ops[2].Color, clWindowText);
  // The focused cell is not highlighted (the frame marks it) unless goDrawFocusSelected.
  EXPECT_EQ(Ops[9].Color, clWindow);
  EXPECT_EQ(Ops[11].Text, u"cell");
  EXPECT_EQ(Ops[11].Rect, Rect(51, 21, 101, 41));
  EXPECT_EQ(Ops[12].Kind, TCanvasOperation::coFocusRect);
  EXPECT_EQ(Ops[12].Rect, Rect(51, 21, 101, 41));

  Grid->SetOptions(Grid->Options() | goDrawFocusSelected);
  Grid->Paint();
  EXPECT_EQ(Grid->Canvas()->Operations()[9].Color, clHighlight);
  EXPECT_EQ(Grid->Canvas()->Operations()[11].Color, clHighlightText);
}

} // namespace
