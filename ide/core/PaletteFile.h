// Palette files: the Tool Palette's categories and components, in palette order.
//
//   {"categories": [{"caption": "Standard", "collapsed": false,
//                    "components": ["TFrame", "TMainMenu"]}, ...]}
//
// "collapsed" is optional (false by default), and so is "components" (none). Any other member
// is an error, so that a misspelt one does not pass unnoticed.
#pragma once

#include "Json.h"

#include "rtl/UnicodeString.h"

#include <string>
#include <string_view>
#include <vector>

class TCategoryButtons;

HOST_EXCEPTION_CLASS(EPaletteFileError, Exception);

struct TPaletteCategory {
  UnicodeString Caption;
  bool Collapsed = false;
  std::vector<UnicodeString> Components;
};

// Reads a palette file; EPaletteFileError when it cannot be read, EJsonError (with line and
// column) when its content is wrong.
std::vector<TPaletteCategory> ReadPaletteFile(const std::string& Path);
std::vector<TPaletteCategory> ParsePalette(std::string_view Text, std::string_view Source);

// Replaces the palette's categories with those given, scrolled to the top.
void FillPalette(TCategoryButtons& Palette, const std::vector<TPaletteCategory>& Categories);
