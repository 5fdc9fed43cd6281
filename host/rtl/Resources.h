// Module resources: every module (the IDE executable, each package) carries a table of named
// byte blocks, embedded at build time (host_add_resources in CMake) and found through the
// module's instance handle.
#pragma once

#include "rtl/UnicodeString.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// A module's instance handle: the base address at which the module is loaded.
using HINSTANCE = const void*;

// The instance handle of the module that contains Address (code or data), or nullptr.
HINSTANCE FindHInstance(const void* Address);

namespace detail {
// One per translation unit, so that HInstance names the module the code is compiled into.
[[maybe_unused]] static const char ModuleAnchor = 0;
} // namespace detail

// The instance handle of the module this code is compiled into.
[[maybe_unused]] static inline HINSTANCE HInstance() {
  return FindHInstance(&detail::ModuleAnchor);
}

// Called by the embedded resource tables when their module loads and unloads.
void RegisterResource(HINSTANCE Module, std::u16string_view Name, const uint8_t* Data, size_t Size);
void UnregisterResources(HINSTANCE Module);

// The bytes of resource Name (ASCII case ignored) of Module; EResNotFound names what is missing.
std::span<const uint8_t> FindResourceData(HINSTANCE Module, std::u16string_view Name);
bool HasResource(HINSTANCE Module, std::u16string_view Name);
// Resource names of a module, in registration order.
std::vector<UnicodeString> ResourceNames(HINSTANCE Module);
