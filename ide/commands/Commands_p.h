// What the command groups share: each group's file adds its entries to the table, and the
// helpers for texts, menus and the modal form.
#pragma once

#include "Interpreter.h"

#include "rtl/Exception.h"
#include "rtl/UnicodeString.h"

#include <string>
#include <string_view>
#include <vector>

class TMenuItem;
class TPopupMenu;
class TStringGrid;
class TToolButton;

// The command groups, in the order help lists them.
void AddMenuCommands(TCommandTable& Table);
void AddPaletteCommands(TCommandTable& Table);
void AddRegistryCommands(TCommandTable& Table);
void AddPackageCommands(TCommandTable& Table);
void AddEditorCommands(TCommandTable& Table);

namespace commands {

inline std::string U8(std::u16string_view S) {
  return UTF8Encode(S);
}
inline UnicodeString U16(std::string_view S) {
  return UTF8Decode(S);
}

// A usage error: "Usage: TEXT".
[[noreturn]] void Usage(const std::string& Text);
// Text as a whole number; EShellSyntax naming What otherwise.
int ToInt(const std::string& Text, const char* What);
std::string TrimRight(std::string S);

// Prints the children of Parent as a tree, two blanks of indent per level.
void PrintTree(std::ostream& Out, const TMenuItem* Parent, int Depth);
// The grid of the form that runs modally, or nullptr.
TStringGrid* GridOf(TCustomForm* Form);
// Prints a grid as "R: COL0 | COL1" lines and its selection.
void PrintGrid(std::ostream& Out, TStringGrid* Grid);

} // namespace commands
