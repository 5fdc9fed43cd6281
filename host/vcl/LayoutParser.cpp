// The syntax layer of the layout reader: text to an object tree, with no class or property
// looked up.
#include "vcl/LayoutReader.h"

#include "vcl/LayoutReader_p.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {

using detail::LayoutErrorPrefix;

UnicodeString Ascii(std::string_view S) {
  return UnicodeString(S.begin(), S.end());
}

// Appends one code point as UTF-16.
void AppendCodePoint(UnicodeString& Out, char32_t C) {
  if (C < 0x10000) {
    Out.push_back(static_cast<char16_t>(C));
  } else {
    C -= 0x10000;
    Out.push_back(static_cast<char16_t>(0xD800 + (C >> 10)));
    Out.push_back(static_cast<char16_t>(0xDC00 + (C & 0x3FF)));
  }
}

bool IsIdentStart(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}
bool IsIdentChar(char C) {
  return IsIdentStart(C) || (C >= '0' && C <= '9');
}
bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}
bool IsHexDigit(char C) {
  return IsDigit(C) || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
}
int HexValue(char C) {
  return IsDigit(C) ? C - '0' : (C | 0x20) - 'a' + 10;
}
bool SameWord(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return (X | 0x20) == (Y | 0x20) && IsIdentChar(X);
         });
}

class TLayoutParser {
public:
  TLayoutParser(std::string_view Text, std::u16string_view Source) : S(Text), FSource(Source) {
    if (S.substr(0, 3) == "\xEF\xBB\xBF")
      P = 3;
  }

  TLayoutObject ParseRoot() {
    SkipBlanks();
    if (AtEnd())
      Fail(u"the layout is empty");
    TLayoutObject Root = ParseObject();
    SkipBlanks();
    if (!AtEnd())
      Fail(u"end of layout expected but " + Found() + u" found");
    return Root;
  }

private:
  std::string_view S;
  size_t P = 0;
  int Line = 1;
  int Depth = 0; // objects, lists and collections open around the current place
  std::u16string_view FSource;

  [[noreturn]] void Fail(const UnicodeString& Msg) { Fail(Line, Msg); }
  [[noreturn]] void Fail(int AtLine, const UnicodeString& Msg) {
    throw EReadError(LayoutErrorPrefix(FSource, AtLine) + Msg);
  }

  bool AtEnd() const { return P >= S.size(); }
  // The column (from 1, in characters) of the byte at Offset, within its line.
  int Column(size_t Offset) const {
    size_t Start = Offset;
    while (Start > 0 && S[Start - 1] != '\n' && S[Start - 1] != '\r')
      --Start;
    if (Start == 0 && S.substr(0, 3) == "\xEF\xBB\xBF")
      Start = 3;
    int Result = 1;
    for (size_t I = Start; I < Offset; ++I)
      if ((static_cast<unsigned char>(S[I]) & 0xC0) != 0x80)
        ++Result;
    return Result;
  }
  char Peek(size_t Ahead = 0) const { return P + Ahead < S.size() ? S[P + Ahead] : '\0'; }

  // Blanks, tabs and line ends (CR LF, LF or CR alone each end one line).
  void SkipBlanks() {
    while (!AtEnd()) {
      const char C = S[P];
      if (C == '\n') {
        ++Line;
      } else if (C == '\r') {
        if (Peek(1) != '\n')
          ++Line;
      } else if (C != ' ' && C != '\t' && C != '\f' && C != '\v') {
        return;
      }
      ++P;
    }
  }

  // A description of what stands at the current place, for messages.
  UnicodeString Found() const {
    if (AtEnd())
      return u"end of layout";
    if (IsIdentStart(S[P])) {
      size_t E = P;
      while (E < S.size() && (IsIdentChar(S[E]) || S[E] == '.'))
        ++E;
      return u"'" + Ascii(S.substr(P, E - P)) + u"'";
    }
    const auto C = static_cast<unsigned char>(S[P]);
    if (C < 0x20 || C >= 0x7F)
      return u"character #" + IntToStr(C);
    return u"'" + UnicodeString(1, static_cast<char16_t>(C)) + u"'";
  }

  void Expect(char C) {
    SkipBlanks();
    if (Peek() != C || AtEnd())
      Fail(u"'" + UnicodeString(1, static_cast<char16_t>(C)) + u"' expected but " + Found() +
           u" found");
    ++P;
  }

