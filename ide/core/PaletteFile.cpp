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

// Reads the palette's own shape in one pass over the bytes, straight into the categories:
// names written plainly and each at most once, strings of well-formed UTF-8 and the usual
// escapes, booleans, and whitespace. It gives up on anything else (any error, any other value,
// an escaped name, a NUL) without saying why; the full reader then reads the text and names the
// fault. What it accepts the full reader accepts too, with the same result.
class TQuickReader {
public:
  explicit TQuickReader(std::string_view Text)
      : FAt(Text.data()), FEnd(Text.data() + Text.size()) {}

  bool Read(std::vector<TPaletteCategory>& Out) {
    if (FEnd - FAt >= 3 && std::string_view(FAt, 3) == "\xEF\xBB\xBF")
      FAt += 3;
    if (!Take('{') || !Name("\"categories\"") || !Take(':') || !Take('['))
      return false;
    if (!Take(']')) {
      do {
        if (!Category(Out.emplace_back()))
          return false;
      } while (Take(','));
      if (!Take(']'))
        return false;
    }
    if (!Take('}'))
      return false;
    Space();
    return FAt == FEnd;
  }

private:
  const char* FAt;
  const char* FEnd;
  std::vector<UnicodeString> FComponents;

  void Space() {
    if (FAt != FEnd && (static_cast<unsigned char>(*FAt) > ' '))
      return; // the common case: no whitespace at all
    while (FAt < FEnd && (*FAt == ' ' || *FAt == '\n' || *FAt == '\r' || *FAt == '\t'))
      ++FAt;
  }
  bool Take(char C) {
    Space();
    if (FAt == FEnd || *FAt != C)
      return false;
    ++FAt;
    return true;
  }

  bool Category(TPaletteCategory& C) {
    enum { Caption = 1, Collapsed = 2, Components = 4 };
    int Seen = 0;
    if (!Take('{'))
      return false;
    do {
      int Member;
      if (Name("\"caption\"")) {
        Member = Caption;
        if (!Take(':') || !String(C.Caption))
          return false;
      } else if (Name("\"collapsed\"")) {
        Member = Collapsed;
        if (!Take(':') || !Boolean(C.Collapsed))
          return false;
      } else if (Name("\"components\"")) {
        Member = Components;
        if (!Take(':') || !Take('['))
          return false;
        if (!Take(']')) {
          // Read into strings kept from one list to the next, then moved into a vector of
          // the list's size: one allocation per list, not one per growth.
          size_t Count = 0;
          do {
            if (Count == FComponents.size())
              FComponents.emplace_back();
            if (!String(FComponents[Count++]))
              return false;
          } while (Take(','));
          if (!Take(']'))
            return false;
          C.Components.assign(std::make_move_iterator(FComponents.begin()),
                              std::make_move_iterator(FComponents.begin() + Count));
        }
      } else {
        return false;
      }
      if (Seen & Member)
        return false;
      Seen |= Member;
    } while (Take(','));
    return (Seen & Caption) && Take('}');
  }

  // The member name Name, quotes included, written as it is (an escaped name is left to the
  // full reader).
  bool Name(std::string_view Quoted) {
    Space();
    if (static_cast<size_t>(FEnd - FAt) < Quoted.size() ||
        std::string_view(FAt, Quoted.size()) != Quoted)
      return false;
    FAt += Quoted.size();
    return true;
  }

  bool Boolean(bool& B) {
    Space();
    if (FEnd - FAt >= 4 && std::string_view(FAt, 4) == "true") {
      FAt += 4;
      B = true;
      return true;
    }
    if (FEnd - FAt >= 5 && std::string_view(FAt, 5) == "false") {
      FAt += 5;
      B = false;
      return true;
    }
    return false;
  }

  // Four hexadecimal digits after "\u".
  bool Hex4(char16_t& Unit) {
    if (FEnd - FAt < 4)
      return false;
    unsigned Value = 0;
    for (int I = 0; I < 4; ++I) {
      const char C = *FAt++;
      unsigned Digit;
      if (C >= '0' && C <= '9')
        Digit = static_cast<unsigned>(C - '0');
      else if (C >= 'a' && C <= 'f')
        Digit = static_cast<unsigned>(C - 'a' + 10);
      else if (C >= 'A' && C <= 'F')
        Digit = static_cast<unsigned>(C - 'A' + 10);
      else
        return false;
      Value = Value * 16 + Digit;
    }
    Unit = static_cast<char16_t>(Value);
    return true;
  }

  // Whether the byte at FAt is a continuation byte in [Low, High].
  bool Continuation(unsigned char Low = 0x80, unsigned char High = 0xBF) {
    if (FAt == FEnd)
      return false;
    const auto C = static_cast<unsigned char>(*FAt);
    if (C < Low || C > High)
      return false;
    ++FAt;
    return true;
  }

