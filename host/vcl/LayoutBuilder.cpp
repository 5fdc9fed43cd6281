// The building layer of the layout reader: an object tree to components, properties and
// events.
#include "vcl/LayoutReader.h"

#include "vcl/Controls.h"
#include "vcl/LayoutReader_p.h"

#include <string>

namespace {

using detail::LayoutErrorPrefix;

class TLayoutBuilder {
public:
  TLayoutBuilder(std::u16string_view Source, const TLayoutReaderEvents& Events)
      : FSource(Source), FEvents(Events) {}

  void ReadRoot(TComponent* Root, const TLayoutObject& L) {
    TLoading Guard(Root);
    // A name the root cannot take is skippable like a property: the root keeps its own.
    Skippable([&] {
      Guarded(L.Line, [&] {
        if (!L.Name.empty())
          Root->SetName(UniqueName(Root, L.Name));
      });
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
    throw EReadError(LayoutErrorPrefix(FSource, Line) + Msg);
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
      throw EClassNotFound(LayoutErrorPrefix(FSource, L.Line) + u"class " + L.ClassName +
                           u" not found");
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
        throw EUnknownProperty(LayoutErrorPrefix(FSource, P.Line) + Path + u"." + P.Name +
                               u": property " + UnicodeString(Part) + u" does not exist in class " +
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
      throw EUnknownProperty(LayoutErrorPrefix(FSource, P.Line) + Path + u"." + P.Name +
                             u": property " + UnicodeString(Rest) + u" does not exist in class " +
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
