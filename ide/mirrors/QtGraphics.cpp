#include "QtGraphics.h"

#include "vcl/ImgList.h"

#include <QImage>
#include <QPixmap>

QColor ToQColor(TColor Color, const QPalette& Palette) {
  if (!IsSystemColor(Color))
    return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
  switch (Color & 0xFF) {
  case 5: // COLOR_WINDOW
    return Palette.color(QPalette::Base);
  case 8: // COLOR_WINDOWTEXT
    return Palette.color(QPalette::Text);
  case 13: // COLOR_HIGHLIGHT
    return Palette.color(QPalette::Highlight);
  case 14: // COLOR_HIGHLIGHTTEXT
    return Palette.color(QPalette::HighlightedText);
  case 15: // COLOR_BTNFACE
    return Palette.color(QPalette::Button);
  case 18: // COLOR_BTNTEXT
    return Palette.color(QPalette::ButtonText);
  default:
    return Palette.color(QPalette::Window);
  }
}

QIcon ToQIcon(const TCustomImageList* List, int Index) {
  if (!List || Index < 0 || Index >= List->Count())
    return QIcon();
  QImage Image(List->Width(), List->Height(), QImage::Format_ARGB32);
  for (int Y = 0; Y < List->Height(); ++Y)
    for (int X = 0; X < List->Width(); ++X) {
      const TColor C = List->Pixel(Index, X, Y);
      Image.setPixel(X, Y,
                     List->IsTransparent(Index, X, Y)
                         ? qRgba(0, 0, 0, 0)
                         : qRgb(GetRValue(C), GetGValue(C), GetBValue(C)));
    }
  return QIcon(QPixmap::fromImage(Image));
}