  // An identifier; with Dotted, "A.B.C" is one.
  std::string_view Ident(bool Dotted, const char16_t* What) {
    SkipBlanks();
    if (!IsIdentStart(Peek()))
      Fail(UnicodeString(What) + u" expected but " + Found() + u" found");
    const size_t Start = P;
    while (!AtEnd() && IsIdentChar(S[P]))
      ++P;
    while (Dotted && Peek() == '.' && IsIdentStart(Peek(1))) {
      ++P;
      while (!AtEnd() && IsIdentChar(S[P]))
        ++P;
    }
    return S.substr(Start, P - Start);
  }

  // The identifier at the current place, without moving.
  std::string_view PeekWord() {
    SkipBlanks();
    size_t E = P;
    while (E < S.size() && IsIdentChar(S[E]))
      ++E;
    return IsIdentStart(Peek()) ? S.substr(P, E - P) : std::string_view();
  }

  int64_t IntegerLiteral(std::string_view Digits, int Base, bool Negative, int AtLine) {
    uint64_t Magnitude = 0;
    auto [End, Err] =
        std::from_chars(Digits.data(), Digits.data() + Digits.size(), Magnitude, Base);
    const uint64_t Limit = Negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (Err != std::errc() || End != Digits.data() + Digits.size() || Magnitude > Limit)
      Fail(AtLine, u"integer " + Ascii(Digits) + u" is out of range");
    return Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
  }

  // Counts one level of nesting while it lives; a text nested deeper than any layout is refused
  // before it can exhaust the stack.
  struct TNesting {
    TLayoutParser& P;
    explicit TNesting(TLayoutParser& AP) : P(AP) {
      if (P.Depth == MaxDepth)
        P.Fail(u"objects and values are nested more than " + IntToStr(MaxDepth) + u" deep");
      ++P.Depth;
    }
    ~TNesting() { --P.Depth; }
  };
  static constexpr int MaxDepth = 200;

  TLayoutObject ParseObject() {
    TNesting Nest(*this);
    TLayoutObject Obj;
    Obj.Line = Line;
    const std::string_view Keyword = Ident(false, u"'object'");
    if (SameWord(Keyword, "object"))
      Obj.Kind = TLayoutObject::loObject;
    else if (SameWord(Keyword, "inherited"))
      Obj.Kind = TLayoutObject::loInherited;
    else if (SameWord(Keyword, "inline"))
      Obj.Kind = TLayoutObject::loInline;
    else
      Fail(Obj.Line, u"'object' expected but '" + Ascii(Keyword) + u"' found");

    const std::string_view First = Ident(true, u"component name");
    SkipBlanks();
    if (Peek() == ':') {
      ++P;
      Obj.Name = Ascii(First);
      Obj.ClassName = Ascii(Ident(true, u"class name"));
    } else {
      Obj.ClassName = Ascii(First);
    }
    SkipBlanks();
    if (Peek() == '[') {
      ++P;
      SkipBlanks();
      const size_t Start = P;
      while (IsDigit(Peek()))
        ++P;
      if (P == Start)
        Fail(u"order index expected but " + Found() + u" found");
      Obj.Order = static_cast<int>(std::min<int64_t>(
          IntegerLiteral(S.substr(Start, P - Start), 10, false, Line), INT32_MAX));
      Expect(']');
    }

    bool InChildren = false;
    while (true) {
      SkipBlanks();
      if (AtEnd())
        Fail(u"'end' of " + (Obj.Name.empty() ? Obj.ClassName : Obj.Name) + u" (line " +
             IntToStr(Obj.Line) + u") expected but end of layout found");
      const std::string_view Word = PeekWord();
      if (SameWord(Word, "end")) {
        P += Word.size();
        return Obj;
      }
      if (SameWord(Word, "object") || SameWord(Word, "inherited") || SameWord(Word, "inline")) {
        InChildren = true;
        Obj.Children.push_back(ParseObject());
        continue;
      }
      if (InChildren)
        Fail(u"'end' or a child object expected but " + Found() + u" found");
      Obj.Properties.push_back(ParseProperty());
    }
  }

  TLayoutProperty ParseProperty() {
    TLayoutProperty Prop;
    SkipBlanks();
    Prop.Line = Line;
    Prop.Name = Ascii(Ident(true, u"property name"));
    Expect('=');
    Prop.Value = ParseValue();
    return Prop;
  }

