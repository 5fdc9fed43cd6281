// Palette files: what parses fills a palette with exactly its categories, captions, collapsed
// states and components; what does not is refused with its place ("source:line:column: ").
#include "FuzzCheck.h"

#include "PaletteFile.h"
#include "vcl/CategoryButtons.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

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
