#include "Startup.h"

#include "Ide.h"

void StartIde(THostIde& Ide, const TStartOptions& Options, const TRunGuarded& Guard) {
  Guard([&] {
    Ide.LoadPalette(Options.Palette ? ReadPaletteFile(*Options.Palette)
                                    : THostIde::DefaultPalette());
  });
  std::vector<std::string> Packages = Options.Packages;
  if (Packages.empty() && !Options.NoPackage)
    Packages.push_back(THostIde::DefaultPackage());
  for (const std::string& P : Packages)
    Guard([&] { Ide.Packages().Load(P); });
}

void StopIde(THostIde& Ide, const TRunGuarded& Guard) {
  Guard([&] { Ide.Packages().UnloadAll(); });
}
