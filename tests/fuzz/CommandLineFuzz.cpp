// Command lines: quoting every argument and splitting again gives the same arguments, both for
// the arguments that a line splits into and for any list of arguments (the input cut at NUL
// bytes); a quoted argument read as the rest of a line is the argument itself.
#include "FuzzCheck.h"

#include "CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string QuoteAll(const std::vector<std::string>& Args) {
  std::string Line;
  for (const std::string& A : Args)
    Line += (Line.empty() ? "" : " ") + Quote(A);
  return Line;
}

void CheckRoundTrip(const std::vector<std::string>& Args) {
  const std::string Line = QuoteAll(Args);
  std::vector<std::string> Again;
  try {
    Again = SplitArguments(Line);
  } catch (const EShellSyntax& E) {
    FuzzFail(__FILE__, __LINE__, "SplitArguments(QuoteAll(Args))", E.what());
  }
  FUZZ_CHECK(Again == Args, "quoted arguments split into others: " + Line);
  for (const std::string& A : Args)
    FUZZ_CHECK(RestArgument(Quote(A)) == A, "a quoted rest argument reads back otherwise: " + A);
  // As the shell reads a line: the command word, then the rest.
  if (!Args.empty()) {
    const TCommandLine Split = SplitCommand("cmd " + Line);
    FUZZ_CHECK(Split.Command == "cmd" && Split.Rest == Line, "the command word took more: " + Line);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  try {
    CheckRoundTrip(SplitArguments(Text));
  } catch (const EShellSyntax&) {
    // Not a valid line; the list below is still checked.
  }
  std::vector<std::string> Args;
  size_t Start = 0;
  while (Start <= Text.size()) {
    size_t End = Text.find('\0', Start);
    if (End == std::string_view::npos)
      End = Text.size();
    Args.emplace_back(Text.substr(Start, End - Start));
    Start = End + 1;
  }
  CheckRoundTrip(Args);
  const TCommandLine Split = SplitCommand(Text);
  FUZZ_CHECK(Split.Command.find_first_of(" \t") == std::string::npos,
             "a command word holds a blank");
  return 0;
}
