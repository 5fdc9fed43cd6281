// Command lines: quoting every argument and splitting again gives the same arguments, both for
// the arguments that a line splits into and for any list of arguments (the input cut at NUL
// bytes); a quoted argument read as the rest of a line is the argument itself. The reading of a
// line that is still being typed (for Tab completion) agrees with the reading of the whole line.
#include "FuzzCheck.h"

#include "CommandLine.h"
#include "Commands_p.h"

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

// The arguments of Text as completion reads them: the whole ones, then the one being typed when
// there is one (a quoted one may be empty).
std::vector<std::string> PartialReading(std::string_view Text) {
  const commands::TPartialArguments P = commands::SplitPartialArguments(Text);
  FUZZ_CHECK(P.Start <= Text.size(), "the argument being typed begins after the text");
  FUZZ_CHECK(P.Valid, "a line the shell reads is refused by the partial reading");
  std::vector<std::string> Read = P.Done;
  if (!P.Typed.empty() || P.Quoted)
    Read.push_back(P.Typed);
  return Read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  try {
    const std::vector<std::string> Args = SplitArguments(Text);
    CheckRoundTrip(Args);
    FUZZ_CHECK(PartialReading(Text) == Args, "the partial reading differs from the whole one");
  } catch (const EShellSyntax&) {
    // Not a valid line; the list below is still checked.
    commands::SplitPartialArguments(Text);
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
