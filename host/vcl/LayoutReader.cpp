#include "vcl/LayoutReader.h"

#include "rtl/SysUtils.h"
#include "vcl/Controls.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {

UnicodeString Ascii(std::string_view S) {
  return UnicodeString(S.begin(), S.end());
}

UnicodeString Prefix(std::u16string_view Source, int Line) {
  return u"Error reading layout " + UnicodeString(Source) + u", line " + IntToStr(Line) + u": ";
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

// Strict UTF-8: false on a malformed, overlong or surrogate sequence.
bool DecodeUTF8(std::string_view S, UnicodeString& Out) {
  for (size_t I = 0; I < S.size();) {
    const auto B = static_cast<unsigned char>(S[I]);
    int Len;
    char32_t C;
    if (B < 0x80) {
      Len = 1;
      C = B;
    } else if ((B & 0xE0) == 0xC0) {
      Len = 2;
      C = B & 0x1F;
    } else if ((B & 0xF0) == 0xE0) {
      Len = 3;
      C = B & 0x0F;
    } else if ((B & 0xF8) == 0xF0) {
      Len = 4;
      C = B & 0x07;
    } else {
      return false;
    }
    if (I + static_cast<size_t>(Len) > S.size())
      return false;
    for (int K = 1; K < Len; ++K) {
      const auto N = static_cast<unsigned char>(S[I + static_cast<size_t>(K)]);
      if ((N & 0xC0) != 0x80)
        return false;
      C = (C << 6) | (N & 0x3F);
    }
    static constexpr char32_t Min[] = {0, 0, 0x80, 0x800, 0x10000};
    if (C < Min[Len] || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF))
      return false;
    AppendCodePoint(Out, C);
    I += static_cast<size_t>(Len);
  }
  return true;
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

// --- the syntax layer -------------------------------------------------------------------------

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
    throw EReadError(Prefix(FSource, AtLine) + Msg);
  }

  bool AtEnd() const { return P >= S.size(); }
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
          ++P;
          std::string Bytes;
          while (true) {
            if (AtEnd() || Peek() == '\n' || Peek() == '\r')
              Fail(StartLine, u"unterminated string");
            if (Peek() == '\'') {
              if (Peek(1) != '\'')
                break;
              ++P;
            }
            Bytes.push_back(S[P++]);
          }
          ++P;
          if (!DecodeUTF8(Bytes, Out))
            Fail(StartLine, u"the string is not valid UTF-8");
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

// --- applying a tree to components ------------------------------------------------------------

class TLayoutBuilder {
public:
  TLayoutBuilder(std::u16string_view Source, const TLayoutReaderEvents& Events)
      : FSource(Source), FEvents(Events) {}

  void ReadRoot(TComponent* Root, const TLayoutObject& L) {
    TLoading Guard(Root);
    Guarded(L.Line, [&] {
      if (!L.Name.empty())
        Root->SetName(UniqueName(Root, L.Name));
    });
    ReadObject(Root, L, Root);
  }

private:
  std::u16string_view FSource;
  const TLayoutReaderEvents& FEvents;

  // Keeps csLoading on a component while its part of the layout is read.
  struct TLoading {
    TComponent* C;
    bool Was;
    explicit TLoading(TComponent* AC) : C(AC), Was(AC->ComponentState() & csLoading) {
      C->SetLoading(true);
    }
    ~TLoading() { C->SetLoading(Was); }
  };

  [[noreturn]] void Fail(int Line, const UnicodeString& Msg) {
    throw EReadError(Prefix(FSource, Line) + Msg);
  }

  // Runs Step; a failure of the host without line (a setter refusing a value, a taken name)
  // becomes a failure of the layout at Line.
  template <class F> void Guarded(int Line, F&& Step) {
    try {
      Step();
    } catch (const EFilerError&) {
      throw;
    } catch (const Exception& E) {
      Fail(Line, E.Message());
    }
  }

  static UnicodeString UniqueName(TComponent* C, const UnicodeString& Base) {
    UnicodeString Name = Base;
    TComponent* Owner = C->Owner();
    for (int I = 1; Owner; ++I) {
      TComponent* Other = Owner->FindComponent(Name);
      if (!Other || Other == C)
        break;
      Name = Base + u"_" + IntToStr(I);
    }
    return Name;
  }

  void ReadObject(TComponent* Instance, const TLayoutObject& L, TComponent* LookupRoot) {
    const UnicodeString Path = Instance->Name().empty() ? Instance->ClassName() : Instance->Name();
    for (const TLayoutProperty& P : L.Properties)
      Skippable([&] { SetProperty(Instance, P, LookupRoot, Path); });
    for (const TLayoutObject& Child : L.Children)
      Skippable([&] { ReadChild(Instance, Child, LookupRoot); });
  }

