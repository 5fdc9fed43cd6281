// The host's colours and images in Qt: RGB colours as they are, system colours from the window's
// palette, an image list's image as an icon.
#pragma once

#include "vcl/Graphics.h"

#include <QColor>
#include <QIcon>
#include <QPalette>

class TCustomImageList;

QColor ToQColor(TColor Color, const QPalette& Palette);

// The image at Index of List, its masked pixels transparent; a null icon for no list or an index
// out of its range.
QIcon ToQIcon(const TCustomImageList* List, int Index);
