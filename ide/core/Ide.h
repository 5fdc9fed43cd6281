// The stand-in IDE's model: the main form with its main menu, the Tool Palette window
// "ToolForm" with its palette "Palette" and tool bar "Toolbar1", the IDE services behind
// BorlandIDEServices, and the packages. Front ends (the command shell, a desktop window) drive
// and observe it; it does no terminal or window work of its own. Failures go to the caller,
// which shows them: that is the IDE's event boundary.
#pragma once

#include "Packages.h"
#include "PaletteFile.h"

#include "rtl/ScopedHook.h"
#include "rtl/UnicodeString.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TForm;
class TMainMenu;
class TMenuItem;
class TCategoryButtons;
class TToolBar;
class TToolButton;
class TImageList;
class TIdeServices;

// Which IDE the model stands for. The stand-in shows its own main-menu entries (File, Edit, ...
// Help) and a tool bar with a captions button that its window draws. A real IDE that lends its
// windows to the model (a host plugin) has menus and a palette view of its own: its model's
// main menu holds only what packages add, and its tool bar only the buttons that act on the
// palette (collapse all, expand all).
enum class TIdeShape { StandIn, Embedded };

class THostIde {
public:
  // Builds the IDE with an empty palette and no package. Packages are looked for beside the
  // executable. Only one IDE may exist at a time (it fills Application, Screen and
  // BorlandIDEServices).
  explicit THostIde(TIdeShape Shape = TIdeShape::StandIn);
  // Unloads the packages (the last loaded first) before anything else goes.
  ~THostIde();
  THostIde(const THostIde&) = delete;
  THostIde& operator=(const THostIde&) = delete;

  TForm* MainForm() const { return FMainForm; }
  TMainMenu* MainMenu() const { return FMainMenu; }
  TForm* ToolForm() const { return FToolForm; }
  TCategoryButtons* Palette() const { return FPalette; }
  TToolBar* ToolBar() const { return FToolBar; }
  TImageList* ToolImages() const { return FToolImages; }
  TImageList* MainImages() const { return FMainImages; }
  TPackageManager& Packages() { return *FPackages; }
  TIdeShape Shape() const { return FShape; }

  void LoadPalette(const std::vector<TPaletteCategory>& Categories);
  // The palette that comes with the IDE.
  static std::vector<TPaletteCategory> DefaultPalette();
  // The add-in built with the IDE, beside the executable.
  static std::string DefaultPackage();

  // Shows a message of the IDE's own (Help > About) through the handler in force; the front end
  // installs one with a TMessageHandlerScope. Without one the message goes nowhere.
  using TMessageHandler = std::function<void(const UnicodeString& Text)>;
  void ShowMessage(const UnicodeString& Text) const;
  THookSlot<TMessageHandler>& MessageHandlers() { return FMessageHandlers; }
  // File > Exit asks the front end to end the session.
  bool Terminated() const { return FTerminated; }
  void Terminate() { FTerminated = true; }

private:
  void BuildMainForm();
  void BuildToolForm();
  TMenuItem* AddMenuItem(TMenuItem* Parent, const UnicodeString& Caption,
                         std::function<void()> Action = nullptr);
  void SetAllCollapsed(bool Collapsed);

  TIdeShape FShape;
  TForm* FMainForm = nullptr;
  TMainMenu* FMainMenu = nullptr;
  TImageList* FMainImages = nullptr;
  TForm* FToolForm = nullptr;
  TCategoryButtons* FPalette = nullptr;
  TToolBar* FToolBar = nullptr;
  TImageList* FToolImages = nullptr;
  TIdeServices* FServices = nullptr; // kept alive by BorlandIDEServices while the IDE runs
  std::unique_ptr<TPackageManager> FPackages;
  bool FTerminated = false;
  THookSlot<TMessageHandler> FMessageHandlers;
};

// Installs the IDE's message handler while it lives; the one it covered is in force again
// afterwards.
class TMessageHandlerScope {
public:
  TMessageHandlerScope(THostIde& Ide, THostIde::TMessageHandler Handler)
      : FScope(Ide.MessageHandlers(), std::move(Handler)) {}

private:
  THookSlot<THostIde::TMessageHandler>::TScope FScope;
};
