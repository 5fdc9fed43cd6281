// Palette files: what parses fills a palette with exactly its categories, captions, collapsed
// states and components; what does not is refused with its place ("source:line:column: ").
// Whatever is read, written out again, reads back the same.
#include "FuzzCheck.h"

#include "PaletteFile.h"
#include "vcl/CategoryButtons.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

bool Same(const std::vector<TPaletteCategory>& A, const std::vector<TPaletteCategory>& B) {
  if (A.size() != B.size())
    return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (A[I].Caption != B[I].Caption || A[I].Collapsed != B[I].Collapsed ||
        A[I].Components != B[I].Components)
      return false;
  return true;
}

// S as a JSON string: quotes, backslashes and control characters escaped; other characters as
// UTF-8, or (Escaped) everything beyond ASCII as \u escapes, supplementary ones as pairs.
void Quote(const UnicodeString& S, bool Escaped, std::string& Out) {
  Out += '"';
  for (size_t I = 0; I < S.size(); ++I) {
    const char16_t C = S[I];
    char Hex[8];
    if (C == u'"' || C == u'\\') {
      Out += '\\';
      Out += static_cast<char>(C);
    } else if (C == u'\n') {
      Out += "\\n";
    } else if (C < 0x20 || (Escaped && C >= 0x80)) {
      std::snprintf(Hex, sizeof Hex, "\\u%04X", static_cast<unsigned>(C));
      Out += Hex;
    } else if (C < 0x80) {
      Out += static_cast<char>(C);
    } else {
      // A surrogate pair goes over as one character.
      const size_t Length = (C >= 0xD800 && C <= 0xDBFF && I + 1 < S.size()) ? 2 : 1;
      Out += UTF8Encode(std::u16string_view(S).substr(I, Length));
      I += Length - 1;
    }
  }
  Out += '"';
}

std::string Write(const std::vector<TPaletteCategory>& Categories, bool Escaped) {
  std::string Out = "{\"categories\": [";
  for (size_t I = 0; I < Categories.size(); ++I) {
    const TPaletteCategory& C = Categories[I];
    Out += I ? ",\n {\"caption\": " : "\n {\"caption\": ";
    Quote(C.Caption, Escaped, Out);
    Out += C.Collapsed ? ", \"collapsed\": true" : "";
    if (!C.Components.empty() || Escaped) {
      Out += ",\"components\":[";
      for (size_t J = 0; J < C.Components.size(); ++J) {
        Out += J ? ", " : "";
        Quote(C.Components[J], Escaped, Out);
      }
      Out += "]";
    }
    Out += "}";
  }
  return Out + "]}\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);

  std::vector<TPaletteCategory> Categories;
  try {
    Categories = ParsePalette(Text, "fuzz.json");
  } catch (const EJsonError& E) {
    const std::string_view Message = E.what();
    FUZZ_CHECK(Message.starts_with("fuzz.json:"), E.what());
    const size_t Line = Message.find_first_not_of("0123456789", 10);
    FUZZ_CHECK(Line > 10 && Message[Line] == ':', E.what());
    const size_t Column = Message.find_first_not_of("0123456789", Line + 1);
    FUZZ_CHECK(Column > Line + 1 && Message.substr(Column, 2) == ": ", E.what());
    return 0;
  }

  // The same categories written out again, plainly and with every character escaped, read
  // back equal.
  for (bool Escaped : {false, true}) {
    const std::string Written = Write(Categories, Escaped);
    std::vector<TPaletteCategory> Again;
    try {
      Again = ParsePalette(Written, "written.json");
    } catch (const EJsonError& E) {
      FUZZ_CHECK(false, std::string("refused what was written: ") + E.what() + "\n" + Written);
    }
    FUZZ_CHECK(Same(Again, Categories), "read back otherwise: " + Written);
  }

  TOwned<TCategoryButtons> Palette(new TCategoryButtons(nullptr));
  FillPalette(*Palette, Categories);
  FUZZ_CHECK(Palette->Categories()->Count() == static_cast<int>(Categories.size()),
             "the palette has another number of categories");
  for (int I = 0; I < Palette->Categories()->Count(); ++I) {
    const TButtonCategory* Category = Palette->Categories()->Items(I);
    const TPaletteCategory& Read = Categories[static_cast<size_t>(I)];
    FUZZ_CHECK(Category->Caption() == Read.Caption, "a caption changed");
    FUZZ_CHECK(Category->Collapsed() == Read.Collapsed, "a collapsed state changed");
    FUZZ_CHECK(Category->ButtonCount() == static_cast<int>(Read.Components.size()),
               "a category has another number of components");
    for (int J = 0; J < Category->ButtonCount(); ++J)
      FUZZ_CHECK(Category->Buttons(J)->Caption() == Read.Components[static_cast<size_t>(J)],
                 "a component changed");
  }
  FUZZ_CHECK(Palette->ScrollPosition() == 0, "a filled palette is not scrolled to the top");
  return 0;
}