  // A string value, decoded into UTF-16. Only well-formed UTF-8 (no overlong form, no encoded
  // surrogate, nothing above U+10FFFF) and escapes of paired surrogates pass; \u0000 does not.
  bool String(UnicodeString& Out) {
    if (!Take('"'))
      return false;
    Out.clear();
    for (;;) {
      const char* Run = FAt;
      while (FAt < FEnd) {
        const auto C = static_cast<unsigned char>(*FAt);
        if (C < 0x20 || C == '"' || C == '\\' || C >= 0x80)
          break;
        ++FAt;
      }
      // (append(Run, FAt) would build a temporary string of the run first.)
      const size_t Old = Out.size();
      Out.resize(Old + static_cast<size_t>(FAt - Run));
      for (char16_t* To = Out.data() + Old; Run < FAt; ++Run, ++To)
        *To = static_cast<char16_t>(*Run);
      if (FAt == FEnd)
        return false;
      const auto Lead = static_cast<unsigned char>(*FAt++);
      if (Lead == '"')
        return true;
      if (Lead == '\\') {
        if (!Escape(Out))
          return false;
        continue;
      }
      if (Lead < 0x20)
        return false;
      const char* Sequence = FAt - 1;
      char32_t Code;
      if (Lead >= 0xC2 && Lead <= 0xDF) {
        if (!Continuation())
          return false;
        Code = Lead & 0x1Fu;
      } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        const unsigned char Low = Lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char High = Lead == 0xED ? 0x9F : 0xBF;
        if (!Continuation(Low, High) || !Continuation())
          return false;
        Code = Lead & 0x0Fu;
      } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        const unsigned char Low = Lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char High = Lead == 0xF4 ? 0x8F : 0xBF;
        if (!Continuation(Low, High) || !Continuation() || !Continuation())
          return false;
        Code = Lead & 0x07u;
      } else {
        return false;
      }
      for (const char* B = Sequence + 1; B < FAt; ++B)
        Code = (Code << 6) | (static_cast<unsigned char>(*B) & 0x3Fu);
      if (Code >= 0x10000) {
        Code -= 0x10000;
        Out += static_cast<char16_t>(0xD800 + (Code >> 10));
        Out += static_cast<char16_t>(0xDC00 + (Code & 0x3FF));
      } else {
        Out += static_cast<char16_t>(Code);
      }
    }
  }

  // The escape after a backslash.
  bool Escape(UnicodeString& Out) {
    if (FAt == FEnd)
      return false;
    switch (*FAt++) {
    case '"':
      Out += u'"';
      return true;
    case '\\':
      Out += u'\\';
      return true;
    case '/':
      Out += u'/';
      return true;
    case 'b':
      Out += u'\b';
      return true;
    case 'f':
      Out += u'\f';
      return true;
    case 'n':
      Out += u'\n';
      return true;
    case 'r':
      Out += u'\r';
      return true;
    case 't':
      Out += u'\t';
      return true;
    case 'u':
      break;
    default:
      return false;
    }
    char16_t Unit;
    if (!Hex4(Unit) || Unit == 0 || (Unit >= 0xDC00 && Unit <= 0xDFFF))
      return false;
    if (Unit >= 0xD800 && Unit <= 0xDBFF) {
      char16_t Trail;
      if (FEnd - FAt < 2 || FAt[0] != '\\' || FAt[1] != 'u')
        return false;
      FAt += 2;
      if (!Hex4(Trail) || Trail < 0xDC00 || Trail > 0xDFFF)
        return false;
      Out += Unit;
      Out += Trail;
      return true;
    }
    Out += Unit;
    return true;
  }
};

} // namespace

bool ParsePaletteQuickly(std::string_view Text, std::vector<TPaletteCategory>& Out) {
  Out.clear();
  if (TQuickReader(Text).Read(Out))
    return true;
  Out.clear();
  return false;
}

std::vector<TPaletteCategory> ParsePaletteFully(std::string_view Text, std::string_view Source) {
  return TPaletteReader(Text, Source).Read();
}

std::vector<TPaletteCategory> ParsePalette(std::string_view Text, std::string_view Source) {
  std::vector<TPaletteCategory> Result;
  if (ParsePaletteQuickly(Text, Result))
    return Result;
  return ParsePaletteFully(Text, Source);
}

std::vector<TPaletteCategory> ReadPaletteFile(const std::string& Path) {
  std::error_code Ignored;
  if (std::filesystem::is_directory(Path, Ignored))
    throw EPaletteFileError(UTF8Decode("Cannot read palette file " + Path + ": it is a folder"));
  std::ifstream In(Path, std::ios::binary);
  if (!In)
    throw EPaletteFileError(
        UTF8Decode("Cannot read palette file " + Path + ": " + std::strerror(errno)));
  // Read in large blocks into a string of the file's size, rather than through a string stream
  // that grows and is then copied.
  std::string Text;
  const auto Size = std::filesystem::file_size(Path, Ignored);
  if (!Ignored)
    Text.reserve(static_cast<size_t>(Size));
  char Block[1 << 16];
  while (In.read(Block, sizeof Block) || In.gcount() > 0)
    Text.append(Block, static_cast<size_t>(In.gcount()));
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
