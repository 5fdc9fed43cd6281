// Stored layouts: whatever parses is built into a form three ways, strictly, with handlers and
// ancestors that are not there let pass (as a designer reads a layout without its code), and
// going on past every error. Each failure must be a read error naming the layout and its line;
// going on past errors must never fail; every form must go again with all it created.
#include "FuzzCheck.h"

#include "rtl/Exception.h"
#include "vcl/Forms.h"
#include "vcl/LayoutReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

const std::u16string_view Source = u"fuzz.dfm";
const std::string Prefix = "Error reading layout fuzz.dfm, line ";

void CheckMessage(const Exception& E) {
  FUZZ_CHECK(std::string_view(E.what()).starts_with(Prefix), E.what());
}

// Builds Tree into a new form; true when that went without a failure.
bool Build(const TLayoutObject& Tree, const TLayoutReaderEvents& Events) {
  const int FormsBefore = Screen->FormCount();
  bool Built = false;
  {
    TOwned<TForm> Form(new TForm(nullptr));
    try {
      ReadLayout(Form.get(), Tree, Source, Events);
      Built = true;
    } catch (const EReadError& E) {
      CheckMessage(E);
    }
  }
  FUZZ_CHECK(Screen->FormCount() == FormsBefore, "a form built from a layout was left behind");
  return Built;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  TLayoutObject Tree;
  try {
    Tree = ParseLayout(Text, Source);
  } catch (const EReadError& E) {
    CheckMessage(E);
    return 0;
  }

  const bool Strict = Build(Tree, {});

  TLayoutReaderEvents StandIn;
  StandIn.OnMethodNotFound = [](const UnicodeString&) { return true; };
  StandIn.OnAncestorNotFound = [](const UnicodeString&) { return true; };
  const bool Lenient = Build(Tree, StandIn);
  FUZZ_CHECK(!Strict || Lenient, "a layout that builds strictly fails with stand-ins");

  TLayoutReaderEvents Onward = StandIn;
  int Errors = 0;
  Onward.OnError = [&](const EReadError& E) {
    CheckMessage(E);
    ++Errors;
    return true;
  };
  FUZZ_CHECK(Build(Tree, Onward), "reading on past errors failed");
  FUZZ_CHECK(!Lenient || Errors == 0, "a layout that builds with stand-ins reports errors");
  return 0;
}
