#include "Json.h"

#include "rtl/UnicodeString.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

constexpr int MaxDepth = 256;

class TJsonReader {
public:
  TJsonReader(std::string_view Text, std::string_view Source) : FText(Text), FSource(Source) {
    if (FText.substr(0, 3) == "\xEF\xBB\xBF")
      FPos = 3;
  }

  TJsonValue Document() {
    SkipBlanks();
    TJsonValue V = Value(0);
    SkipBlanks();
    if (FPos < FText.size())
      Fail("unexpected " + Describe() + " after the end of the document");
    return V;
  }

private:
  [[noreturn]] void Fail(const std::string& Message) const { FailAt(FLine, FColumn, Message); }
  [[noreturn]] void FailAt(int Line, int Column, const std::string& Message) const {
    throw EJsonError(UTF8Decode(std::string(FSource) + ":" + std::to_string(Line) + ":" +
                                std::to_string(Column) + ": " + Message));
  }

  bool AtEnd() const { return FPos >= FText.size(); }
  char Peek() const { return FText[FPos]; }

  // What stands at the current position, for messages.
  std::string Describe() const {
    if (AtEnd())
      return "end of input";
    const unsigned char C = static_cast<unsigned char>(Peek());
    if (C < 0x20 || C >= 0x7F)
      return "character " + Hex(C);
    return std::string("'") + static_cast<char>(C) + "'";
  }
  static std::string Hex(unsigned V) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string S = "0x";
    S += Digits[(V >> 4) & 0xF];
    S += Digits[V & 0xF];
    return S;
  }

  // Advances over one byte of the current line; a UTF-8 continuation byte is not a column.
  void Advance() {
    const unsigned char C = static_cast<unsigned char>(FText[FPos++]);
    if (C == '\n') {
      ++FLine;
      FColumn = 1;
    } else if ((C & 0xC0) != 0x80) {
      ++FColumn;
    }
  }

  void SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
      Advance();
  }

  void Expect(char C, const char* What) {
    if (AtEnd() || Peek() != C)
      Fail(std::string("expected ") + What + ", found " + Describe());
    Advance();
  }

  TJsonValue Value(int Depth) {
    if (Depth > MaxDepth)
      Fail("nesting deeper than " + std::to_string(MaxDepth) + " levels");
    TJsonValue V;
    V.Line = FLine;
    V.Column = FColumn;
    if (AtEnd())
      Fail("expected a value, found end of input");
    switch (Peek()) {
    case '{':
      Object(V, Depth);
      break;
    case '[':
      Array(V, Depth);
      break;
    case '"':
      V.Kind = TJsonValue::TKind::String;
      V.String = String();
      break;
    case 't':
      Word("true");
      V.Kind = TJsonValue::TKind::Boolean;
      V.Boolean = true;
      break;
    case 'f':
      Word("false");
      V.Kind = TJsonValue::TKind::Boolean;
      break;
    case 'n':
      Word("null");
      break;
    default:
      if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) {
        V.Kind = TJsonValue::TKind::Number;
        V.Number = Number();
      } else {
        Fail("expected a value, found " + Describe());
      }
    }
    return V;
  }

  void Word(std::string_view W) {
    if (FText.substr(FPos, W.size()) != W)
      Fail("expected a value, found " + Describe());
    for (size_t I = 0; I < W.size(); ++I)
      Advance();
    if (!AtEnd() && ((Peek() >= 'a' && Peek() <= 'z') || (Peek() >= 'A' && Peek() <= 'Z')))
      Fail("unexpected " + Describe() + " after '" + std::string(W) + "'");
  }

  double Number() {
    const int Line = FLine, Column = FColumn;
    const size_t Start = FPos;
    auto Digits = [&] {
      size_t N = 0;
      while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
        Advance();
        ++N;
      }
      return N;
    };
    if (Peek() == '-')
      Advance();
    if (AtEnd() || Peek() < '0' || Peek() > '9')
      Fail("expected a digit, found " + Describe());
    if (Peek() == '0') {
      Advance();
      if (!AtEnd() && Peek() >= '0' && Peek() <= '9')
        FailAt(Line, Column, "a number may not start with a leading zero");
    } else {
      Digits();
    }
    if (!AtEnd() && Peek() == '.') {
      Advance();
      if (Digits() == 0)
        Fail("expected a digit after the decimal point, found " + Describe());
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      Advance();
      if (!AtEnd() && (Peek() == '+' || Peek() == '-'))
        Advance();
      if (Digits() == 0)
        Fail("expected a digit in the exponent, found " + Describe());
    }
    double Result = 0;
    const char* First = FText.data() + Start;
    const char* Last = FText.data() + FPos;
    auto [End, Error] = std::from_chars(First, Last, Result);
    if (Error != std::errc() || End != Last || !std::isfinite(Result))
      FailAt(Line, Column, "number out of range");
    return Result;
  }

  unsigned HexQuad() {
    unsigned V = 0;
    for (int I = 0; I < 4; ++I) {
      if (AtEnd())
        Fail("expected 4 hexadecimal digits after \\u, found end of input");
      const char C = Peek();
      unsigned D;
      if (C >= '0' && C <= '9')
        D = static_cast<unsigned>(C - '0');
      else if (C >= 'a' && C <= 'f')
        D = static_cast<unsigned>(C - 'a' + 10);
      else if (C >= 'A' && C <= 'F')
        D = static_cast<unsigned>(C - 'A' + 10);
      else
        Fail("expected 4 hexadecimal digits after \\u, found " + Describe());
      V = V * 16 + D;
      Advance();
    }
    return V;
  }

  static void AppendUTF8(std::string& S, uint32_t CP) {
    if (CP < 0x80) {
      S += static_cast<char>(CP);
    } else if (CP < 0x800) {
      S += static_cast<char>(0xC0 | (CP >> 6));
      S += static_cast<char>(0x80 | (CP & 0x3F));
    } else if (CP < 0x10000) {
      S += static_cast<char>(0xE0 | (CP >> 12));
      S += static_cast<char>(0x80 | ((CP >> 6) & 0x3F));
      S += static_cast<char>(0x80 | (CP & 0x3F));
    } else {
      S += static_cast<char>(0xF0 | (CP >> 18));
      S += static_cast<char>(0x80 | ((CP >> 12) & 0x3F));
      S += static_cast<char>(0x80 | ((CP >> 6) & 0x3F));
      S += static_cast<char>(0x80 | (CP & 0x3F));
    }
  }

  // Length of the well-formed UTF-8 sequence at the current position, or 0.
  size_t UTF8Length() const {
    auto B = [&](size_t I) -> unsigned {
      return FPos + I < FText.size() ? static_cast<unsigned char>(FText[FPos + I]) : 0u;
    };
    auto Cont = [&](size_t I) { return (B(I) & 0xC0) == 0x80; };
    const unsigned C = B(0);
    if (C < 0x80)
      return 1;
    if (C >= 0xC2 && C <= 0xDF)
      return Cont(1) ? 2 : 0;
    if (C >= 0xE0 && C <= 0xEF) {
      const unsigned Lo = C == 0xE0 ? 0xA0 : 0x80, Hi = C == 0xED ? 0x9F : 0xBF;
      return B(1) >= Lo && B(1) <= Hi && Cont(2) ? 3 : 0;
    }
    if (C >= 0xF0 && C <= 0xF4) {
      const unsigned Lo = C == 0xF0 ? 0x90 : 0x80, Hi = C == 0xF4 ? 0x8F : 0xBF;
      return B(1) >= Lo && B(1) <= Hi && Cont(2) && Cont(3) ? 4 : 0;
    }
    return 0;
  }

  std::string String() {
    const int Line = FLine, Column = FColumn;
    Advance(); // the opening quote
    std::string S;
    while (true) {
      if (AtEnd())
        FailAt(Line, Column, "string is not closed");
      const unsigned char C = static_cast<unsigned char>(Peek());
      if (C == '"') {
        Advance();
        return S;
      }
      if (C < 0x20)
        Fail("control character " + Hex(C) + " in a string (write it as an escape)");
      if (C == '\\') {
        Advance();
        if (AtEnd())
          FailAt(Line, Column, "string is not closed");
        const char E = Peek();
        const int EscLine = FLine, EscColumn = FColumn - 1;
        Advance();
        switch (E) {
        case '"':
          S += '"';
          break;
        case '\\':
          S += '\\';
          break;
        case '/':
          S += '/';
          break;
        case 'b':
          S += '\b';
          break;
        case 'f':
          S += '\f';
          break;
        case 'n':
          S += '\n';
          break;
        case 'r':
          S += '\r';
          break;
        case 't':
          S += '\t';
          break;
        case 'u': {
          uint32_t CP = HexQuad();
          if (CP >= 0xDC00 && CP <= 0xDFFF)
            FailAt(EscLine, EscColumn, "lone low surrogate in a \\u escape");
          if (CP >= 0xD800 && CP <= 0xDBFF) {
            if (FText.substr(FPos, 2) != "\\u")
              FailAt(EscLine, EscColumn, "high surrogate not followed by a low surrogate");
            Advance();
            Advance();
            const uint32_t Low = HexQuad();
            if (Low < 0xDC00 || Low > 0xDFFF)
              FailAt(EscLine, EscColumn, "high surrogate not followed by a low surrogate");
            CP = 0x10000 + ((CP - 0xD800) << 10) + (Low - 0xDC00);
          }
          AppendUTF8(S, CP);
          break;
        }
        default:
          FailAt(EscLine, EscColumn, std::string("invalid escape \\") + E);
        }
        continue;
      }
      const size_t N = UTF8Length();
      if (N == 0)
        Fail("invalid UTF-8 byte " + Hex(C));
      S.append(FText.substr(FPos, N));
      for (size_t I = 0; I < N; ++I)
        Advance();
    }
  }

  void Array(TJsonValue& V, int Depth) {
    V.Kind = TJsonValue::TKind::Array;
    Advance();
    SkipBlanks();
    if (!AtEnd() && Peek() == ']') {
      Advance();
      return;
    }
    while (true) {
      SkipBlanks();
      V.Items.push_back(Value(Depth + 1));
      SkipBlanks();
      if (!AtEnd() && Peek() == ',') {
        Advance();
        SkipBlanks();
        if (!AtEnd() && Peek() == ']')
          Fail("trailing comma before ']'");
        continue;
      }
      Expect(']', "',' or ']'");
      return;
    }
  }

  void Object(TJsonValue& V, int Depth) {
    V.Kind = TJsonValue::TKind::Object;
    Advance();
    SkipBlanks();
    if (!AtEnd() && Peek() == '}') {
      Advance();
      return;
    }
    while (true) {
      SkipBlanks();
      if (AtEnd() || Peek() != '"')
        Fail("expected a member name in double quotes, found " + Describe());
      const int NameLine = FLine, NameColumn = FColumn;
      std::string Name = String();
      if (V.Find(Name))
        FailAt(NameLine, NameColumn, "duplicate member \"" + Name + "\"");
      SkipBlanks();
      Expect(':', "':'");
      SkipBlanks();
      V.Members.emplace_back(std::move(Name), Value(Depth + 1));
      SkipBlanks();
      if (!AtEnd() && Peek() == ',') {
        Advance();
        SkipBlanks();
        if (!AtEnd() && Peek() == '}')
          Fail("trailing comma before '}'");
        continue;
      }
      Expect('}', "',' or '}'");
      return;
    }
  }

  std::string_view FText;
  std::string_view FSource;
  size_t FPos = 0;
  int FLine = 1;
  int FColumn = 1;
};

} // namespace

const TJsonValue* TJsonValue::Find(std::string_view Name) const {
  for (const auto& [N, V] : Members)
    if (N == Name)
      return &V;
  return nullptr;
}

const char* TJsonValue::KindName(TKind K) {
  switch (K) {
  case TKind::Null:
    return "null";
  case TKind::Boolean:
    return "a boolean";
  case TKind::Number:
    return "a number";
  case TKind::String:
    return "a string";
  case TKind::Array:
    return "an array";
  case TKind::Object:
    return "an object";
  }
  return "a value";
}

TJsonValue ParseJson(std::string_view Text, std::string_view Source) {
  return TJsonReader(Text, Source).Document();
}
