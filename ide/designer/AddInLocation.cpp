#include "AddInLocation.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
const char AddInFileName[] = "OrvikPaletteMenu170.so";
const char Variable[] = "ORVIK_PALETTE_MENU_PACKAGE";
} // namespace

std::string AddInLocation::Failure() const {
  if (!Path.empty())
    return {};
  std::string Text = std::string(AddInFileName) + " was not found (looked for ";
  for (size_t I = 0; I < Looked.size(); ++I)
    Text += (I ? ", " : "") + Looked[I];
  return Text + ")";
}

AddInLocation LocateAddIn(const char* VariableValue, const std::string& Plugin,
                          const std::string& InstalledDir) {
  AddInLocation L;
  std::error_code Error;
  if (VariableValue && *VariableValue) {
    // Named on purpose: that file or nothing, so that a typo is not covered by another add-in.
    L.Looked.push_back(VariableValue);
    L.Path = VariableValue;
    return L;
  }
  std::vector<std::string> Places;
  if (!Plugin.empty())
    Places.push_back(
        (fs::path(Plugin).parent_path() / ".." / ".." / "bin" / AddInFileName).lexically_normal());
  if (!InstalledDir.empty())
    Places.push_back((fs::path(InstalledDir) / AddInFileName).string());
  for (const std::string& P : Places) {
    L.Looked.push_back(P);
    if (fs::is_regular_file(P, Error)) {
      L.Path = P;
      break;
    }
  }
  return L;
}

std::string PluginFile() {
  Dl_info Info{};
  if (dladdr(reinterpret_cast<void*>(&PluginFile), &Info) == 0 || !Info.dli_fname)
    return {};
  std::error_code Error;
  const fs::path Canonical = fs::canonical(Info.dli_fname, Error);
  return Error ? std::string(Info.dli_fname) : Canonical.string();
}

AddInLocation LocateAddIn() {
#ifdef OV_INSTALLED_PACKAGE_DIR
  const std::string Installed = OV_INSTALLED_PACKAGE_DIR;
#else
  const std::string Installed;
#endif
  return LocateAddIn(std::getenv(Variable), PluginFile(), Installed);
}
