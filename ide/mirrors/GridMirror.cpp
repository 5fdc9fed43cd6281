#include "GridMirror.h"

#include "Failures.h"
#include "QtGraphics.h"
#include "QtStrings.h"

#include "vcl/Grids.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>

namespace {
QRect ToQRect(const TRect& R) {
  return QRect(R.Left, R.Top, R.Width(), R.Height());
}

QFont ToQFont(const TCanvasOperation& Op, const QFont& Base) {
  QFont F = Base;
  if (!Op.FontName.empty())
    F.setFamily(ToQString(Op.FontName));
  if (Op.FontHeight != 0)
    F.setPixelSize(Op.FontHeight < 0 ? -Op.FontHeight : Op.FontHeight);
  F.setBold(Op.FontStyle & fsBold);
  F.setItalic(Op.FontStyle & fsItalic);
  F.setUnderline(Op.FontStyle & fsUnderline);
  F.setStrikeOut(Op.FontStyle & fsStrikeOut);
  return F;
}
} // namespace

GridMirror::GridMirror(TCustomGrid* Grid, QWidget* Parent)
    : QWidget(Parent), FGrid(Grid), FScroll(new QScrollBar(Qt::Vertical, this)) {
  setObjectName(ToQString(Grid->Name()));
  setFocusPolicy(Qt::StrongFocus);
  setGeometry(Grid->Left(), Grid->Top(), Grid->Width(), Grid->Height());
  FScroll->setGeometry(width() - 16, 0, 16, height());
  connect(FScroll, &QScrollBar::valueChanged, this, [this](int Value) {
    if (FGrid && Value + FGrid->FixedRows() != FGrid->TopRow())
      Guard([&] { FGrid->SetTopRow(Value + FGrid->FixedRows()); });
  });
  FGrid->AddView(this);
  SyncScrollBar();
}

GridMirror::~GridMirror() {
  if (FGrid)
    FGrid->RemoveView(this);
}

bool GridMirror::Guard(const std::function<void()>& Action) {
  const bool Ok = RunGuarded(window(), Action);
  update();
  return Ok;
}

void GridMirror::SyncScrollBar() {
  if (!FGrid)
    return;
  const int Scrollable = FGrid->RowCount() - FGrid->FixedRows();
  const int Hidden = Scrollable - FGrid->VisibleRowCount();
  FScroll->setVisible(Hidden > 0);
  FScroll->setRange(0, std::max(0, Hidden));
  FScroll->setPageStep(std::max(1, FGrid->VisibleRowCount()));
  const QSignalBlocker Block(FScroll);
  FScroll->setValue(FGrid->TopRow() - FGrid->FixedRows());
}

void GridMirror::Show() {
  SyncScrollBar();
  PlaceEditor();
  update();
}

void GridMirror::PlaceEditor() {
  if (!FEditor || !FGrid)
    return;
  if (FGrid->Col() != FEditCol || FGrid->Row() != FEditRow) {
    // The current cell moved on without the editor (the model moved it): what the editor holds
    // cannot go into its cell through the grid any more, and must not go into another.
    FinishEditing(false);
    return;
  }
  const TRect Cell = FGrid->CellRect(FEditCol, FEditRow);
  if (Cell.IsEmpty()) {
    // Scrolled out of view: the text goes into its own cell, which is still the current one.
    const bool HadFocus = FEditor->hasFocus();
    FinishEditing(true);
    if (HadFocus)
      setFocus();
    return;
  }
  FEditor->setGeometry(ToQRect(Cell));
}

void GridMirror::ComponentDestroying(TComponent*) {
  FGrid = nullptr;
  update();
}

std::vector<int> GridMirror::RowsInView() const {
  std::vector<int> Rows;
  const int Col = FGrid->FixedCols() > 0 ? 0 : FGrid->LeftCol();
  for (int R = 0; R < FGrid->FixedRows() && R < FGrid->RowCount(); ++R)
    Rows.push_back(R);
  // The scrolled part runs from the top row down to the first row out of view.
  for (int R = FGrid->TopRow(); R < FGrid->RowCount(); ++R) {
    if (FGrid->CellRect(Col, R).IsEmpty())
      break;
    Rows.push_back(R);
  }
  return Rows;
}

