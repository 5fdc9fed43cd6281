// The stand-in IDE's desktop window: the main menu as a menu bar, and the Tool Palette window
// as a dock holding "Toolbar1" and the categorised "Palette". It observes and drives the same
// model as the command shell; failures that reach it are shown in a message box.
#pragma once

#include <QMainWindow>

#include <memory>

class THostIde;
class MenuBarMirror;
class ModalDialogScope;
class PaletteMirror;
class ToolBarMirror;
class QDockWidget;
class QMenuBar;
class QToolBar;
class TMessageHandlerScope;

class DesktopMainWindow : public QMainWindow {
  Q_OBJECT
public:
  explicit DesktopMainWindow(THostIde& Ide);
  ~DesktopMainWindow() override;

  // The window's menu bar, all of it the model main menu's mirror.
  QMenuBar* MenuBar() const { return FMenuBar; }
  MenuBarMirror* MainMenuMirror() const { return FMenuBarMirror; }
  // "Toolbar1" of the Tool Palette window.
  QToolBar* ToolBar() const { return FToolBar; }
  ToolBarMirror* PaletteToolBarMirror() const { return FToolBarMirror; }
  PaletteMirror* PaletteView() const { return FPalette; }
  // What runs the host's queued main-thread calls from the event loop.

  // An image of the window together with its open menus and dialogs.
  QImage Screenshot() const;

private:
  THostIde& FIde;
  QMenuBar* FMenuBar;
  MenuBarMirror* FMenuBarMirror;
  QToolBar* FToolBar;
  ToolBarMirror* FToolBarMirror;
  PaletteMirror* FPalette;
  QDockWidget* FDock;
  // While the window lives it shows the IDE's messages and runs its modal forms as dialogs.
  std::unique_ptr<TMessageHandlerScope> FMessages;
  std::unique_ptr<ModalDialogScope> FModalForms;
};
