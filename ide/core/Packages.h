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

// Where a package is. A load moves Found -> Loaded -> Registered, each step only after the
// last one went well; an unload moves Registered -> Unloaded.
//   Found          its file was found; a load has begun.
//   Loaded         its library is loaded and its units are registering (only during a load).
//   Registered     its Register went well: it works, and its wizards are the IDE's.
//   Failed         its last load failed (LastError says why); nothing of it is in memory.
//   Unloaded       it was unloaded cleanly.
//   StuckInMemory  a load or unload failed to unload its library (LastError says why: say a
//                  wizard that someone still holds). Its code stays; it cannot be loaded again.
enum class TPackageState { Found, Loaded, Registered, Failed, Unloaded, StuckInMemory };
// The state as `packages` shows it: "found", "loaded", "registered", "failed", "unloaded",
// "stuck in memory".
const char* PackageStateName(TPackageState State);

// The IDE's record of one package file it was asked to load, whatever came of it.
struct TPackageRecord {
  TPackageState State = TPackageState::Found;
  // The last failure of a load or unload, empty when the last one went well.
  UnicodeString LastError;
  std::string Path;     // as opened
  std::string FileName; // without folders
  UnicodeString Name;   // the package's own name
  UnicodeString Description;
  UnicodeString Version;              // file version
  const TPackageInfo* Info = nullptr; // while Loaded or Registered: points into the library
  void* Handle = nullptr;             // while Loaded, Registered or StuckInMemory
  std::vector<TPackageWizard> Wizards;
};

class TPackageManager {
public:
  // Packages named without a folder are looked for in the current folder, then in SearchDir.
  explicit TPackageManager(std::string SearchDir);
  ~TPackageManager();
  TPackageManager(const TPackageManager&) = delete;
  TPackageManager& operator=(const TPackageManager&) = delete;

  // Loads and registers a package; answers it. EPackageError names what went wrong, and the
  // package's record keeps it.
  const TPackageRecord& Load(const std::string& File);
  // The registered package of that file name (with or without its suffix) or package name;
  // EPackageError when there is none.
  const TPackageRecord& Find(std::string_view Name) const;
  // Unloads the package Find names.
  void Unload(std::string_view Name);
  // Unloads every registered package, the last loaded first. When one could not be unloaded
  // cleanly, EPackageError afterwards names every package that stays loaded and why.
  void UnloadAll();

  // Every package record, in the order the packages were first asked for.
  const std::vector<std::unique_ptr<TPackageRecord>>& Packages() const { return FPackages; }
  // Whether any package is registered.
  bool AnyRegistered() const;
  // The folder of the running executable, where the build puts the packages.
  static std::string ExecutableDir();
  // The folder of the packages: beside the executable in the build tree; once installed, the
  // project's library folder, found relative to the executable's.
  static std::string PackageDir();

private:
  // The test aids may stand in for the package loader's wizard hook.
  friend class TWizardCatcher;
  static Badge<TPackageManager> WizardBadge() { return {}; }

  void AddWizard(const TInterfacePtr<IOTAWizard>& Wizard);
  std::string Resolve(const std::string& File) const;
  TPackageRecord& Lookup(std::string_view Name) const;
  // The record of that file, made when there is none yet.
  TPackageRecord& RecordFor(const std::string& FileName, const std::string& Path);

  // The steps of Load. Begin resolves the file and makes its record Found; OpenLibrary loads
  // the library (Loaded); RegisterUnits reads the package information and calls Register,
  // answering what failed (empty when nothing did); Abandon unloads a package whose
  // registration failed and throws.
  TPackageRecord& Begin(const std::string& File);
  void OpenLibrary(TPackageRecord& Package);
  UnicodeString RegisterUnits(TPackageRecord& Package);
  [[noreturn]] void Abandon(TPackageRecord& Package, UnicodeString Failure);

  // Releases the wizards and unloads the library; answers what could not be done cleanly.
  std::string Release(TPackageRecord& Package);
  // Ends an unload of a registered package: Unloaded, or StuckInMemory with what Release
  // answered.
  void Released(TPackageRecord& Package, const std::string& Problems);
  // The one place a record changes state: checks (in debug builds) that the step is one of
  // those above, sets the state and the last error, and keeps FLoadOrder to the registered
  // packages. Entering Found forgets what an earlier load learnt.
  void MoveTo(TPackageRecord& Package, TPackageState To, UnicodeString Error = {});

  std::string FSearchDir;
  std::vector<std::unique_ptr<TPackageRecord>> FPackages;
  std::vector<TPackageRecord*> FLoadOrder; // the registered packages, the first loaded first
  TPackageRecord* FRegistering = nullptr;
  TRegisterWizardHookScope FWizardHook;
};