std::vector<int> GridMirror::ColsInView() const {
  std::vector<int> Cols;
  const int Row = FGrid->FixedRows() > 0 ? 0 : FGrid->TopRow();
  for (int C = 0; C < FGrid->FixedCols() && C < FGrid->ColCount(); ++C)
    Cols.push_back(C);
  for (int C = FGrid->LeftCol(); C < FGrid->ColCount(); ++C) {
    if (FGrid->CellRect(C, Row).IsEmpty())
      break;
    Cols.push_back(C);
  }
  return Cols;
}

bool GridMirror::CellAt(const QPoint& Point, int& ACol, int& ARow) const {
  if (!FGrid)
    return false;
  const std::vector<int> Cols = ColsInView();
  for (int R : RowsInView())
    for (int C : Cols) {
      const TRect Cell = FGrid->CellRect(C, R);
      if (!Cell.IsEmpty() && ToQRect(Cell).contains(Point)) {
        ACol = C;
        ARow = R;
        return true;
      }
    }
  return false;
}

void GridMirror::paintEvent(QPaintEvent*) {
  QPainter P(this);
  const QPalette& Pal = palette();
  P.fillRect(rect(), ToQColor(clBtnFace, Pal));
  if (!FGrid)
    return;
  if (!RunGuarded(window(), [&] { FGrid->Paint(); }))
    return;
  for (const TCanvasOperation& Op : FGrid->Canvas()->Operations()) {
    const QRect R = ToQRect(Op.Rect);
    switch (Op.Kind) {
    case TCanvasOperation::coFillRect:
      P.fillRect(R, ToQColor(Op.Color, Pal));
      break;
    case TCanvasOperation::coText:
      P.save();
      P.setClipRect(R);
      P.setFont(ToQFont(Op, font()));
      P.setPen(ToQColor(Op.Color, Pal));
      P.drawText(QRect(Op.X, Op.Y, R.right() - Op.X + 1, R.bottom() - Op.Y + 1),
                 Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(Op.Text));
      P.restore();
      break;
    case TCanvasOperation::coFocusRect: {
      QPen Dotted(ToQColor(clWindowText, Pal), 1, Qt::DotLine);
      P.setPen(Dotted);
      P.setBrush(Qt::NoBrush);
      P.drawRect(R.adjusted(0, 0, -1, -1));
      break;
    }
    }
  }
  // Grid lines between the cells, as the grid's options ask for them.
  P.setPen(ToQColor(clBtnText, Pal).lighter(250));
  const TGridOptions O = FGrid->Options();
  const std::vector<int> Cols = ColsInView();
  for (int Row : RowsInView())
    for (int Col : Cols) {
      const TRect Cell = FGrid->CellRect(Col, Row);
      if (Cell.IsEmpty())
        continue;
      const bool Fixed = Col < FGrid->FixedCols() || Row < FGrid->FixedRows();
      const QRect R = ToQRect(Cell);
      if (O & (Fixed ? goFixedVertLine : goVertLine))
        P.drawLine(R.right() + 1, R.top(), R.right() + 1, R.bottom() + 1);
      if (O & (Fixed ? goFixedHorzLine : goHorzLine))
        P.drawLine(R.left(), R.bottom() + 1, R.right() + 1, R.bottom() + 1);
    }
}

void GridMirror::mousePressEvent(QMouseEvent* Event) {
  setFocus();
  int Col, Row;
  if (!CellAt(Event->position().toPoint(), Col, Row))
    return;
  FinishEditing(true);
  Guard([&] { FGrid->UserSelectCell(Col, Row); });
}

void GridMirror::wheelEvent(QWheelEvent* Event) {
  if (!FGrid)
    return;
  const int Steps = Event->angleDelta().y() / 120;
  Guard([&] { FGrid->SetTopRow(std::max(FGrid->FixedRows(), FGrid->TopRow() - Steps)); });
}

bool GridMirror::StartEditing(const QString* Text) {
  if (!FGrid || FEditor || !FGrid->CanEditCell())
    return false;
  const TRect Cell = FGrid->CellRect(FGrid->Col(), FGrid->Row());
  if (Cell.IsEmpty())
    return false;
  FEditCol = FGrid->Col();
  FEditRow = FGrid->Row();
  FEditor = new QLineEdit(this);
  FEditor->setObjectName(QStringLiteral("CellEditor"));
  FEditor->setFrame(false);
  FEditor->setGeometry(ToQRect(Cell));
  if (auto* S = dynamic_cast<TStringGrid*>(FGrid))
    FEditor->setText(Text ? *Text : ToQString(S->Cells(FGrid->Col(), FGrid->Row())));
  else if (Text)
    FEditor->setText(*Text);
  FEditor->show();
  FEditor->setFocus();
  FEditor->installEventFilter(this);
  return true;
}