  // Runs one property or child; its failure ends the reading unless OnError lets it pass.
  template <class F> void Skippable(F&& Step) {
    try {
      Step();
    } catch (const EReadError& E) {
      if (!FEvents.OnError || !FEvents.OnError(E))
        throw;
    }
  }

  void ReadChild(TComponent* Parent, const TLayoutObject& L, TComponent* LookupRoot) {
    const TClassInfo* Class = FindClass(L.ClassName);
    if (!Class)
      throw EClassNotFound(Prefix(FSource, L.Line) + u"class " + L.ClassName + u" not found");
    TComponent* C = nullptr;
    if (L.Kind == TLayoutObject::loInherited) {
      C = LookupRoot->FindComponent(L.Name);
      if (!C && !(FEvents.OnAncestorNotFound && FEvents.OnAncestorNotFound(L.Name)))
        Fail(L.Line, u"ancestor for '" + L.Name + u"' not found");
      if (C && !C->InheritsFrom(*Class))
        Fail(L.Line, L.Name + u" is a " + C->ClassName() + u", not a " + L.ClassName);
    }
    if (!C) {
      if (!Class->Factory)
        Fail(L.Line, u"class " + Class->ClassName() + u" cannot be created from a layout");
      C = Class->Factory(LookupRoot);
      // A frame reads its own stored layouts first, as its constructor would; the layout that
      // places it names it afterwards.
      if (L.Kind == TLayoutObject::loInline) {
        TLoading Guard(C);
        ReadComponentLayouts(C, FindHInstance(Class));
      }
      Guarded(L.Line, [&] {
        C->SetName(L.Name);
        if (auto* Control = dynamic_cast<TControl*>(C))
          if (auto* Container = dynamic_cast<TWinControl*>(Parent))
            Control->SetParent(Container);
      });
    }
    TLoading Guard(C);
    // Within a frame, names and methods are the frame's.
    ReadObject(C, L, L.Kind == TLayoutObject::loInline ? C : LookupRoot);
  }

  [[noreturn]] void BadValue(const TLayoutProperty& P, const TPropInfo& Info, const TObject& O,
                             const UnicodeString& Why) {
    Fail(P.Value.Line,
         u"invalid value for property " + Info.Name + u" of class " + O.ClassName() + u": " + Why);
  }

  static UnicodeString Describe(const TLayoutValue& V) {
    switch (V.Kind) {
    case TLayoutValue::lvInteger:
      return u"integer " + IntToStr(V.Integer);
    case TLayoutValue::lvFloat:
      return u"a number";
    case TLayoutValue::lvString:
      return u"a string";
    case TLayoutValue::lvIdent:
      return u"'" + V.Text + u"'";
    case TLayoutValue::lvSet:
      return u"a set";
    case TLayoutValue::lvList:
      return u"a list";
    case TLayoutValue::lvCollection:
      return u"a collection";
    case TLayoutValue::lvBinary:
      return u"binary data";
    }
    return u"a value";
  }

  void SetProperty(TObject* Instance, const TLayoutProperty& P, TComponent* LookupRoot,
                   const UnicodeString& Path) {
    // "Font.Name": walk through the sub-objects.
    TObject* Target = Instance;
    std::u16string_view Rest = P.Name;
    for (size_t Dot; (Dot = Rest.find(u'.')) != std::u16string_view::npos;) {
      const std::u16string_view Part = Rest.substr(0, Dot);
      const TPropInfo* Info = Target->ClassType().FindProp(Part);
      if (!Info)
        throw EUnknownProperty(Prefix(FSource, P.Line) + Path + u"." + P.Name + u": property " +
                               UnicodeString(Part) + u" does not exist in class " +
                               Target->ClassName());
      TObject* Sub = Info->GetObj ? Info->GetObj(*Target) : nullptr;
      if (!Sub)
        Fail(P.Line, Path + u"." + P.Name + u": property " + Info->Name + u" of class " +
                         Target->ClassName() + u" has no properties of its own");
      Target = Sub;
      Rest = Rest.substr(Dot + 1);
    }
    const TPropInfo* Info = Target->ClassType().FindProp(Rest);
    if (!Info)
      throw EUnknownProperty(Prefix(FSource, P.Line) + Path + u"." + P.Name + u": property " +
                             UnicodeString(Rest) + u" does not exist in class " +
                             Target->ClassName());
    Guarded(P.Line, [&] { Assign(*Target, *Info, P, LookupRoot); });
  }

