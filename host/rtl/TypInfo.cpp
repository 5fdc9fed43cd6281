#include "rtl/TypInfo.h"

#include "rtl/Component.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <atomic>
#include <cstring>
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

namespace {
std::atomic<std::uint64_t> PropsChanges{0};
void PropsChanged() {
  PropsChanges.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

TClassInfo::TGenerationMark::TGenerationMark() {
  PropsChanged();
}
TClassInfo::TGenerationMark::TGenerationMark(const TGenerationMark&) {
  PropsChanged();
}
TClassInfo::TGenerationMark& TClassInfo::TGenerationMark::operator=(const TGenerationMark&) {
  PropsChanged();
  return *this;
}
TClassInfo::TGenerationMark::~TGenerationMark() {
  PropsChanged();
}

std::uint64_t TClassInfo::PropsGeneration() {
  return PropsChanges.load(std::memory_order_relaxed);
}

void TClassInfo::AddProp(TPropInfo Prop) {
  FProps.push_back(std::move(Prop));
  PropsChanged();
}

bool TClassInfo::RemoveProp(std::u16string_view Name) {
  const auto It = std::find_if(FProps.begin(), FProps.end(),
                               [Name](const TPropInfo& P) { return SameText(P.Name, Name); });
  if (It == FProps.end())
    return false;
  FProps.erase(It);
  PropsChanged();
  return true;
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

namespace {
// The last property found by name on this thread: callers read one property of many objects of
// one class in a row (the captions of a palette's tabs), and a hit skips the walk through the
// class and its ancestors comparing names. It holds while no class information changed since.
struct TLastPropLookup {
  static constexpr size_t MaxName = 32;
  const TClassInfo* Class = nullptr;
  std::uint64_t Generation = 0;
  const TPropInfo* Prop = nullptr;
  size_t NameLength = 0;
  char16_t Name[MaxName] = {};

  const TPropInfo* Find(const TClassInfo& C, std::u16string_view PropName) const {
    if (&C == Class && PropName.size() == NameLength &&
        std::memcmp(PropName.data(), Name, NameLength * sizeof(char16_t)) == 0 &&
        Generation == TClassInfo::PropsGeneration())
      return Prop;
    return nullptr;
  }
  void Keep(const TClassInfo& C, std::u16string_view PropName, const TPropInfo* P) {
    if (PropName.size() > MaxName)
      return;
    Class = &C;
    Generation = TClassInfo::PropsGeneration();
    Prop = P;
    NameLength = PropName.copy(Name, MaxName);
  }
};
thread_local TLastPropLookup LastPropLookup;
} // namespace

const TPropInfo& GetPropInfo(const TObject& Instance, std::u16string_view PropName) {
  const TClassInfo& Class = Instance.ClassType();
  if (const TPropInfo* Kept = LastPropLookup.Find(Class, PropName))
    return *Kept;
  const TPropInfo* P = Class.FindProp(PropName);
  if (P)
    LastPropLookup.Keep(Class, PropName, P);
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

UnicodeString GetStrProp(const TObject* Instance, const TPropInfo& PropInfo) {
  const TObject& O = NotNull(Instance, PropInfo.Name);
  if (!PropInfo.GetStr)
    WrongKind(PropInfo, O, u"a string property");
  return PropInfo.GetStr(O);
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