  TLayoutValue ParseValue() {
    TNesting Nest(*this);
    SkipBlanks();
    TLayoutValue V;
    V.Line = Line;
    const char C = Peek();
    if (AtEnd())
      Fail(u"value expected but end of layout found");
    if (C == '\'' || C == '#') {
      V.Kind = TLayoutValue::lvString;
      V.Text = StringValue();
    } else if (C == '-' || C == '+' || C == '$' || IsDigit(C)) {
      NumberValue(V);
    } else if (C == '[') {
      SetValue(V);
    } else if (C == '(') {
      ++P;
      V.Kind = TLayoutValue::lvList;
      while (true) {
        SkipBlanks();
        if (Peek() == ')' && !AtEnd()) {
          ++P;
          break;
        }
        if (AtEnd())
          Fail(V.Line, u"')' expected: the list is not closed");
        V.Items.push_back(ParseValue());
      }
    } else if (C == '<') {
      CollectionValue(V);
    } else if (C == '{') {
      BinaryValue(V);
    } else if (IsIdentStart(C)) {
      V.Kind = TLayoutValue::lvIdent;
      V.Text = Ascii(Ident(true, u"value"));
    } else {
      Fail(u"value expected but " + Found() + u" found");
    }
    return V;
  }

  // Quoted parts and #nnn characters, written together; '+' joins such runs across blanks and
  // lines.
  UnicodeString StringValue() {
    UnicodeString Out;
    while (true) {
      while (Peek() == '\'' || Peek() == '#') {
        if (AtEnd())
          break;
        if (Peek() == '\'') {
          const int StartLine = Line;
          const size_t First = ++P;
          while (true) {
            if (AtEnd() || Peek() == '\n' || Peek() == '\r')
              Fail(StartLine, u"unterminated string");
            if (Peek() == '\'') {
              if (Peek(1) != '\'')
                break;
              ++P;
            }
            ++P;
          }
          // Decoded as written, then the doubled quotes undone: both are ASCII, so an
          // ill-formed sequence is found at its place in the line.
          UnicodeString Part;
          const size_t Bad = TryUTF8Decode(S.substr(First, P - First), Part);
          if (Bad != UTFWellFormed)
            Fail(StartLine, u"the string is not valid UTF-8 (at column " +
                                IntToStr(static_cast<long long>(Column(First + Bad))) + u")");
          ++P;
          for (size_t I = 0; I < Part.size(); ++I) {
            Out.push_back(Part[I]);
            if (Part[I] == u'\'')
              ++I;
          }
        } else {
          ++P;
          const bool Hex = Peek() == '$';
          if (Hex)
            ++P;
          const size_t Start = P;
          while (Hex ? IsHexDigit(Peek()) : IsDigit(Peek()))
            ++P;
          if (P == Start)
            Fail(u"character code expected after '#'");
          const int64_t Code =
              IntegerLiteral(S.substr(Start, P - Start), Hex ? 16 : 10, false, Line);
          // A code unit (characters beyond U+FFFF come as two, a surrogate pair) or a whole
          // code point.
          if (Code > 0x10FFFF)
            Fail(u"character code " + IntToStr(Code) + u" is out of range");
          if (Code <= 0xFFFF)
            Out.push_back(static_cast<char16_t>(Code));
          else
            AppendCodePoint(Out, static_cast<char32_t>(Code));
        }
      }
      // A '+' continues the string with the next quoted part.
      const size_t SaveP = P;
      const int SaveLine = Line;
      SkipBlanks();
      if (Peek() != '+' || AtEnd()) {
        P = SaveP;
        Line = SaveLine;
        return Out;
      }
      ++P;
      SkipBlanks();
      if (Peek() != '\'' && Peek() != '#')
        Fail(u"string expected after '+' but " + Found() + u" found");
    }
  }