  void Assign(TObject& Target, const TPropInfo& Info, const TLayoutProperty& P,
              TComponent* LookupRoot) {
    const TLayoutValue& V = P.Value;
    switch (Info.Kind) {
    case TTypeKind::tkInteger: {
      if (!Info.SetOrd)
        BadValue(P, Info, Target, u"the property is read-only");
      int64_t N = 0;
      if (V.Kind == TLayoutValue::lvInteger)
        N = V.Integer;
      else if (V.Kind != TLayoutValue::lvIdent || !Info.Enum || !Info.Enum->IdentToInt(V.Text, N))
        BadValue(P, Info, Target, Describe(V) + u" is not an integer");
      if (N < Info.MinValue || N > Info.MaxValue)
        BadValue(P, Info, Target, IntToStr(N) + u" is out of range");
      Info.SetOrd(Target, N);
      return;
    }
    case TTypeKind::tkEnumeration: {
      const int Index =
          V.Kind == TLayoutValue::lvIdent && Info.Enum ? Info.Enum->IndexOf(V.Text) : -1;
      if (Index < 0 || !Info.SetOrd)
        BadValue(P, Info, Target, Describe(V) + u" is not one of its values");
      Info.SetOrd(Target, Index);
      return;
    }
    case TTypeKind::tkSet: {
      if (V.Kind != TLayoutValue::lvSet || !Info.Enum || !Info.SetOrd)
        BadValue(P, Info, Target, Describe(V) + u" is not a set");
      int64_t Bits = 0;
      for (const UnicodeString& E : V.Elements) {
        const int Index = Info.Enum->IndexOf(E);
        if (Index < 0 || Index >= 63)
          BadValue(P, Info, Target, u"'" + E + u"' is not one of its elements");
        Bits |= int64_t(1) << Index;
      }
      Info.SetOrd(Target, Bits);
      return;
    }
    case TTypeKind::tkFloat:
      if (!Info.SetFloat || (V.Kind != TLayoutValue::lvFloat && V.Kind != TLayoutValue::lvInteger))
        BadValue(P, Info, Target, Describe(V) + u" is not a number");
      Info.SetFloat(Target,
                    V.Kind == TLayoutValue::lvFloat ? V.Float : static_cast<double>(V.Integer));
      return;
    case TTypeKind::tkUString:
      if (V.Kind != TLayoutValue::lvString || !Info.SetStr)
        BadValue(P, Info, Target, Describe(V) + u" is not a string");
      Info.SetStr(Target, V.Text);
      return;
    case TTypeKind::tkMethod:
      if (V.Kind != TLayoutValue::lvIdent)
        BadValue(P, Info, Target, Describe(V) + u" is not a method name");
      if (!LookupRoot->ClassType().FindMethod(V.Text) && FEvents.OnMethodNotFound &&
          FEvents.OnMethodNotFound(V.Text))
        return;
      SetMethodProp(&Target, Info.Name, LookupRoot, V.Text);
      return;
    case TTypeKind::tkClass:
      BadValue(P, Info, Target, u"an object property takes no value; set its properties instead");
    }
  }
};

} // namespace

TLayoutObject ParseLayout(std::string_view Text, std::u16string_view Source) {
  return TLayoutParser(Text, Source).ParseRoot();
}

void ReadLayout(TComponent* Root, const TLayoutObject& Layout, std::u16string_view Source,
                const TLayoutReaderEvents& Events) {
  TLayoutBuilder(Source, Events).ReadRoot(Root, Layout);
}

void ReadComponentLayouts(TComponent* Instance, HINSTANCE Module) {
  // Frames placed in frames read their own layouts from here again; a layout that places its
  // own class would never end.
  static thread_local int Nesting = 0;
  constexpr int MaxNesting = 32;
  if (Nesting == MaxNesting)
    throw EReadError(u"Error reading the layouts of " + Instance->ClassName() +
                     u": frames are "
                     u"placed in frames more than " +
                     IntToStr(MaxNesting) + u" deep");
  ++Nesting;
  struct TLeave {
    ~TLeave() { --Nesting; }
  } Leave;
  std::vector<const TClassInfo*> Chain;
  for (const TClassInfo* C = &Instance->ClassType(); C; C = C->Parent())
    Chain.push_back(C);
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
    const TClassInfo* C = *It;
    // A class's table lives in the module that defines the class.
    const HINSTANCE M = C == &Instance->ClassType() ? Module : FindHInstance(C);
    UnicodeString Name = C->ClassName();
    for (char16_t& Ch : Name)
      if (Ch >= u'a' && Ch <= u'z')
        Ch = static_cast<char16_t>(Ch - 32);
    if (!M || !HasResource(M, Name))
      continue;
    const std::span<const uint8_t> Bytes = FindResourceData(M, Name);
    const TLayoutObject Tree = ParseLayout(
        std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()), Name);
    ReadLayout(Instance, Tree, Name);
  }
}
