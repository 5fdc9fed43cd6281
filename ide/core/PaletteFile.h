// Palette files: the Tool Palette's categories and components, in palette order.
//
//   {"categories": [{"caption": "Standard", "collapsed": false,
//                    "components": ["TFrame", "TMainMenu"]}, ...]}
//
// "collapsed" is optional (false by default), and so is "components" (none). Any other member
// is an error, so that a misspelt one does not pass unnoticed. The text is strict JSON
// (RFC 8259): no comments, no trailing commas, no duplicate member names, UTF-8 only.
#pragma once

#include "rtl/Exception.h"
#include "rtl/UnicodeString.h"

#include <string>
#include <string_view>
#include <vector>

class TCategoryButtons;

// The file cannot be read.
HOST_EXCEPTION_CLASS(EPaletteFileError, Exception);
// The content is wrong; the message names the source, the line and the column (both from 1,
// columns counted in characters).
HOST_EXCEPTION_CLASS(EJsonError, Exception);

struct TPaletteCategory {
  UnicodeString Caption;
  bool Collapsed = false;
  std::vector<UnicodeString> Components;
};

// Reads a palette file; EPaletteFileError when it cannot be read, EJsonError (with line and
// column) when its content is wrong.
std::vector<TPaletteCategory> ReadPaletteFile(const std::string& Path);
// Parses palette text (UTF-8; a leading byte-order mark is skipped). Source names it in messages.
std::vector<TPaletteCategory> ParsePalette(std::string_view Text, std::string_view Source);

// Replaces the palette's categories with those given, scrolled to the top.
void FillPalette(TCategoryButtons& Palette, const std::vector<TPaletteCategory>& Categories);
