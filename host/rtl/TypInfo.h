// Run-time type information: per class a small table of published properties and methods, so
// that stored layouts can set properties and bind handlers by name and GetStrProp works.
#pragma once

#include "rtl/Exception.h"
#include "rtl/Object.h"

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

class TComponent;

enum class TTypeKind { tkInteger, tkEnumeration, tkSet, tkFloat, tkUString, tkClass, tkMethod };

// Names of an enumeration (ordinal = index) or of a set's elements (bit = index), or, for an
// integer property, identifiers that stand for values (clBtnFace and the like).
struct TEnumInfo {
  std::vector<UnicodeString> Names;
  std::vector<std::pair<UnicodeString, int64_t>> Idents;

  // -1 when Name is not one of Names; compared as the host compares identifiers.
  int IndexOf(std::u16string_view Name) const;
  bool IdentToInt(std::u16string_view Name, int64_t& Value) const;
};

struct TPropInfo {
  UnicodeString Name;
  TTypeKind Kind = TTypeKind::tkInteger;
  const TEnumInfo* Enum = nullptr;

  std::function<UnicodeString(const TObject&)> GetStr;
  std::function<void(TObject&, const UnicodeString&)> SetStr;
  std::function<int64_t(const TObject&)> GetOrd; // integers, enumerations, booleans, sets
  std::function<void(TObject&, int64_t)> SetOrd;
  int64_t MinValue = INT64_MIN, MaxValue = INT64_MAX; // what SetOrd accepts without truncation
  std::function<double(const TObject&)> GetFloat;
  std::function<void(TObject&, double)> SetFloat;
  std::function<TObject*(const TObject&)> GetObj; // owned sub-object (a font, a collection)
  std::type_index MethodType = typeid(void);      // closure type of an event
  std::function<void(TObject&, const std::any&)> SetMethod;
};

// A published field: a component reference that a stored layout fills in by the component's
// name. Set refuses (returns false) a component that is not of the field's type.
struct TFieldInfo {
  UnicodeString Name;
  std::function<TComponent*(const TObject&)> Get;
  std::function<bool(TObject&, TComponent*)> Set;
};

struct TMethodInfo {
  UnicodeString Name;
  std::type_index Signature = typeid(void); // closure type this method can be bound to
  std::function<std::any(TObject& Self)> Bind;
};

class TClassInfo {
public:
  using TFactory = std::function<TComponent*(TComponent* Owner)>;

  TClassInfo(UnicodeString Name, const TClassInfo* Parent);

  const UnicodeString& ClassName() const { return FName; }
  const TClassInfo* Parent() const { return FParent; }
  bool InheritsFrom(const TClassInfo& Other) const;

  // Own and inherited entries; names compare as identifiers (ASCII case ignored).
  const TPropInfo* FindProp(std::u16string_view Name) const;
  const TMethodInfo* FindMethod(std::u16string_view Name) const;
  const TFieldInfo* FindField(std::u16string_view Name) const;

  // The class's own published properties, in order of publication.
  const std::vector<TPropInfo>& Props() const { return FProps; }
  // Publishes a property; one of the same name in an ancestor is hidden by it.
  void AddProp(TPropInfo Prop);

  // Creates an instance with the given owner; empty for classes that cannot be created by name.
  TFactory Factory;
  std::vector<TMethodInfo> Methods;
  std::vector<TFieldInfo> Fields;

private:
  UnicodeString FName;
  const TClassInfo* FParent;
  std::vector<TPropInfo> FProps;
};

// Classes that layouts may create by name.
void RegisterClass(const TClassInfo& Class);
const TClassInfo* FindClass(std::u16string_view Name); // nullptr when not registered

// Property access by name. Unknown names or a property of another kind raise EPropertyError.
const TPropInfo& GetPropInfo(const TObject& Instance, std::u16string_view PropName);
UnicodeString GetStrProp(const TObject* Instance, std::u16string_view PropName);
void SetStrProp(TObject* Instance, std::u16string_view PropName, const UnicodeString& Value);
int64_t GetOrdProp(const TObject* Instance, std::u16string_view PropName);
void SetOrdProp(TObject* Instance, std::u16string_view PropName, int64_t Value);
TObject* GetObjectProp(const TObject* Instance, std::u16string_view PropName);
// Binds the published method MethodName of Target to the event PropName of Instance.
void SetMethodProp(TObject* Instance, std::u16string_view PropName, TObject* Target,
                   std::u16string_view MethodName);

