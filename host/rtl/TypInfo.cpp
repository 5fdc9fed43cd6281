#include "rtl/TypInfo.h"

#include "rtl/Component.h"
#include "rtl/SysUtils.h"

#include <map>

// --- TObject / TPersistent ------------------------------------------------------------------

TObject::~TObject() = default;

void Free(TObject* Obj) {
  if (!Obj)
    return;
  Obj->BeforeDestruction();
  delete Obj;
}

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo Info(u"TObject", nullptr);
  return Info;
}
const TClassInfo& TObject::ClassType() const {
  return StaticClass();
}
UnicodeString TObject::ClassName() const {
  return ClassType().ClassName();
}
bool TObject::InheritsFrom(const TClassInfo& Class) const {
  return ClassType().InheritsFrom(Class);
}

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo Info(u"TPersistent", &TObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TPersistent)

// --- TEnumInfo / TClassInfo -------------------------------------------------------------------

int TEnumInfo::IndexOf(std::u16string_view Name) const {
  for (size_t I = 0; I < Names.size(); ++I)
    if (SameText(Names[I], Name))
      return static_cast<int>(I);
  return -1;
}

bool TEnumInfo::IdentToInt(std::u16string_view Name, int64_t& Value) const {
  for (const auto& [Ident, V] : Idents)
    if (SameText(Ident, Name)) {
      Value = V;
      return true;
    }
  return false;
}

TClassInfo::TClassInfo(UnicodeString Name, const TClassInfo* Parent)
    : FName(std::move(Name)), FParent(Parent) {}

bool TClassInfo::InheritsFrom(const TClassInfo& Other) const {
  for (const TClassInfo* C = this; C; C = C->FParent)
    if (C == &Other)
      return true;
  return false;
}

void TClassInfo::AddProp(TPropInfo Prop) {
  FProps.push_back(std::move(Prop));
}

const TPropInfo* TClassInfo::FindProp(std::u16string_view Name) const {
  for (const TClassInfo* C = this; C; C = C->FParent)
    for (const TPropInfo& P : C->FProps)
      if (SameText(P.Name, Name))
        return &P;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::u16string_view Name) const {
  for (const TClassInfo* C = this; C; C = C->FParent)
    for (const TMethodInfo& M : C->Methods)
      if (SameText(M.Name, Name))
        return &M;
  return nullptr;
}

const TFieldInfo* TClassInfo::FindField(std::u16string_view Name) const {
  for (const TClassInfo* C = this; C; C = C->FParent)
    for (const TFieldInfo& F : C->Fields)
      if (SameText(F.Name, Name))
        return &F;
  return nullptr;
}

// --- class registry ---------------------------------------------------------------------------

namespace {
std::map<UnicodeString, const TClassInfo*>& Registry() {
  static std::map<UnicodeString, const TClassInfo*> Classes;
  return Classes;
}
UnicodeString Lower(std::u16string_view S) {
  UnicodeString R(S);
  for (char16_t& C : R)
    if (C >= u'A' && C <= u'Z')
      C = static_cast<char16_t>(C + 32);
  return R;
}
} // namespace

void RegisterClass(const TClassInfo& Class) {
  Registry()[Lower(Class.ClassName())] = &Class;
}

const TClassInfo* FindClass(std::u16string_view Name) {
  auto It = Registry().find(Lower(Name));
  return It == Registry().end() ? nullptr : It->second;
}

// --- property access --------------------------------------------------------------------------

const TPropInfo& GetPropInfo(const TObject& Instance, std::u16string_view PropName) {
  const TPropInfo* P = Instance.ClassType().FindProp(PropName);
  if (!P)
    throw EPropertyError(u"Property " + UnicodeString(PropName) + u" does not exist in class " +
                         Instance.ClassName());
  return *P;
}

namespace {
const TObject& NotNull(const TObject* Instance, std::u16string_view PropName) {
  if (!Instance)
    throw EPropertyError(u"Cannot read property " + UnicodeString(PropName) + u" of nil");
  return *Instance;
}
[[noreturn]] void WrongKind(const TPropInfo& P, const TObject& O, const char16_t* Wanted) {
  throw EPropertyError(u"Property " + P.Name + u" of class " + O.ClassName() + u" is not " +
                       Wanted);
}
} // namespace

UnicodeString GetStrProp(const TObject* Instance, std::u16string_view PropName) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.GetStr)
    WrongKind(P, O, u"a string property");
  return P.GetStr(O);
}

void SetStrProp(TObject* Instance, std::u16string_view PropName, const UnicodeString& Value) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.SetStr)
    WrongKind(P, O, u"a writable string property");
  P.SetStr(*Instance, Value);
}

int64_t GetOrdProp(const TObject* Instance, std::u16string_view PropName) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.GetOrd)
    WrongKind(P, O, u"an ordinal property");
  return P.GetOrd(O);
}

void SetOrdProp(TObject* Instance, std::u16string_view PropName, int64_t Value) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.SetOrd)
    WrongKind(P, O, u"a writable ordinal property");
  if (Value < P.MinValue || Value > P.MaxValue)
    throw EPropertyError(u"Value " + IntToStr(Value) + u" is out of range for property " + P.Name +
                         u" of class " + O.ClassName());
  P.SetOrd(*Instance, Value);
}

TObject* GetObjectProp(const TObject* Instance, std::u16string_view PropName) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.GetObj)
    WrongKind(P, O, u"an object property");
  return P.GetObj(O);
}

void SetMethodProp(TObject* Instance, std::u16string_view PropName, TObject* Target,
                   std::u16string_view MethodName) {
  const TObject& O = NotNull(Instance, PropName);
  const TPropInfo& P = GetPropInfo(O, PropName);
  if (!P.SetMethod)
    WrongKind(P, O, u"an event");
  const TObject& T = NotNull(Target, MethodName);
  const TMethodInfo* M = T.ClassType().FindMethod(MethodName);
  if (!M)
    throw EPropertyError(u"Method " + UnicodeString(MethodName) + u" does not exist in class " +
                         T.ClassName());
  if (M->Signature != P.MethodType)
    throw EPropertyError(u"Method " + M->Name + u" of class " + T.ClassName() +
                         u" does not match the type of event " + P.Name);
  P.SetMethod(*Instance, M->Bind(*Target));
}
