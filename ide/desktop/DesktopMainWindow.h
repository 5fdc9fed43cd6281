// The stand-in IDE's desktop window: the main menu as a menu bar, and the Tool Palette window
// as a dock holding "Toolbar1" and the categorised "Palette". It observes and drives the same
// model as the command shell; failures that reach it are shown in a message box.
#pragma once

#include <QMainWindow>

#include <memory>

class THostIde;
class DesktopMenuBar;
class DesktopPaletteView;
class DesktopToolBarView;
class QDockWidget;
class TMessageHandlerScope;
class TModalRunnerScope;

class DesktopMainWindow : public QMainWindow {
  Q_OBJECT
public:
  explicit DesktopMainWindow(THostIde& Ide);
  ~DesktopMainWindow() override;

  DesktopMenuBar* MenuBar() const { return FMenuBar; }
  DesktopToolBarView* ToolBarView() const { return FToolBar; }
  DesktopPaletteView* PaletteView() const { return FPalette; }

  // An image of the window together with its open menus and dialogs.
  QImage Screenshot() const;

private:
  THostIde& FIde;
  DesktopMenuBar* FMenuBar;
  DesktopToolBarView* FToolBar;
  DesktopPaletteView* FPalette;
  QDockWidget* FDock;
  // While the window lives it shows the IDE's messages and runs its modal forms as dialogs.
  std::unique_ptr<TMessageHandlerScope> FMessages;
  std::unique_ptr<TModalRunnerScope> FModalForms;
};
