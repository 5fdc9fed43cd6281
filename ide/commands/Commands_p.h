// What the command groups share: each group's file adds its entries to the table, and the
// helpers for texts, menus and the modal form.
#pragma once

#include "Completion.h"
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

// --- completion ---------------------------------------------------------------------------------

// The arguments of a command's text up to the cursor: those that are whole, then the one being
// typed (empty, at the end, when the text ends with a blank).
struct TPartialArguments {
  bool Valid = true; // false when the text does not read as arguments (a quote closed in a word)
  std::vector<std::string> Done;
  size_t Start = 0;    // where the argument being typed begins in the text
  bool Quoted = false; // it begins with a quote
  std::string Typed;   // its text so far, quotes taken away
};
TPartialArguments SplitPartialArguments(std::string_view Text);

// One thing the argument being typed may become.
struct TArgumentChoice {
  std::string Value; // the argument as the command reads it
  bool Final = true; // a whole argument: closed and followed by a blank (false: a key or folder
                     // whose path goes on)
  std::string Shown; // listed as; Value when empty
};
// The choices for the argument being typed, from the arguments before it; none when nothing fits.
using TArgumentCompleter = std::function<std::vector<TArgumentChoice>(
    const TCommandInterpreter& Interpreter, const TPartialArguments& Args)>;
// A command's completer for commands whose arguments are read by SplitArguments: Out gets the
// choices that begin with what was typed (letter case ignored), each written as the shell reads
// it back; all of them quoted when one needs quotes or the typed one began with a quote.
TCommand::TCompleter ArgumentCompleter(TArgumentCompleter Choices);
// Whether Text begins with Prefix when letter case is ignored (as the hive and menus ignore it).
bool StartsWithIgnoringCase(std::string_view Text, std::string_view Prefix);
// Files and folders whose path begins with Typed; folders end with "/" and are not final.
std::vector<TArgumentChoice> FileChoices(const std::string& Typed);
// Words as final choices.
std::vector<TArgumentChoice> WordChoices(const std::vector<std::string>& Words);

} // namespace commands