  void NumberValue(TLayoutValue& V) {
    const size_t Start = P;
    bool Negative = false;
    if (Peek() == '-' || Peek() == '+') {
      Negative = Peek() == '-';
      ++P;
    }
    if (Peek() == '$') {
      ++P;
      const size_t Digits = P;
      while (IsHexDigit(Peek()))
        ++P;
      if (P == Digits)
        Fail(u"hexadecimal digits expected after '$'");
      V.Kind = TLayoutValue::lvInteger;
      V.Integer = IntegerLiteral(S.substr(Digits, P - Digits), 16, Negative, V.Line);
    } else {
      const size_t Digits = P;
      while (IsDigit(Peek()))
        ++P;
      if (P == Digits)
        Fail(u"number expected but " + Found() + u" found");
      bool Float = false;
      if (Peek() == '.' && IsDigit(Peek(1))) {
        Float = true;
        ++P;
        while (IsDigit(Peek()))
          ++P;
      }
      if ((Peek() == 'e' || Peek() == 'E') &&
          (IsDigit(Peek(1)) || ((Peek(1) == '-' || Peek(1) == '+') && IsDigit(Peek(2))))) {
        Float = true;
        P += 2;
        while (IsDigit(Peek()))
          ++P;
      }
      if (Float) {
        const char* First = S.data() + Start + (S[Start] == '+' ? 1 : 0);
        double D = 0;
        auto [End, Err] = std::from_chars(First, S.data() + P, D);
        if (Err != std::errc() || End != S.data() + P)
          Fail(u"number " + Ascii(S.substr(Start, P - Start)) + u" is out of range");
        V.Kind = TLayoutValue::lvFloat;
        V.Float = D;
        // Type suffixes of single, date and currency values.
        if (std::string_view("sdcSDC").find(Peek()) != std::string_view::npos && !AtEnd() &&
            !IsIdentChar(Peek(1)))
          ++P;
      } else {
        V.Kind = TLayoutValue::lvInteger;
        V.Integer = IntegerLiteral(S.substr(Digits, P - Digits), 10, Negative, V.Line);
      }
    }
    if (IsIdentChar(Peek()) || Peek() == '.')
      Fail(u"invalid number " + Ascii(S.substr(Start, P - Start + 1)));
  }

  void SetValue(TLayoutValue& V) {
    V.Kind = TLayoutValue::lvSet;
    ++P;
    SkipBlanks();
    if (Peek() == ']') {
      ++P;
      return;
    }
    while (true) {
      SkipBlanks();
      if (IsDigit(Peek())) {
        const size_t Start = P;
        while (IsDigit(Peek()))
          ++P;
        V.Elements.push_back(Ascii(S.substr(Start, P - Start)));
      } else {
        V.Elements.push_back(Ascii(Ident(false, u"set element")));
      }
      SkipBlanks();
      if (Peek() == ']' && !AtEnd()) {
        ++P;
        return;
      }
      if (Peek() != ',' || AtEnd())
        Fail(u"',' or ']' expected but " + Found() + u" found");
      ++P;
    }
  }

  void CollectionValue(TLayoutValue& V) {
    V.Kind = TLayoutValue::lvCollection;
    ++P;
    while (true) {
      SkipBlanks();
      if (Peek() == '>' && !AtEnd()) {
        ++P;
        return;
      }
      if (AtEnd())
        Fail(V.Line, u"'>' expected: the collection is not closed");
      if (Peek() == '[') { // an item's order index
        ++P;
        SkipBlanks();
        while (IsDigit(Peek()))
          ++P;
        Expect(']');
        SkipBlanks();
      }
      TLayoutItem Item;
      Item.Line = Line;
      if (!SameWord(PeekWord(), "item"))
        Fail(u"'item' or '>' expected but " + Found() + u" found");
      P += 4;
      while (true) {
        SkipBlanks();
        if (AtEnd())
          Fail(Item.Line, u"'end' of the collection item expected but end of layout found");
        const std::string_view Word = PeekWord();
        if (SameWord(Word, "end")) {
          P += Word.size();
          break;
        }
        Item.Properties.push_back(ParseProperty());
      }
      V.Collection.push_back(std::move(Item));
    }
  }

  void BinaryValue(TLayoutValue& V) {
    V.Kind = TLayoutValue::lvBinary;
    ++P;
    int High = -1;
    while (true) {
      SkipBlanks();
      if (AtEnd())
        Fail(V.Line, u"'}' expected: the binary block is not closed");
      const char C = S[P];
      if (C == '}') {
        ++P;
        break;
      }
      if (!IsHexDigit(C))
        Fail(u"hexadecimal digit expected in binary block but " + Found() + u" found");
      ++P;
      if (High < 0) {
        High = HexValue(C);
      } else {
        V.Bytes.push_back(static_cast<uint8_t>(High * 16 + HexValue(C)));
        High = -1;
      }
    }
    if (High >= 0)
      Fail(V.Line, u"the binary block has an odd number of hexadecimal digits");
  }
};

} // namespace

TLayoutObject ParseLayout(std::string_view Text, std::u16string_view Source) {
  return TLayoutParser(Text, Source).ParseRoot();
}
