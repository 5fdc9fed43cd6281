#include "PaletteFile.h"

#include "vcl/CategoryButtons.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

[[noreturn]] void Wrong(std::string_view Source, const TJsonValue& At, const std::string& What) {
  throw EJsonError(UTF8Decode(std::string(Source) + ":" + std::to_string(At.Line) + ":" +
                              std::to_string(At.Column) + ": " + What));
}

const TJsonValue& Expect(std::string_view Source, const TJsonValue& V, TJsonValue::TKind Kind,
                         const std::string& What) {
  if (V.Kind != Kind)
    Wrong(Source, V,
          What + " must be " + TJsonValue::KindName(Kind) + ", not " +
              TJsonValue::KindName(V.Kind));
  return V;
}

} // namespace

std::vector<TPaletteCategory> ParsePalette(std::string_view Text, std::string_view Source) {
  using K = TJsonValue::TKind;
  const TJsonValue Doc = ParseJson(Text, Source);
  Expect(Source, Doc, K::Object, "the palette");
  for (const auto& [Name, V] : Doc.Members)
    if (Name != "categories")
      Wrong(Source, V, "unknown member \"" + Name + "\" (expected \"categories\")");
  const TJsonValue* List = Doc.Find("categories");
  if (!List)
    Wrong(Source, Doc, "the palette has no member \"categories\"");
  Expect(Source, *List, K::Array, "\"categories\"");

  std::vector<TPaletteCategory> Result;
  for (const TJsonValue& C : List->Items) {
    Expect(Source, C, K::Object, "a category");
    TPaletteCategory Category;
    bool HasCaption = false;
    for (const auto& [Name, V] : C.Members) {
      if (Name == "caption") {
        Category.Caption = UTF8Decode(Expect(Source, V, K::String, "\"caption\"").String);
        HasCaption = true;
      } else if (Name == "collapsed") {
        Category.Collapsed = Expect(Source, V, K::Boolean, "\"collapsed\"").Boolean;
      } else if (Name == "components") {
        for (const TJsonValue& Item : Expect(Source, V, K::Array, "\"components\"").Items)
          Category.Components.push_back(
              UTF8Decode(Expect(Source, Item, K::String, "a component").String));
      } else {
        Wrong(Source, V,
              "unknown member \"" + Name +
                  "\" in a category (expected \"caption\", \"collapsed\" or \"components\")");
      }
    }
    if (!HasCaption)
      Wrong(Source, C, "a category has no \"caption\"");
    Result.push_back(std::move(Category));
  }
  return Result;
}

std::vector<TPaletteCategory> ReadPaletteFile(const std::string& Path) {
  std::error_code Ignored;
  if (std::filesystem::is_directory(Path, Ignored))
    throw EPaletteFileError(UTF8Decode("Cannot read palette file " + Path + ": it is a folder"));
  std::ifstream In(Path, std::ios::binary);
  if (!In)
    throw EPaletteFileError(
        UTF8Decode("Cannot read palette file " + Path + ": " + std::strerror(errno)));
  std::ostringstream Text;
  Text << In.rdbuf();
  if (In.bad())
    throw EPaletteFileError(UTF8Decode("Cannot read palette file " + Path));
  return ParsePalette(Text.str(), Path);
}

void FillPalette(TCategoryButtons& Palette, const std::vector<TPaletteCategory>& Categories) {
  Palette.Categories()->Clear();
  for (const TPaletteCategory& C : Categories) {
    TButtonCategory* Category = Palette.Categories()->Add();
    Category->SetCaption(C.Caption);
    for (const UnicodeString& Component : C.Components)
      Category->AddButton(Component);
    Category->SetCollapsed(C.Collapsed);
  }
  Palette.SetScrollPosition(0);
}
