// A string grid of the model as a Qt widget. Painting asks the grid to paint (so its OnDrawCell
// handler draws every cell on the recording canvas) and replays what it drew with QPainter.
// Clicks and the grid's keys select cells through the grid (which may refuse them): arrows,
// PageUp/PageDown by a page of rows, Home/End to the row's first/last selectable column,
// Ctrl+Home/Ctrl+End to the first/last row. Typing or F2
// opens an in-place editor on the current cell when the grid allows editing, and Enter confirms
// it through the grid. The editor stays over its own cell: it moves when the grid scrolls, and
// is confirmed into its cell when the cell scrolls out of view or the current cell moves on.
#pragma once

#include "vcl/Grids.h"

#include <QWidget>

#include <vector>

class QLineEdit;
class QScrollBar;

class GridMirror : public QWidget, private TGridView {
  Q_OBJECT
public:
  GridMirror(TCustomGrid* Grid, QWidget* Parent);
  ~GridMirror() override;

  // The cell at a point of the widget, or false.
  bool CellAt(const QPoint& Point, int& ACol, int& ARow) const;
  // The in-place editor while it is open, else nullptr.
  QLineEdit* Editor() const { return FEditor; }
  // Opens the in-place editor on the current cell (with Text, or the cell's text); false when
  // the grid does not allow editing it.
  bool StartEditing(const QString* Text = nullptr);
  // Confirms (through the grid, into the editor's own cell) or drops what the editor holds.
  void FinishEditing(bool Confirm);

protected:
  // Enter and Escape in the in-place editor belong to the cell, not to the dialog.
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

private:
  void LayoutChanged(TCustomGrid*) override { Show(); }
  void TopLeftChanged(TCustomGrid*) override { Show(); }
  void OptionsChanged(TCustomGrid*) override { Show(); }
  void SelectionChanged(TCustomGrid*) override { Show(); }
  void CellsChanged(TCustomGrid*) override { Show(); }
  void ColorChanged(TControl*) override { Show(); }
  void ComponentDestroying(TComponent* Sender) override;
  // Shows the grid as it now is: scroll bar, cells and the editor's place.
  void Show();
  void PlaceEditor();
  // The rows (columns) in view, fixed ones first: painting and hit testing cost what is shown.
  std::vector<int> RowsInView() const;
  std::vector<int> ColsInView() const;
  void SyncScrollBar();
  bool Guard(const std::function<void()>& Action);

  TCustomGrid* FGrid;
  QLineEdit* FEditor = nullptr;
  int FEditCol = -1, FEditRow = -1; // the cell the editor edits
  QScrollBar* FScroll;
};
