#include "PaletteMirror.h"

#include "Failures.h"
#include "QtStrings.h"

#include "vcl/CategoryButtons.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

PaletteMirror::PaletteMirror(TCategoryButtons* Palette, QWidget* Parent)
    : QAbstractScrollArea(Parent), FPalette(Palette) {
  setObjectName(QStringLiteral("Palette"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FPalette->AddView(this);
  SyncScrollBar();
}

PaletteMirror::~PaletteMirror() {
  if (FPalette)
    FPalette->RemoveView(this);
}

void PaletteMirror::SyncScrollBar() {
  if (!FPalette)
    return;
  FSyncing = true;
  verticalScrollBar()->setRange(0, FPalette->MaxScrollPosition());
  verticalScrollBar()->setPageStep(FPalette->ClientHeight());
  verticalScrollBar()->setSingleStep(FPalette->ButtonHeight());
  verticalScrollBar()->setValue(FPalette->ScrollPosition());
  FSyncing = false;
}

void PaletteMirror::Show() {
  FShowQueued = false;
  SyncScrollBar();
  viewport()->update();
}

void PaletteMirror::ShowSoon() {
  // Once per burst: the queued Show repaints as well.
  if (FShowQueued)
    return;
  FShowQueued = true;
  viewport()->update();
  QTimer::singleShot(0, this, [this] {
    if (FShowQueued)
      Show();
  });
}

void PaletteMirror::ComponentDestroying(TComponent*) {
  FPalette = nullptr;
  viewport()->update();
}

void PaletteMirror::scrollContentsBy(int, int) {
  if (FPalette && !FSyncing)
    FPalette->SetScrollPosition(verticalScrollBar()->value());
  viewport()->update();
}

void PaletteMirror::resizeEvent(QResizeEvent* Event) {
  QAbstractScrollArea::resizeEvent(Event);
  if (FPalette)
    FPalette->SetBounds(FPalette->Left(), FPalette->Top(), viewport()->width(),
                        viewport()->height());
  SyncScrollBar();
}

int PaletteMirror::HeaderAt(const QPoint& Point) const {
  if (!FPalette)
    return -1;
  const int Y = Point.y() + FPalette->ScrollPosition();
  const int I = FPalette->CategoryAt(Y);
  return I >= 0 && Y < FPalette->CategoryTop(I) + FPalette->HeaderHeight() ? I : -1;
}

void PaletteMirror::mousePressEvent(QMouseEvent* Event) {
  const int Index = HeaderAt(Event->position().toPoint());
  if (Index < 0)
    return QAbstractScrollArea::mousePressEvent(Event);
  RunGuarded(this, [&] {
    TButtonCategory* C = FPalette->Categories()->Items(Index);
    C->SetCollapsed(!C->Collapsed());
  });
}

void PaletteMirror::paintEvent(QPaintEvent* Event) {
  QPainter P(viewport());
  const QPalette& Pal = palette();
  const QRect Exposed = Event->rect();
  P.fillRect(Exposed, Pal.base());
  if (!FPalette)
    return;
  const int W = viewport()->width();
  const int Offset = FPalette->ScrollPosition();
  const int H = FPalette->HeaderHeight();
  const int BH = FPalette->ButtonHeight();
  const int PerRow = FPalette->ButtonsPerRow();
  const int BW = std::max(1, W / PerRow);
  QFont Bold = font();
  Bold.setBold(true);
  // Only the categories that meet the exposed rows, found by where the first of them lies.
  const int Count = FPalette->Categories()->Count();
  int First = FPalette->CategoryAt(std::max(0, Offset + Exposed.top()));
  if (First < 0)
    return; // nothing of the palette is under the exposed rows
  for (int I = First; I < Count; ++I) {
    const int Top = FPalette->CategoryTop(I) - Offset;
    if (Top > Exposed.bottom())
      break;
    const TButtonCategory* C = FPalette->Categories()->Items(I);
    QRect Header(0, Top, W, H);
    if (Header.intersects(Exposed)) {
      P.fillRect(Header, Pal.button());
      P.setPen(Pal.buttonText().color());
      P.drawLine(Header.bottomLeft(), Header.bottomRight());
      P.setFont(Bold);
      const QString Arrow = C->Collapsed() ? QStringLiteral("\u25B8 ") : QStringLiteral("\u25BE ");
      P.drawText(Header.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                 Arrow + ToQString(C->Caption()));
    }
    if (C->Collapsed() || C->ButtonCount() == 0)
      continue;
    // The button rows of the category that meet the exposed rows.
    P.setFont(font());
    const int RowsTop = Top + H;
    const int Rows = (C->ButtonCount() + PerRow - 1) / PerRow;
    const int FirstRow = std::clamp((Exposed.top() - RowsTop) / BH, 0, Rows);
    const int EndRow = std::clamp((Exposed.bottom() - RowsTop) / BH + 1, 0, Rows);
    for (int B = FirstRow * PerRow; B < std::min(C->ButtonCount(), EndRow * PerRow); ++B) {
      QRect Button((B % PerRow) * BW, RowsTop + (B / PerRow) * BH, BW, BH);
      P.setPen(Pal.text().color());
      P.drawText(Button.adjusted(20, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                 ToQString(C->Buttons(B)->Caption()));
      P.fillRect(QRect(Button.left() + 4, Button.top() + 4, 12, BH - 8), Pal.mid());
    }
  }
}
