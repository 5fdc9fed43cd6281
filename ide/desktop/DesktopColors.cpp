#include "DesktopColors.h"

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
