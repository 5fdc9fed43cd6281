#include "rtl/Resources.h"

#include "rtl/Exception.h"
#include "rtl/SysUtils.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

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

namespace {
// The count of modules loaded and unloaded so far in the process: while both stay the same,
// every address is in the module it was in.
std::pair<unsigned long long, unsigned long long> ModuleChanges() {
  std::pair<unsigned long long, unsigned long long> Changes{0, 0};
  dl_iterate_phdr(
      [](dl_phdr_info* Info, size_t Size, void* Out) {
        if (Size >= offsetof(dl_phdr_info, dlpi_subs) + sizeof Info->dlpi_subs)
          *static_cast<std::pair<unsigned long long, unsigned long long>*>(Out) = {Info->dlpi_adds,
                                                                                   Info->dlpi_subs};
        return 1; // the counts are the same in every entry: the first one is enough
      },
      &Changes);
  return Changes;
}

// The answers of dladdr, which walks every module's tables, kept while no module was loaded or
// unloaded since: forms and components ask for the modules of the same classes at every
// creation.
struct TModuleCache {
  std::mutex Lock;
  std::pair<unsigned long long, unsigned long long> Changes{~0ull, ~0ull};
  std::unordered_map<const void*, HINSTANCE> Modules;
  static constexpr size_t MaxKept = 4096;
};
TModuleCache& ModuleCache() {
  static TModuleCache Cache;
  return Cache;
}
} // namespace

HINSTANCE FindHInstance(const void* Address) {
  if (!Address)
    return nullptr;
  TModuleCache& Cache = ModuleCache();
  const auto Changes = ModuleChanges();
  std::lock_guard<std::mutex> G(Cache.Lock);
  if (Changes != Cache.Changes || Changes.first == 0 || Cache.Modules.size() >= Cache.MaxKept) {
    Cache.Modules.clear();
    Cache.Changes = Changes;
  }
  auto It = Cache.Modules.find(Address);
  if (It != Cache.Modules.end())
    return It->second;
  Dl_info Info{};
  const HINSTANCE Module = dladdr(Address, &Info) == 0 ? nullptr : Info.dli_fbase;
  if (Changes.first != 0) // counts known
    Cache.Modules.emplace(Address, Module);
  return Module;
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
