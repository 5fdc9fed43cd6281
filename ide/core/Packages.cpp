#include "Packages.h"

#include "rtl/Assert.h"
#include "rtl/PackageInfo.h"
#include "rtl/SysUtils.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The packages the IDE itself is made of; every package may require them.
const char16_t* const HostPackages[] = {u"rtl170", u"vcl170", u"designide170"};

UnicodeString U(const std::string& S) {
  return UTF8Decode(S);
}

UnicodeString Str(const char16_t* S) {
  return S ? UnicodeString(S) : UnicodeString();
}

std::string Stem(std::string_view FileName) {
  const size_t Dot = FileName.find('.');
  return std::string(FileName.substr(0, Dot));
}

} // namespace

TPackageManager::TPackageManager(std::string SearchDir)
    : FSearchDir(std::move(SearchDir)),
      FWizardHook(Badge<TPackageManager>(),
                  [this](const TInterfacePtr<IOTAWizard>& Wizard) { AddWizard(Wizard); }) {}

TPackageManager::~TPackageManager() {
  // Nobody is left to tell: the front end asks UnloadAll for its report before this.
  try {
    UnloadAll();
  } catch (const EPackageError&) {
  }
}

std::string TPackageManager::ExecutableDir() {
  std::error_code Error;
  fs::path Exe = fs::read_symlink("/proc/self/exe", Error);
  return Error ? std::string(".") : Exe.parent_path().string();
}

std::string TPackageManager::PackageDir() {
  const fs::path Exe = ExecutableDir();
  std::error_code Error;
  if (fs::exists(Exe / "OrvikPaletteMenu170.so", Error))
    return Exe.string();
#ifdef HOSTIDE_INSTALLED_PACKAGE_DIR
  const fs::path Installed = (Exe / HOSTIDE_INSTALLED_PACKAGE_DIR).lexically_normal();
  if (fs::is_directory(Installed, Error))
    return Installed.string();
#endif
  return Exe.string();
}

std::string TPackageManager::Resolve(const std::string& File) const {
  if (File.find('/') != std::string::npos)
    return File;
  std::error_code Error;
  if (fs::exists(File, Error))
    return "./" + File;
  const fs::path Beside = fs::path(FSearchDir) / File;
  if (fs::exists(Beside, Error))
    return Beside.string();
  // A package named without its suffix, as unload names it.
  if (fs::path(File).extension() != ".so") {
    const std::string WithSuffix = File + ".so";
    if (fs::exists(WithSuffix, Error))
      return "./" + WithSuffix;
    if (fs::exists(fs::path(FSearchDir) / WithSuffix, Error))
      return (fs::path(FSearchDir) / WithSuffix).string();
  }
  throw EPackageError(
      U("Package " + File + " not found (looked in the current folder and in " + FSearchDir + ")"));
}

void TPackageManager::AddWizard(const TInterfacePtr<IOTAWizard>& Wizard) {
  if (!FRegistering)
    throw EPackageError(u"RegisterPackageWizard may only be called from a package's Register");
  TPackageWizard W{Wizard, Wizard->GetIDString(), Wizard->GetName()};
  for (const auto& P : FPackages)
    for (const TPackageWizard& Other : P->Wizards)
      if (Other.IDString == W.IDString)
        throw EPackageError(u"A wizard with the ID \"" + W.IDString +
                            u"\" is already registered by " + U(P->FileName));
  for (const TPackageWizard& Other : FRegistering->Wizards)
    if (Other.IDString == W.IDString)
      throw EPackageError(u"A wizard with the ID \"" + W.IDString + u"\" is already registered");
  FRegistering->Wizards.push_back(std::move(W));
  HOST_ASSERT(FRegistering->Handle != nullptr,
              "wizards are registered only while a loaded package's Register runs");
}

const char* PackageStateName(TPackageState State) {
  // In the order of TPackageState.
  static const char* const Names[] = {"found",  "loaded",   "registered",
                                      "failed", "unloaded", "stuck in memory"};
  static_assert(std::size(Names) == static_cast<size_t>(TPackageState::StuckInMemory) + 1);
  const auto Index = static_cast<size_t>(State);
  return Index < std::size(Names) ? Names[Index] : "unknown";
}

bool TPackageManager::AnyRegistered() const {
  return !FLoadOrder.empty();
}

TPackageRecord& TPackageManager::RecordFor(const std::string& FileName, const std::string& Path) {
  for (const auto& P : FPackages)
    if (P->FileName == FileName)
      return *P;
  auto P = std::make_unique<TPackageRecord>();
  P->FileName = FileName;
  P->Path = Path;
  FPackages.push_back(std::move(P));
  return *FPackages.back();
}

