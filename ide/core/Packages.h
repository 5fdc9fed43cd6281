// The IDE's packages: loading a package reads its package information, checks what it
// requires, and calls the Register procedure of each of its units; the wizards those register
// belong to the package. Unloading releases the package's wizards (the last registered first)
// before the library itself is unloaded. A package whose Register fails is unloaded again at
// once, with whatever it registered, and the failure goes on to the caller.
//
// The IDE keeps one record per package file it was asked to load, whatever came of it: its
// state and the last failure, so that failed and unloaded packages can be listed too.
#pragma once

#include "designide/ToolsAPI.h"
#include "rtl/Exception.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TPackageInfo;

HOST_EXCEPTION_CLASS(EPackageError, Exception);

struct TPackageWizard {
  TInterfacePtr<IOTAWizard> Wizard;
  UnicodeString IDString;
  UnicodeString Name;
};

// Where a package is: its file found, its library loaded, its Register done (it works),
// failed (LastError says why; nothing of it is loaded), or unloaded again.
enum class TPackageState { Found, Loaded, Registered, Failed, Unloaded };
const char* PackageStateName(TPackageState State);

struct TLoadedPackage {
  TPackageState State = TPackageState::Found;
  // The last failure of a load or unload, empty when the last one went well. A package whose
  // unloading failed may stay Loaded: its code could not be unloaded.
  UnicodeString LastError;
  std::string Path;     // as opened
  std::string FileName; // without folders
  UnicodeString Name;   // the package's own name
  UnicodeString Description;
  UnicodeString Version; // file version
  const TPackageInfo* Info = nullptr;
  void* Handle = nullptr;
  std::vector<TPackageWizard> Wizards;
};

class TPackageManager : private TIdeBadgeIssuer {
public:
  // Packages named without a folder are looked for in the current folder, then in SearchDir.
  explicit TPackageManager(std::string SearchDir);
  ~TPackageManager();
  TPackageManager(const TPackageManager&) = delete;
  TPackageManager& operator=(const TPackageManager&) = delete;

  // Loads and registers a package; answers it. EPackageError names what went wrong, and the
  // package's record keeps it.
  const TLoadedPackage& Load(const std::string& File);
  // The registered package of that file name (with or without its suffix) or package name;
  // EPackageError when there is none.
  const TLoadedPackage& Find(std::string_view Name) const;
  // Unloads the package Find names.
  void Unload(std::string_view Name);
  // Unloads every registered package, the last loaded first. When one could not be unloaded
  // cleanly, EPackageError afterwards names every package that stays loaded and why.
  void UnloadAll();

  // Every package record, in the order the packages were first asked for.
  const std::vector<std::unique_ptr<TLoadedPackage>>& Packages() const { return FPackages; }
  // Whether any package is registered.
  bool AnyRegistered() const;
  // The folder of the running executable, where the build puts the packages.
  static std::string ExecutableDir();

private:
  void AddWizard(const TInterfacePtr<IOTAWizard>& Wizard);
  std::string Resolve(const std::string& File) const;
  TLoadedPackage& Lookup(std::string_view Name) const;
  // Releases the wizards and unloads the library; answers what could not be done cleanly.
  std::string Release(TLoadedPackage& Package);
  // The record of that file, made when there is none yet.
  TLoadedPackage& RecordFor(const std::string& FileName, const std::string& Path);
  // Ends a release: the package's state and error from what Release answered.
  void Released(TLoadedPackage& Package, const std::string& Problems);

  std::string FSearchDir;
  std::vector<std::unique_ptr<TLoadedPackage>> FPackages;
  std::vector<TLoadedPackage*> FLoadOrder; // the registered packages, the first loaded first
  TLoadedPackage* FRegistering = nullptr;
};
