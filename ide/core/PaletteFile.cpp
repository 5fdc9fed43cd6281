#include "PaletteFile.h"

#include "vcl/CategoryButtons.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

namespace {

// Deeper documents are refused, so that nothing built from one can exhaust the stack.
constexpr size_t MaxDepth = 256;

// A JSON value as parsed, with the byte offset where it starts, so that the shape checks can
// name the place of a wrong value.
struct TNode {
  enum class TKind { Null, Boolean, Number, String, Array, Object };
  TKind Kind = TKind::Null;
  bool Boolean = false;
  std::string String; // well-formed UTF-8
  // The elements of an array, or the member values of an object in document order, with
  // their names in Names. (Two vectors, as a vector of pairs may not hold an incomplete type.)
  std::vector<TNode> Items;
  std::vector<std::string> Names;
  size_t Offset = 0;

  const TNode* Find(std::string_view Name) const {
    for (size_t I = 0; I < Names.size(); ++I)
      if (Names[I] == Name)
        return &Items[I];
    return nullptr;
  }
};

const char* KindName(TNode::TKind K) {
  switch (K) {
  case TNode::TKind::Null:
    return "null";
  case TNode::TKind::Boolean:
    return "a boolean";
  case TNode::TKind::Number:
    return "a number";
  case TNode::TKind::String:
    return "a string";
  case TNode::TKind::Array:
    return "an array";
  case TNode::TKind::Object:
    return "an object";
  }
  return "a value";
}

// Hands the text to the parser byte by byte and counts what it has taken: at each event the
// count is the end of the token just read (plus one byte looked ahead after a number).
class TCountingIterator {
public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TCountingIterator(const char* Begin, const char* At, size_t* Consumed)
      : FBegin(Begin), FAt(At), FConsumed(Consumed) {}
  reference operator*() const { return *FAt; }
  TCountingIterator& operator++() {
    ++FAt;
    *FConsumed = static_cast<size_t>(FAt - FBegin);
    return *this;
  }
  TCountingIterator operator++(int) {
    TCountingIterator Old = *this;
    ++*this;
    return Old;
  }
  bool operator==(const TCountingIterator& Other) const { return FAt == Other.FAt; }

private:
  const char* FBegin;
  const char* FAt;
  size_t* FConsumed;
};

// Turns a byte offset into "Source:line:column: " (from 1; columns in characters, after the
// byte-order mark).
std::string Where(std::string_view Text, std::string_view Source, size_t Offset) {
  const size_t Start = Text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  Offset = std::min(std::max(Offset, Start), Text.size());
  size_t Line = 1, Column = 1;
  for (size_t I = Start; I < Offset; ++I) {
    const auto C = static_cast<unsigned char>(Text[I]);
    if (C == '\n') {
      ++Line;
      Column = 1;
    } else if ((C & 0xC0) != 0x80) {
      ++Column;
    }
  }
  return std::string(Source) + ":" + std::to_string(Line) + ":" + std::to_string(Column) + ": ";
}

// Builds the value tree from the parser's events; refuses duplicate member names and nesting
// deeper than MaxDepth. The first error is kept with its offset and ends the parse.
class TTreeBuilder {
public:
  TTreeBuilder(std::string_view Text, const size_t& Consumed) : FText(Text), FConsumed(Consumed) {}

  TNode Root;
  bool Failed = false;
  size_t ErrorOffset = 0;
  std::string ErrorMessage;

