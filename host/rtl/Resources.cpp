#include "rtl/Resources.h"

#include "rtl/Exception.h"
#include "rtl/SysUtils.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace {

struct TResource {
  UnicodeString Name;
  const uint8_t* Data;
  size_t Size;
};

std::mutex& TableLock() {
  static std::mutex Lock;
  return Lock;
}
std::map<HINSTANCE, std::vector<TResource>>& Tables() {
  static std::map<HINSTANCE, std::vector<TResource>> T;
  return T;
}

const TResource* Lookup(HINSTANCE Module, std::u16string_view Name) {
  auto It = Tables().find(Module);
  if (It == Tables().end())
    return nullptr;
  for (const TResource& R : It->second)
    if (SameText(R.Name, Name))
      return &R;
  return nullptr;
}

} // namespace

HINSTANCE FindHInstance(const void* Address) {
  Dl_info Info{};
  return Address && dladdr(Address, &Info) != 0 ? Info.dli_fbase : nullptr;
}

void RegisterResource(HINSTANCE Module, std::u16string_view Name, const uint8_t* Data,
                      size_t Size) {
  std::lock_guard<std::mutex> G(TableLock());
  Tables()[Module].push_back(TResource{UnicodeString(Name), Data, Size});
}

void UnregisterResources(HINSTANCE Module) {
  std::lock_guard<std::mutex> G(TableLock());
  Tables().erase(Module);
}

std::span<const uint8_t> FindResourceData(HINSTANCE Module, std::u16string_view Name) {
  std::lock_guard<std::mutex> G(TableLock());
  const TResource* R = Lookup(Module, Name);
  if (!R)
    throw EResNotFound(u"Resource " + UnicodeString(Name) + u" not found");
  return {R->Data, R->Size};
}

bool HasResource(HINSTANCE Module, std::u16string_view Name) {
  std::lock_guard<std::mutex> G(TableLock());
  return Lookup(Module, Name) != nullptr;
}

std::vector<UnicodeString> ResourceNames(HINSTANCE Module) {
  std::lock_guard<std::mutex> G(TableLock());
  std::vector<UnicodeString> Names;
  auto It = Tables().find(Module);
  if (It != Tables().end())
    for (const TResource& R : It->second)
      Names.push_back(R.Name);
  return Names;
}