bool GridMirror::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == FEditor && Event->type() == QEvent::KeyPress) {
    const int Key = static_cast<QKeyEvent*>(Event)->key();
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter || Key == Qt::Key_Escape) {
      FinishEditing(Key != Qt::Key_Escape);
      setFocus();
      return true;
    }
    // Keys that move to another cell go to the grid; Home and End without Ctrl move the caret.
    const bool Ctrl = static_cast<QKeyEvent*>(Event)->modifiers() & Qt::ControlModifier;
    if (Key == Qt::Key_PageUp || Key == Qt::Key_PageDown ||
        (Ctrl && (Key == Qt::Key_Home || Key == Qt::Key_End))) {
      keyPressEvent(static_cast<QKeyEvent*>(Event));
      return true;
    }
    if (Key == Qt::Key_Tab || Key == Qt::Key_Backtab) {
      // Leaving the grid keeps the cell, and focus goes on from the grid, not from the editor.
      FinishEditing(true);
      setFocus();
      focusNextPrevChild(Key == Qt::Key_Tab);
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}

void GridMirror::FinishEditing(bool Confirm) {
  if (!FEditor)
    return;
  QLineEdit* Editor = FEditor;
  FEditor = nullptr;
  const UnicodeString Text = FromQString(Editor->text());
  Editor->hide();
  Editor->deleteLater();
  // The grid writes into its current cell; it is the editor's as long as the editor is open
  // (PlaceEditor closes it when the model moves the current cell).
  if (Confirm && FGrid && FGrid->Col() == FEditCol && FGrid->Row() == FEditRow)
    Guard([&] { FGrid->UserEditCell(Text); });
}

void GridMirror::keyPressEvent(QKeyEvent* Event) {
  if (!FGrid)
    return QWidget::keyPressEvent(Event);
  int Col = FGrid->Col(), Row = FGrid->Row();
  const bool Ctrl = Event->modifiers() & Qt::ControlModifier;
  // A page is the scrollable rows wholly in view (at least one).
  const int Page = std::max(1, FGrid->VisibleRowCount());
  switch (Event->key()) {
  case Qt::Key_Up:
  case Qt::Key_Down:
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_Home:
  case Qt::Key_End:
    // Keys that the editor passes on move to another cell: the edited one keeps its text.
    if (FEditor) {
      const bool HadFocus = FEditor->hasFocus();
      FinishEditing(true);
      if (HadFocus)
        setFocus();
    }
    if (!FGrid || !FGrid->HasCurrentCell())
      return;
    Col = FGrid->Col();
    Row = FGrid->Row();
    break;
  default:
    break;
  }
  switch (Event->key()) {
  case Qt::Key_PageUp:
    Row = std::max(FGrid->FixedRows(), Row - Page);
    break;
  case Qt::Key_PageDown:
    Row = std::min(FGrid->RowCount() - 1, Row + Page);
    break;
  case Qt::Key_Home:
    if (Ctrl)
      Row = FGrid->FixedRows();
    else
      Col = FGrid->FixedCols();
    break;
  case Qt::Key_End:
    if (Ctrl)
      Row = FGrid->RowCount() - 1;
    else
      Col = FGrid->ColCount() - 1;
    break;
  case Qt::Key_Up:
    --Row;
    break;
  case Qt::Key_Down:
    ++Row;
    break;
  case Qt::Key_Left:
    --Col;
    break;
  case Qt::Key_Right:
    ++Col;
    break;
  case Qt::Key_F2:
    StartEditing();
    return;
  case Qt::Key_Escape:
    if (FEditor) {
      FinishEditing(false);
      return;
    }
    return QWidget::keyPressEvent(Event); // the dialog's Escape
  default:
    if (!Event->text().isEmpty() && Event->text().at(0).isPrint()) {
      const QString Typed = Event->text();
      if (StartEditing(&Typed))
        return;
    }
    return QWidget::keyPressEvent(Event);
  }
  if (Col >= 0 && Row >= 0 && Col < FGrid->ColCount() && Row < FGrid->RowCount())
    Guard([&] { FGrid->UserSelectCell(Col, Row); });
}