  bool null() { return Scalar(TNode::TKind::Null, FConsumed - 4); }
  bool boolean(bool B) {
    TNode* N = Add(TNode::TKind::Boolean, FConsumed - (B ? 4 : 5));
    N->Boolean = B;
    return true;
  }
  bool number_integer(nlohmann::json::number_integer_t) { return Number(); }
  bool number_unsigned(nlohmann::json::number_unsigned_t) { return Number(); }
  bool number_float(nlohmann::json::number_float_t, const std::string&) { return Number(); }
  bool string(std::string& S) {
    Add(TNode::TKind::String, StringStart())->String = std::move(S);
    return true;
  }
  bool binary(nlohmann::json::binary_t&) { return Fail(FConsumed, "unexpected binary value"); }
  bool start_object(std::size_t) { return Open(TNode::TKind::Object); }
  bool key(std::string& Name) {
    if (!NewMember(Name))
      return Fail(StringStart(), "duplicate member \"" + Name + "\"");
    FKey = std::move(Name);
    return true;
  }
  bool end_object() {
    FKeys.pop_back();
    FOpen.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return Open(TNode::TKind::Array); }
  bool end_array() {
    FOpen.pop_back();
    return true;
  }
  bool parse_error(std::size_t Position, const std::string&, const nlohmann::json::exception& E) {
    // The library's message without its "[json.exception...] parse error at ...: " preamble.
    std::string What = E.what();
    if (!What.empty() && What[0] == '[') {
      const size_t End = What.find("] ");
      if (End != std::string::npos)
        What.erase(0, End + 2);
    }
    if (What.rfind("parse error", 0) == 0) {
      const size_t End = What.find(": ");
      if (End != std::string::npos)
        What.erase(0, End + 2);
    }
    // Position counts the bytes read: the error is placed at the last one, where the parser
    // stopped (past the end when the text ended too soon).
    return Fail(Position > 0 ? Position - 1 : 0, What);
  }

private:
  std::string_view FText;
  const size_t& FConsumed;
  std::vector<TNode*> FOpen; // the arrays and objects around the next value
  // Per open object, its member names in a set once it has more than a few; until then the
  // names already placed in the object are compared one by one, which spares a palette's small
  // objects a set node per member.
  std::vector<std::set<std::string>> FKeys;
  static constexpr size_t FewMembers = 8;
  std::string FKey; // the name of the member whose value comes next

  bool Fail(size_t Offset, std::string Message) {
    if (!Failed) {
      Failed = true;
      ErrorOffset = Offset;
      ErrorMessage = std::move(Message);
    }
    return false;
  }

  // Whether Name is new in the innermost open object (then noted as taken).
  bool NewMember(const std::string& Name) {
    const std::vector<std::string>& Placed = FOpen.back()->Names;
    std::set<std::string>& Set = FKeys.back();
    if (Placed.size() < FewMembers)
      return std::find(Placed.begin(), Placed.end(), Name) == Placed.end();
    if (Set.empty())
      Set.insert(Placed.begin(), Placed.end());
    return Set.insert(Name).second;
  }
  // Places a new value in the open array or object (or as the root) and returns it.
  TNode* Add(TNode::TKind Kind, size_t Offset) {
    TNode* N;
    if (FOpen.empty())
      N = &Root;
    else {
      if (FOpen.back()->Kind == TNode::TKind::Object)
        FOpen.back()->Names.push_back(std::move(FKey));
      N = &FOpen.back()->Items.emplace_back();
    }
    N->Kind = Kind;
    N->Offset = Offset;
    return N;
  }
  bool Scalar(TNode::TKind Kind, size_t Offset) {
    Add(Kind, Offset);
    return true;
  }
  bool Open(TNode::TKind Kind) {
    const size_t Offset = FConsumed - 1;
    if (FOpen.size() > MaxDepth)
      return Fail(Offset, "nesting deeper than " + std::to_string(MaxDepth) + " levels");
    FOpen.push_back(Add(Kind, Offset));
    if (Kind == TNode::TKind::Object)
      FKeys.emplace_back();
    return true;
  }
  // A number ends before the byte looked ahead, unless the text ended with it.
  bool Number() {
    size_t End = FConsumed;
    if (End > 0 && (FText[End - 1] < '0' || FText[End - 1] > '9'))
      --End;
    size_t Start = End;
    while (Start > 0 &&
           std::string_view("0123456789+-.eE").find(FText[Start - 1]) != std::string_view::npos)
      --Start;
    return Scalar(TNode::TKind::Number, Start);
  }
  // The opening quote of the string whose closing quote was read last.
  size_t StringStart() const {
    size_t I = FConsumed - 1;
    while (I > 0) {
      --I;
      if (FText[I] != '"')
        continue;
      size_t Backslashes = 0;
      while (I > Backslashes && FText[I - 1 - Backslashes] == '\\')
        ++Backslashes;
      if (Backslashes % 2 == 0)
        return I;
    }
    return 0;
  }
};

TNode ParseTree(std::string_view Text, std::string_view Source) {
  size_t Consumed = 0;
  TTreeBuilder Builder(Text, Consumed);
  TCountingIterator First(Text.data(), Text.data(), &Consumed);
  TCountingIterator Last(Text.data(), Text.data() + Text.size(), &Consumed);
  if (!nlohmann::json::sax_parse(First, Last, &Builder) || Builder.Failed)
    throw EJsonError(
        UTF8Decode(Where(Text, Source, Builder.ErrorOffset) +
                   (Builder.ErrorMessage.empty() ? "invalid JSON" : Builder.ErrorMessage)));
  return std::move(Builder.Root);
}

class TPaletteReader {
public:
  TPaletteReader(std::string_view Text, std::string_view Source) : FText(Text), FSource(Source) {}