const TPackageRecord& TPackageManager::Load(const std::string& File) {
  TPackageRecord& P = Begin(File);
  OpenLibrary(P);
  // The failure object is gone before the library that may have made it is unloaded.
  UnicodeString Failure = RegisterUnits(P);
  if (!Failure.empty())
    Abandon(P, std::move(Failure));
  MoveTo(P, TPackageState::Registered);
  return P;
}

TPackageRecord& TPackageManager::Begin(const std::string& File) {
  std::string Path;
  try {
    Path = Resolve(File);
  } catch (const EPackageError& E) {
    // Not found: the record is kept under the name asked for, unless that names a package
    // whose code is in memory, which stays as it is.
    TPackageRecord& P = RecordFor(fs::path(File).filename().string(), File);
    if (P.State != TPackageState::Registered && P.State != TPackageState::StuckInMemory) {
      P.Path = File;
      MoveTo(P, TPackageState::Failed, E.Message());
    }
    throw;
  }
  const std::string FileName = fs::path(Path).filename().string();
  std::error_code Error;
  const fs::path Canonical = fs::weakly_canonical(Path, Error);
  for (const TPackageRecord* Other : FLoadOrder)
    if (Other->FileName == FileName ||
        (!Error && fs::weakly_canonical(Other->Path, Error) == Canonical))
      throw EPackageError(U("Package " + FileName + " is already loaded"));
  TPackageRecord& P = RecordFor(FileName, Path);
  if (P.State == TPackageState::StuckInMemory)
    throw EPackageError(
        U("Package " + FileName +
          " could not be unloaded before and is still in memory: " + UTF8Encode(P.LastError)));
  P.Path = Path;
  MoveTo(P, TPackageState::Found);
  return P;
}

void TPackageManager::OpenLibrary(TPackageRecord& P) {
  dlerror();
  P.Handle = dlopen(P.Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!P.Handle) {
    const char* Why = dlerror();
    MoveTo(P, TPackageState::Failed,
           U("Cannot load package " + P.FileName + ": " + (Why ? Why : "unknown")));
    throw EPackageError(P.LastError);
  }
  MoveTo(P, TPackageState::Loaded);
}

UnicodeString TPackageManager::RegisterUnits(TPackageRecord& P) {
  const std::string& FileName = P.FileName;
  try {
    auto Get = reinterpret_cast<TGetPackageInfoTable>(dlsym(P.Handle, PackageInfoEntryName));
    if (!Get)
      throw EPackageError(U(FileName + " is not a package: it has no " + PackageInfoEntryName));
    P.Info = Get();
    if (!P.Info || P.Info->FormatVersion != PackageInfoFormatVersion)
      throw EPackageError(U(FileName + " has package information of an unknown format"));
    const TPackageInfo& Info = *P.Info;
    P.Name = Str(Info.Name);
    P.Description = Str(Info.Description);
    P.Version = Str(Info.Version.FileVersion);
    if (Info.Flags & pfRunOnly)
      throw EPackageError(U(FileName) + u" is a runtime package and cannot be installed");
    for (const TPackageRecord* Other : FLoadOrder)
      if (SameText(Other->Name, P.Name))
        throw EPackageError(u"A package named " + P.Name + u" is already loaded (" +
                            U(Other->FileName) + u")");
    for (const char16_t* Required : Info.Requires) {
      const UnicodeString R = Str(Required);
      const bool Host = std::any_of(std::begin(HostPackages), std::end(HostPackages),
                                    [&](const char16_t* H) { return SameText(H, R); });
      const bool Loaded =
          std::any_of(FLoadOrder.begin(), FLoadOrder.end(),
                      [&](const TPackageRecord* O) { return SameText(O->Name, R); });
      if (!Host && !Loaded)
        throw EPackageError(U(FileName) + u" requires package " + R + u", which is not loaded");
    }

    FRegistering = &P;
    struct TDone {
      TPackageRecord*& Field;
      ~TDone() { Field = nullptr; }
    } Done{FRegistering};
    for (const TPackageUnitInfo& Unit : Info.Contains)
      if (Unit.Register)
        Unit.Register();
  } catch (const EPackageError& E) {
    return E.Message();
  } catch (const Exception& E) {
    return U(FileName) + u" failed to register: " + E.Message();
  } catch (const std::exception& E) {
    return U(FileName + " failed to register: " + E.what());
  } catch (...) {
    return U(FileName + " failed to register: unknown failure");
  }
  return {};
}

void TPackageManager::Abandon(TPackageRecord& P, UnicodeString Failure) {
  const std::string Left = Release(P);
  if (!Left.empty())
    Failure += U("; " + Left);
  // Information that pointed into the library is gone with it; the texts stay.
  MoveTo(P, P.Handle ? TPackageState::StuckInMemory : TPackageState::Failed, Failure);
  throw EPackageError(Failure);
}

