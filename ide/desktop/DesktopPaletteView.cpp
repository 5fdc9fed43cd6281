#include "DesktopPaletteView.h"

#include "DesktopFailures.h"
#include "DesktopQtStrings.h"

#include "vcl/CategoryButtons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

DesktopPaletteView::DesktopPaletteView(TCategoryButtons* Palette, QWidget* Parent)
    : QAbstractScrollArea(Parent), FPalette(Palette) {
  setObjectName(QStringLiteral("Palette"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FPalette->AddView(this);
  SyncScrollBar();
}

DesktopPaletteView::~DesktopPaletteView() {
  if (FPalette)
    FPalette->RemoveView(this);
}

void DesktopPaletteView::SyncScrollBar() {
  if (!FPalette)
    return;
  FSyncing = true;
  verticalScrollBar()->setRange(0, FPalette->MaxScrollPosition());
  verticalScrollBar()->setPageStep(FPalette->ClientHeight());
  verticalScrollBar()->setSingleStep(FPalette->ButtonHeight());
  verticalScrollBar()->setValue(FPalette->ScrollPosition());
  FSyncing = false;
}

void DesktopPaletteView::Show() {
  SyncScrollBar();
  viewport()->update();
}

void DesktopPaletteView::ComponentDestroying(TComponent*) {
  FPalette = nullptr;
  viewport()->update();
}

void DesktopPaletteView::scrollContentsBy(int, int) {
  if (FPalette && !FSyncing)
    FPalette->SetScrollPosition(verticalScrollBar()->value());
  viewport()->update();
}

void DesktopPaletteView::resizeEvent(QResizeEvent* Event) {
  QAbstractScrollArea::resizeEvent(Event);
  if (FPalette)
    FPalette->SetBounds(FPalette->Left(), FPalette->Top(), viewport()->width(),
                        viewport()->height());
  SyncScrollBar();
}

int DesktopPaletteView::HeaderAt(const QPoint& Point) const {
  if (!FPalette)
    return -1;
  const int Y = Point.y() + FPalette->ScrollPosition();
  for (int I = 0; I < FPalette->Categories()->Count(); ++I) {
    const int Top = FPalette->CategoryTop(I);
    if (Y >= Top && Y < Top + FPalette->HeaderHeight())
      return I;
  }
  return -1;
}

void DesktopPaletteView::mousePressEvent(QMouseEvent* Event) {
  const int Index = HeaderAt(Event->position().toPoint());
  if (Index < 0)
    return QAbstractScrollArea::mousePressEvent(Event);
  RunGuarded(this, [&] {
    TButtonCategory* C = FPalette->Categories()->Items(Index);
    C->SetCollapsed(!C->Collapsed());
  });
}

void DesktopPaletteView::paintEvent(QPaintEvent*) {
  QPainter P(viewport());
  const QPalette& Pal = palette();
  P.fillRect(viewport()->rect(), Pal.base());
  if (!FPalette)
    return;
  const int W = viewport()->width();
  const int Offset = FPalette->ScrollPosition();
  const int H = FPalette->HeaderHeight();
  const int BH = FPalette->ButtonHeight();
  const int PerRow = FPalette->ButtonsPerRow();
  const int BW = std::max(1, W / PerRow);
  for (int I = 0; I < FPalette->Categories()->Count(); ++I) {
    const TButtonCategory* C = FPalette->Categories()->Items(I);
    const int Top = FPalette->CategoryTop(I) - Offset;
    const int Height = FPalette->CategoryHeight(I);
    if (Top > viewport()->height() || Top + Height < 0)
      continue;
    QRect Header(0, Top, W, H);
    P.fillRect(Header, Pal.button());
    P.setPen(Pal.buttonText().color());
    P.drawLine(Header.bottomLeft(), Header.bottomRight());
    QFont Bold = font();
    Bold.setBold(true);
    P.setFont(Bold);
    const QString Arrow = C->Collapsed() ? QStringLiteral("\u25B8 ") : QStringLiteral("\u25BE ");
    P.drawText(Header.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
               Arrow + ToQString(C->Caption()));
    P.setFont(font());
    if (C->Collapsed())
      continue;
    for (int B = 0; B < C->ButtonCount(); ++B) {
      QRect Button((B % PerRow) * BW, Top + H + (B / PerRow) * BH, BW, BH);
      P.setPen(Pal.text().color());
      P.drawText(Button.adjusted(20, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                 ToQString(C->Buttons(B)->Caption()));
      P.fillRect(QRect(Button.left() + 4, Button.top() + 4, 12, BH - 8), Pal.mid());
    }
  }
}
