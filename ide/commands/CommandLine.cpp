#include "CommandLine.h"

#include "rtl/UnicodeString.h"

namespace {

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

// Reads one argument at Pos (not a blank); on return Pos is just past it.
std::string ReadArgument(std::string_view Text, size_t& Pos) {
  std::string Arg;
  if (Text[Pos] != '"') {
    while (Pos < Text.size() && !IsBlank(Text[Pos]))
      Arg += Text[Pos++];
    return Arg;
  }
  const size_t Open = Pos++;
  while (true) {
    if (Pos >= Text.size())
      throw EShellSyntax(UTF8Decode("The quote is not closed: " + std::string(Text.substr(Open))));
    if (Text[Pos] == '"') {
      if (Pos + 1 < Text.size() && Text[Pos + 1] == '"') {
        Arg += '"';
        Pos += 2;
        continue;
      }
      ++Pos;
      if (Pos < Text.size() && !IsBlank(Text[Pos]))
        throw EShellSyntax(
            UTF8Decode("A blank must follow the closing quote: " + std::string(Text.substr(Open))));
      return Arg;
    }
    Arg += Text[Pos++];
  }
}

} // namespace

TCommandLine SplitCommand(std::string_view Line) {
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n'))
    Line.remove_suffix(1);
  size_t Pos = 0;
  while (Pos < Line.size() && IsBlank(Line[Pos]))
    ++Pos;
  TCommandLine Result;
  if (Pos >= Line.size() || Line[Pos] == '#')
    return Result;
  const size_t Start = Pos;
  while (Pos < Line.size() && !IsBlank(Line[Pos]))
    ++Pos;
  Result.Command = std::string(Line.substr(Start, Pos - Start));
  while (Pos < Line.size() && IsBlank(Line[Pos]))
    ++Pos;
  Result.Rest = std::string(Line.substr(Pos));
  return Result;
}

std::vector<std::string> SplitArguments(std::string_view Text) {
  std::vector<std::string> Args;
  size_t Pos = 0;
  while (true) {
    while (Pos < Text.size() && IsBlank(Text[Pos]))
      ++Pos;
    if (Pos >= Text.size())
      return Args;
    Args.push_back(ReadArgument(Text, Pos));
  }
}

std::string RestArgument(std::string_view Text) {
  if (Text.empty() || Text[0] != '"')
    return std::string(Text);
  try {
    size_t Pos = 0;
    std::string Arg = ReadArgument(Text, Pos);
    if (Pos == Text.size())
      return Arg;
  } catch (const EShellSyntax&) {
    // Not one quoted argument: taken as typed.
  }
  return std::string(Text);
}

std::string Quote(std::string_view Text) {
  std::string Q = "\"";
  for (char C : Text) {
    if (C == '"')
      Q += '"';
    Q += C;
  }
  return Q + "\"";
}