std::string TPackageManager::Release(TPackageRecord& Package) {
  std::string Problems;
  bool KeepCode = false;
  while (!Package.Wizards.empty()) {
    TPackageWizard W = std::move(Package.Wizards.back());
    Package.Wizards.pop_back();
    const int32_t Left = W.Wizard.Reset();
    if (Left > 0) {
      // Someone still holds the wizard; its code must stay.
      KeepCode = true;
      Problems += (Problems.empty() ? "" : "; ") + std::string("wizard ") + UTF8Encode(W.IDString) +
                  " is still referenced " + std::to_string(Left) +
                  " time(s), so the package's code stays loaded";
    }
  }
  HOST_ASSERT(Package.Wizards.empty(), "every wizard is let go before the library may go");
  if (Package.Handle && !KeepCode) {
    if (dlclose(Package.Handle) != 0) {
      const char* Why = dlerror();
      Problems += (Problems.empty() ? "" : "; ") + std::string("cannot unload ") +
                  Package.FileName + ": " + (Why ? Why : "unknown");
    } else {
      Package.Handle = nullptr;
    }
  }
  Package.Info = nullptr;
  return Problems;
}

void TPackageManager::Released(TPackageRecord& Package, const std::string& Problems) {
  // A library whose code had to stay is still in memory, and says why.
  HOST_ASSERT(Problems.empty() == !Package.Handle,
              "a package's library stays in memory exactly when its release had problems");
  if (Package.Handle)
    MoveTo(Package, TPackageState::StuckInMemory, U(Package.FileName + ": " + Problems));
  else
    MoveTo(Package, TPackageState::Unloaded);
}

namespace {
// The steps a package record may take, as its state's comment tells them.
[[maybe_unused]] bool MayMove(TPackageState From, TPackageState To) {
  using S = TPackageState;
  switch (To) {
  case S::Found:
    return From == S::Found || From == S::Failed || From == S::Unloaded;
  case S::Loaded:
    return From == S::Found;
  case S::Registered:
    return From == S::Loaded;
  case S::Failed: // from Failed or Unloaded too, when the file is not found again
    return From != S::Registered && From != S::StuckInMemory;
  case S::Unloaded:
    return From == S::Registered;
  case S::StuckInMemory:
    return From == S::Loaded || From == S::Registered;
  }
  return false;
}
} // namespace

void TPackageManager::MoveTo(TPackageRecord& P, TPackageState To, UnicodeString Error) {
  HOST_ASSERT(MayMove(P.State, To), "a package record takes only the steps its states allow");
  if (P.State == TPackageState::Registered)
    FLoadOrder.erase(std::remove(FLoadOrder.begin(), FLoadOrder.end(), &P), FLoadOrder.end());
  if (To == TPackageState::Found) {
    P.Name.clear();
    P.Description.clear();
    P.Version.clear();
    P.Info = nullptr;
    P.Wizards.clear();
  }
  if (To == TPackageState::Registered)
    FLoadOrder.push_back(&P);
  HOST_ASSERT((To == TPackageState::Loaded || To == TPackageState::Registered ||
               To == TPackageState::StuckInMemory) == (P.Handle != nullptr),
              "a package holds its library exactly while it is loaded, registered or stuck");
  P.State = To;
  P.LastError = std::move(Error);
}

TPackageRecord& TPackageManager::Lookup(std::string_view Name) const {
  auto It = std::find_if(FLoadOrder.begin(), FLoadOrder.end(), [&](const TPackageRecord* P) {
    return P->FileName == Name || Stem(P->FileName) == Name ||
           SameText(P->Name, U(std::string(Name)));
  });
  if (It == FLoadOrder.end())
    throw EPackageError(U("No package " + std::string(Name) + " is loaded"));
  return **It;
}

const TPackageRecord& TPackageManager::Find(std::string_view Name) const {
  return Lookup(Name);
}

void TPackageManager::Unload(std::string_view Name) {
  TPackageRecord& P = Lookup(Name);
  const std::string Problems = Release(P);
  Released(P, Problems);
  if (!Problems.empty())
    throw EPackageError(P.LastError);
}

void TPackageManager::UnloadAll() {
  std::string StaysLoaded;
  while (!FLoadOrder.empty()) {
    TPackageRecord& P = *FLoadOrder.back();
    const std::string Problems = Release(P);
    Released(P, Problems);
    if (!Problems.empty())
      StaysLoaded += (StaysLoaded.empty() ? "" : "; ") + UTF8Encode(P.LastError);
  }
  if (!StaysLoaded.empty())
    throw EPackageError(U("Not every package could be unloaded: " + StaysLoaded));
}
