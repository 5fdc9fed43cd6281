// The shell's syntax. One command per line; a line whose first non-blank character is "#" is a
// comment. Arguments are separated by blanks; an argument with blanks is written in double
// quotes, inside which every character stands for itself (backslashes included) and "" stands
// for one ".
#pragma once

#include "rtl/Exception.h"

#include <string>
#include <string_view>
#include <vector>

HOST_EXCEPTION_CLASS(EShellSyntax, Exception);

struct TCommandLine {
  std::string Command; // empty for a blank line or a comment
  std::string Rest;    // everything after the command and the blanks that follow it
};

// Splits off the command word. Trailing carriage returns (CRLF files) are dropped.
TCommandLine SplitCommand(std::string_view Line);

// Splits Text into arguments by the quoting rules; EShellSyntax for an unclosed quote or a
// closing quote followed by something other than a blank.
std::vector<std::string> SplitArguments(std::string_view Text);

// An argument that takes the rest of the line: Text unquoted when it is one quoted argument
// (and nothing else), otherwise Text as typed.
std::string RestArgument(std::string_view Text);

// Text in double quotes, with every " doubled, as the shell reads it back.
std::string Quote(std::string_view Text);
