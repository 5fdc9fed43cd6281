// The host's colours in Qt: RGB colours as they are, system colours from the window's palette.
#pragma once

#include "vcl/Graphics.h"

#include <QColor>
#include <QPalette>

QColor ToQColor(TColor Color, const QPalette& Palette);
