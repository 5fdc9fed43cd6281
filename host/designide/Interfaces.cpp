#include "designide/Interfaces.h"

#include "rtl/Assert.h"
#include "rtl/TypInfo.h"

UnicodeString TGUID::ToString() const {
  static const char16_t Digits[] = u"0123456789ABCDEF";
  UnicodeString S = u"{";
  auto Put = [&S](uint64_t V, int Count) {
    for (int I = Count - 1; I >= 0; --I)
      S.push_back(Digits[(V >> (4 * I)) & 0xF]);
  };
  Put(D1, 8);
  S.push_back(u'-');
  Put(D2, 4);
  S.push_back(u'-');
  Put(D3, 4);
  S.push_back(u'-');
  Put(D4[0], 2);
  Put(D4[1], 2);
  S.push_back(u'-');
  for (int I = 2; I < 8; ++I)
    Put(D4[I], 2);
  S.push_back(u'}');
  return S;
}

const TClassInfo& TInterfacedObject::StaticClass() {
  static const TClassInfo Info(u"TInterfacedObject", &TObject::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TInterfacedObject)

void* TInterfacedObject::GetInterface(const TGUID& Iid) {
  if (Iid == IInterface::IID)
    return static_cast<IInterface*>(this);
  return nullptr;
}

HRESULT TInterfacedObject::QueryInterface(const TGUID& Iid, void** Obj) {
  if (!Obj)
    return E_POINTER;
  *Obj = GetInterface(Iid);
  if (!*Obj)
    return E_NOINTERFACE;
  _AddRef();
  return S_OK;
}

int32_t TInterfacedObject::_AddRef() {
  return ++FRefCount;
}

int32_t TInterfacedObject::_Release() {
  HOST_ASSERT(FRefCount > 0, "an interfaced object is released only by a reference it gave out");
  const int32_t Count = --FRefCount;
  if (Count == 0)
    Free(this);
  return Count;
}
