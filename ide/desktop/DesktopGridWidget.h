// A string grid of the model as a Qt widget. Painting asks the grid to paint (so its OnDrawCell
// handler draws every cell on the recording canvas) and replays what it drew with QPainter.
// Clicks and arrow keys select cells through the grid (which may refuse them); typing or F2
// opens an in-place editor on the current cell when the grid allows editing, and Enter confirms
// it through the grid.
#pragma once

#include "rtl/Component.h"

#include <QWidget>

class TCustomGrid;
class QLineEdit;
class QScrollBar;

class DesktopGridWidget : public QWidget, private TComponentView {
  Q_OBJECT
public:
  DesktopGridWidget(TCustomGrid* Grid, QWidget* Parent);
  ~DesktopGridWidget() override;

  // The cell at a point of the widget, or false.
  bool CellAt(const QPoint& Point, int& ACol, int& ARow) const;
  // The in-place editor while it is open, else nullptr.
  QLineEdit* Editor() const { return FEditor; }
  // Opens the in-place editor on the current cell (with Text, or the cell's text); false when
  // the grid does not allow editing it.
  bool StartEditing(const QString* Text = nullptr);
  // Confirms (through the grid) or drops what the editor holds.
  void FinishEditing(bool Confirm);

protected:
  // Enter and Escape in the in-place editor belong to the cell, not to the dialog.
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

private:
  void ComponentChanged(TComponent* Sender, std::u16string_view Property) override;
  void ComponentDestroying(TComponent* Sender) override;
  void SyncScrollBar();
  bool Guard(const std::function<void()>& Action);

  TCustomGrid* FGrid;
  QLineEdit* FEditor = nullptr;
  QScrollBar* FScroll;
};