// Builds the table of one class T. Getters and setters are member functions; events are
// public closure fields; methods are member functions bound to a closure type E.
template <class T> class TClassBuilder {
public:
  TClassBuilder(UnicodeString Name, const TClassInfo* Parent) : FInfo(std::move(Name), Parent) {}

  TClassBuilder& Creatable() {
    FInfo.Factory = [](TComponent* Owner) -> TComponent* { return new T(Owner); };
    return *this;
  }

  template <class G, class S> TClassBuilder& Str(UnicodeString Name, G Get, S Set) {
    TPropInfo P;
    P.Name = std::move(Name);
    P.Kind = TTypeKind::tkUString;
    P.GetStr = [Get](const TObject& O) { return UnicodeString(std::invoke(Get, Self(O))); };
    P.SetStr = [Set](TObject& O, const UnicodeString& V) { std::invoke(Set, Self(O), V); };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  // Integers, booleans (an enumeration False, True) and enumerations.
  template <class G, class S>
  TClassBuilder& Ord(UnicodeString Name, G Get, S Set, const TEnumInfo* Enum = nullptr) {
    using V = std::decay_t<std::invoke_result_t<G, const T&>>;
    TPropInfo P;
    P.Name = std::move(Name);
    P.Enum = Enum;
    if constexpr (std::is_same_v<V, bool>) {
      P.Kind = TTypeKind::tkEnumeration;
      P.Enum = &BooleanInfo();
    } else if constexpr (std::is_enum_v<V>) {
      P.Kind = TTypeKind::tkEnumeration;
    } else {
      P.Kind = TTypeKind::tkInteger;
      P.MinValue = static_cast<int64_t>(std::numeric_limits<V>::min());
      P.MaxValue = std::numeric_limits<V>::max() > static_cast<std::make_unsigned_t<V>>(INT64_MAX)
                       ? INT64_MAX
                       : static_cast<int64_t>(std::numeric_limits<V>::max());
    }
    P.GetOrd = [Get](const TObject& O) { return static_cast<int64_t>(std::invoke(Get, Self(O))); };
    P.SetOrd = [Set](TObject& O, int64_t V2) { std::invoke(Set, Self(O), static_cast<V>(V2)); };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  // A set stored as a bit mask; element names in Enum->Names, bit i for Names[i].
  template <class G, class S>
  TClassBuilder& Set(UnicodeString Name, G Get, S Set, const TEnumInfo* Enum) {
    TPropInfo P;
    P.Name = std::move(Name);
    P.Kind = TTypeKind::tkSet;
    P.Enum = Enum;
    P.GetOrd = [Get](const TObject& O) { return static_cast<int64_t>(std::invoke(Get, Self(O))); };
    P.SetOrd = [Set](TObject& O, int64_t V) { std::invoke(Set, Self(O), V); };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  template <class G, class S> TClassBuilder& Float(UnicodeString Name, G Get, S Set) {
    TPropInfo P;
    P.Name = std::move(Name);
    P.Kind = TTypeKind::tkFloat;
    P.GetFloat = [Get](const TObject& O) { return static_cast<double>(std::invoke(Get, Self(O))); };
    P.SetFloat = [Set](TObject& O, double V) { std::invoke(Set, Self(O), V); };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  // A sub-object whose own properties are set through it ("Font.Name").
  template <class G> TClassBuilder& Object(UnicodeString Name, G Get) {
    TPropInfo P;
    P.Name = std::move(Name);
    P.Kind = TTypeKind::tkClass;
    P.GetObj = [Get](const TObject& O) -> TObject* { return std::invoke(Get, Self(O)); };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  template <class E> TClassBuilder& Event(UnicodeString Name, E T::*Field) {
    TPropInfo P;
    P.Name = std::move(Name);
    P.Kind = TTypeKind::tkMethod;
    P.MethodType = typeid(E);
    P.SetMethod = [Field](TObject& O, const std::any& Closure) {
      const_cast<T&>(Self(O)).*Field = std::any_cast<const E&>(Closure);
    };
    FInfo.AddProp(std::move(P));
    return *this;
  }

  // A published method, bindable to events of closure type E (TNotifyEvent by default).
  template <class E = TNotifyEvent, class M> TClassBuilder& Method(UnicodeString Name, M Member) {
    TMethodInfo I;
    I.Name = std::move(Name);
    I.Signature = typeid(E);
    I.Bind = [Member](TObject& O) -> std::any {
      T* Target = &const_cast<T&>(Self(O));
      return E([Target, Member](auto&&... Args) {
        return std::invoke(Member, Target, std::forward<decltype(Args)>(Args)...);
      });
    };
    FInfo.Methods.push_back(std::move(I));
    return *this;
  }

  // A published field of a component type C (C derives from TComponent).
  template <class C> TClassBuilder& Field(UnicodeString Name, C* T::*Member) {
    TFieldInfo F;
    F.Name = std::move(Name);
    F.Get = [Member](const TObject& O) -> TComponent* { return Self(O).*Member; };
    F.Set = [Member](TObject& O, TComponent* V) {
      C* Typed = dynamic_cast<C*>(V);
      if (V && !Typed)
        return false;
      Self(O).*Member = Typed;
      return true;
    };
    FInfo.Fields.push_back(std::move(F));
    return *this;
  }

  operator TClassInfo() { return std::move(FInfo); }

private:
  static const T& Self(const TObject& O) {
    auto* P = dynamic_cast<const T*>(&O);
    if (!P)
      throw EInvalidCast(u"Invalid class typecast");
    return *P;
  }
  static T& Self(TObject& O) { return const_cast<T&>(Self(static_cast<const TObject&>(O))); }
  static const TEnumInfo& BooleanInfo() {
    static const TEnumInfo Info{{u"False", u"True"}, {}};
    return Info;
  }

  TClassInfo FInfo;
};
