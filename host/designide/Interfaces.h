// Reference-counted interfaces, as the IDE's plug-in interfaces use them.
//
// An interface is an abstract class whose first three operations are those of IInterface; each
// derived interface adds its operations after those of its base, so that one table of
// operations serves an interface and all its bases, in a fixed slot order. Interfaces carry an
// identifier (a GUID, IID) by which QueryInterface finds them. Interfaces have no virtual
// destructor (it would take slots): objects are released by their reference count only.
#pragma once

#include "rtl/Object.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  friend constexpr bool operator==(const TGUID&, const TGUID&) = default;
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
  UnicodeString ToString() const;
};

namespace detail {
constexpr unsigned HexDigit(char C) {
  if (C >= '0' && C <= '9')
    return static_cast<unsigned>(C - '0');
  if (C >= 'A' && C <= 'F')
    return static_cast<unsigned>(C - 'A' + 10);
  if (C >= 'a' && C <= 'f')
    return static_cast<unsigned>(C - 'a' + 10);
  throw "invalid hexadecimal digit in a GUID";
}
constexpr uint64_t Hex(std::string_view S, size_t From, size_t Count) {
  uint64_t V = 0;
  for (size_t I = From; I < From + Count; ++I)
    V = V * 16 + HexDigit(S[I]);
  return V;
}
} // namespace detail

// A GUID from its registry form, checked while compiling.
consteval TGUID StringToGUID(std::string_view S) {
  if (S.size() != 38 || S[0] != '{' || S[9] != '-' || S[14] != '-' || S[19] != '-' ||
      S[24] != '-' || S[37] != '}')
    throw "a GUID is written {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  TGUID G;
  G.D1 = static_cast<uint32_t>(detail::Hex(S, 1, 8));
  G.D2 = static_cast<uint16_t>(detail::Hex(S, 10, 4));
  G.D3 = static_cast<uint16_t>(detail::Hex(S, 15, 4));
  G.D4[0] = static_cast<uint8_t>(detail::Hex(S, 20, 2));
  G.D4[1] = static_cast<uint8_t>(detail::Hex(S, 22, 2));
  for (size_t I = 0; I < 6; ++I)
    G.D4[2 + I] = static_cast<uint8_t>(detail::Hex(S, 25 + 2 * I, 2));
  return G;
}

class IInterface {
public:
  static constexpr TGUID IID = StringToGUID("{00000000-0000-0000-C000-000000000046}");

  // Stores in *Obj the object's interface of identifier IID (with a reference added) and
  // answers S_OK, or stores nullptr and answers E_NOINTERFACE.
  virtual HRESULT QueryInterface(const TGUID& Iid, void** Obj) = 0;
  // Add and drop a reference; both answer the new count. The last _Release frees the object.
  virtual int32_t _AddRef() = 0;
  virtual int32_t _Release() = 0;

protected:
  ~IInterface() = default;
};

// An object of the model that implements interfaces with a reference count. It starts with no
// reference; the first interface reference taken on it owns it, and it frees itself (through
// Free) when the last one is dropped.
class TInterfacedObject : public TObject, public IInterface {
public:
  TInterfacedObject() = default;
  HOST_CLASS_INFO;

  HRESULT QueryInterface(const TGUID& Iid, void** Obj) override;
  int32_t _AddRef() override;
  int32_t _Release() override;
  int32_t RefCount() const { return FRefCount.load(); }

protected:
  // Answers the interface of identifier IID (a pointer to that interface type, as void*), or
  // nullptr. Classes that implement more interfaces answer theirs and hand every other
  // identifier to their base.
  virtual void* GetInterface(const TGUID& Iid);

private:
  std::atomic<int32_t> FRefCount{0};
};

// A class deriving from TInterfacedObject and from interfaces puts this in its public part, so
// that the interfaces' IInterface operations are those of the object.
#define INTFOBJECT_IMPL_IUNKNOWN(BASE)                                                             \
  HRESULT QueryInterface(const TGUID& Iid, void** Obj) override {                                  \
    return BASE::QueryInterface(Iid, Obj);                                                         \
  }                                                                                                \
  int32_t _AddRef() override {                                                                     \
    return BASE::_AddRef();                                                                        \
  }                                                                                                \
  int32_t _Release() override {                                                                    \
    return BASE::_Release();                                                                       \
  }

// An interface reference: adds a reference when it takes an interface and drops it when it
// lets go, as an interface variable does.
template <class T> class TInterfacePtr {
public:
  TInterfacePtr() = default;
  TInterfacePtr(std::nullptr_t) {}
  // Takes a new reference on Intf.
  explicit TInterfacePtr(T* Intf) : FIntf(Intf) {
    if (FIntf)
      FIntf->_AddRef();
  }
  TInterfacePtr(const TInterfacePtr& Other) : TInterfacePtr(Other.FIntf) {}
  TInterfacePtr(TInterfacePtr&& Other) noexcept : FIntf(std::exchange(Other.FIntf, nullptr)) {}
  TInterfacePtr& operator=(TInterfacePtr Other) noexcept {
    std::swap(FIntf, Other.FIntf);
    return *this;
  }
  ~TInterfacePtr() { Reset(); }

  // Wraps a reference that the caller already holds (one that QueryInterface handed out).
  static TInterfacePtr Adopt(T* Intf) {
    TInterfacePtr P;
    P.FIntf = Intf;
    return P;
  }
  // Gives up the reference without dropping it; the caller now holds it.
  T* Detach() { return std::exchange(FIntf, nullptr); }
  // Drops the reference; answers what _Release answered (0 when nothing was held).
  int32_t Reset() {
    T* Old = std::exchange(FIntf, nullptr);
    return Old ? Old->_Release() : 0;
  }

  T* Get() const { return FIntf; }
  T* operator->() const { return FIntf; }
  explicit operator bool() const { return FIntf != nullptr; }

private:
  T* FIntf = nullptr;
};

// Asks Source for interface T; true and Dest set when it has it, false and Dest empty when not.
template <class T, class S> bool Supports(const TInterfacePtr<S>& Source, TInterfacePtr<T>& Dest) {
  Dest = nullptr;
  if (!Source)
    return false;
  void* Obj = nullptr;
  if (Source->QueryInterface(T::IID, &Obj) != S_OK || !Obj)
    return false;
  Dest = TInterfacePtr<T>::Adopt(static_cast<T*>(Obj));
  return true;
}

// Creates an interfaced object and answers its interface I, which then holds the only
// reference. A failure in the constructor releases the half-built object and goes on.
template <class T, class I, class... A> TInterfacePtr<I> MakeInterfaced(A&&... Args) {
  return TInterfacePtr<I>(static_cast<I*>(new T(std::forward<A>(Args)...)));
}
