// The IDE's packages: loading a package reads its package information, checks what it
// requires, and calls the Register procedure of each of its units; the wizards those register
// belong to the package. Unloading releases the package's wizards (the last registered first)
// before the library itself is unloaded. A package whose Register fails is unloaded again at
// once, with whatever it registered, and the failure goes on to the caller.
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

struct TLoadedPackage {
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

  // Loads and registers a package; answers it. EPackageError names what went wrong.
  const TLoadedPackage& Load(const std::string& File);
  // The loaded package of that file name (with or without its suffix) or package name;
  // EPackageError when there is none.
  const TLoadedPackage& Find(std::string_view Name) const;
  // Unloads the package Find names.
  void Unload(std::string_view Name);
  // Unloads every package, the last loaded first.
  void UnloadAll();

  const std::vector<std::unique_ptr<TLoadedPackage>>& Packages() const { return FPackages; }
  // The folder of the running executable, where the build puts the packages.
  static std::string ExecutableDir();

private:
  void AddWizard(const TInterfacePtr<IOTAWizard>& Wizard);
  std::string Resolve(const std::string& File) const;
  std::vector<std::unique_ptr<TLoadedPackage>>::const_iterator Lookup(std::string_view Name) const;
  // Releases the wizards and unloads the library; answers what could not be done cleanly.
  std::string Release(TLoadedPackage& Package);

  std::string FSearchDir;
  std::vector<std::unique_ptr<TLoadedPackage>> FPackages;
  TLoadedPackage* FRegistering = nullptr;
};