  std::vector<TPaletteCategory> Read() {
    using K = TNode::TKind;
    const TNode Doc = ParseTree(FText, FSource);
    Expect(Doc, K::Object, "the palette");
    for (size_t I = 0; I < Doc.Names.size(); ++I)
      if (Doc.Names[I] != "categories")
        Wrong(Doc.Items[I], "unknown member \"" + Doc.Names[I] + "\" (expected \"categories\")");
    const TNode* List = Doc.Find("categories");
    if (!List)
      Wrong(Doc, "the palette has no member \"categories\"");
    Expect(*List, K::Array, "\"categories\"");

    std::vector<TPaletteCategory> Result;
    for (const TNode& C : List->Items) {
      Expect(C, K::Object, "a category");
      TPaletteCategory Category;
      bool HasCaption = false;
      for (size_t I = 0; I < C.Names.size(); ++I) {
        const std::string& Name = C.Names[I];
        const TNode& V = C.Items[I];
        if (Name == "caption") {
          Category.Caption = Text(Expect(V, K::String, "\"caption\""));
          // A caption becomes a menu item's caption and a registry value's name, which can
          // hold no NUL: refused here rather than at every later opening of a menu.
          if (Category.Caption.find(u'\0') != UnicodeString::npos)
            WrongAt(NulEscape(V), "a caption must not contain the character NUL (\\u0000)");
          HasCaption = true;
        } else if (Name == "collapsed") {
          Category.Collapsed = Expect(V, K::Boolean, "\"collapsed\"").Boolean;
        } else if (Name == "components") {
          for (const TNode& Item : Expect(V, K::Array, "\"components\"").Items)
            Category.Components.push_back(Text(Expect(Item, K::String, "a component")));
        } else {
          Wrong(V, "unknown member \"" + Name +
                       "\" in a category (expected \"caption\", \"collapsed\" or \"components\")");
        }
      }
      if (!HasCaption)
        Wrong(C, "a category has no \"caption\"");
      Result.push_back(std::move(Category));
    }
    return Result;
  }

private:
  std::string_view FText;
  std::string_view FSource;

  [[noreturn]] void Wrong(const TNode& At, const std::string& What) const {
    WrongAt(At.Offset, What);
  }
  [[noreturn]] void WrongAt(size_t Offset, const std::string& What) const {
    throw EJsonError(UTF8Decode(Where(FText, FSource, Offset) + What));
  }

  // The offset of the first escape in the string V that stands for NUL (the text cannot hold
  // a NUL byte itself), or V's own offset when there is none.
  size_t NulEscape(const TNode& V) const {
    for (size_t I = V.Offset + 1; I < FText.size() && FText[I] != '"'; ++I) {
      if (FText[I] != '\\')
        continue;
      if (FText.substr(I + 1, 5) == "u0000")
        return I;
      ++I; // the escaped character, which may be a quote
    }
    return V.Offset;
  }

  const TNode& Expect(const TNode& V, TNode::TKind Kind, const std::string& What) const {
    if (V.Kind != Kind)
      Wrong(V, What + " must be " + KindName(Kind) + ", not " + KindName(V.Kind));
    return V;
  }

  UnicodeString Text(const TNode& V) const {
    UnicodeString Out;
    if (TryUTF8Decode(V.String, Out) != UTFWellFormed)
      Wrong(V, "the string is not valid UTF-8");
    return Out;
  }
};

} // namespace

std::vector<TPaletteCategory> ParsePalette(std::string_view Text, std::string_view Source) {
  return TPaletteReader(Text, Source).Read();
}

std::vector<TPaletteCategory> ReadPaletteFile(const std::string& Path) {
  std::error_code Ignored;
  if (std::filesystem::is_directory(Path, Ignored))
    throw EPaletteFileError(UTF8Decode("Cannot read palette file " + Path + ": it is a folder"));
  std::ifstream In(Path, std::ios::binary);
  if (!In)
    throw EPaletteFileError(
        UTF8Decode("Cannot read palette file " + Path + ": " + std::strerror(errno)));
  std::string Text((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (In.bad())
    throw EPaletteFileError(UTF8Decode("Cannot read palette file " + Path));
  return ParsePalette(Text, Path);
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
