// Aids for tests, the fuzz targets and the command interpreter's `ide break`: they take the IDE
// apart in ways an add-in must survive, and stand in for the package loader. The IDE itself
// never uses them.
#pragma once

#include "Ide.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Takes away, one at a time, a piece of the IDE that an add-in relies on, and puts every piece
// back again. Break only while no package is registered (the add-in looks for the pieces when
// it registers). Pieces still broken when it goes are put back, for the IDE relies on them to
// close (the services above all); so it must not outlive the IDE.
class TIdeFaults {
public:
  explicit TIdeFaults(THostIde& Ide) : FIde(Ide) {}
  ~TIdeFaults();
  TIdeFaults(const TIdeFaults&) = delete;
  TIdeFaults& operator=(const TIdeFaults&) = delete;

  // The pieces Break knows: "toolform", "palette", "palette-class", "toolbar", ...
  static const std::vector<std::string>& PieceNames();
  // Takes Piece away. EInvalidOperation for an unknown or already broken piece, or while a
  // package is registered.
  void Break(const std::string& Piece);
  // Puts every broken piece back, the last broken first.
  void Repair();

private:
  THostIde& FIde;
  std::vector<std::pair<std::string, std::function<void()>>> FBroken; // piece, repair
};

// Stands in for the IDE's package loader while it lives: RegisterPackageWizard hands wizards to
// Hook instead, for a Register called directly by a test.
class TWizardCatcher {
public:
  explicit TWizardCatcher(TRegisterWizardHook Hook)
      : FScope(TPackageManager::WizardBadge(), std::move(Hook)) {}

private:
  TRegisterWizardHookScope FScope;
};
