// The stand-in IDE's desktop window: the main menu as a menu bar, and the Tool Palette window
// as a dock holding "Toolbar1" and the categorised "Palette". It observes and drives the same
// model as the command shell; failures that reach it are shown in a message box.
#pragma once

#include <QMainWindow>

class THostIde;
class OvMenuBar;
class OvPaletteView;
class OvToolBarView;
class QDockWidget;

class OvMainWindow : public QMainWindow {
  Q_OBJECT
public:
  explicit OvMainWindow(THostIde& Ide);
  ~OvMainWindow() override;

  OvMenuBar* MenuBar() const { return FMenuBar; }
  OvToolBarView* ToolBarView() const { return FToolBar; }
  OvPaletteView* PaletteView() const { return FPalette; }

  // An image of the window together with its open menus and dialogs.
  QImage Screenshot() const;

private:
  THostIde& FIde;
  OvMenuBar* FMenuBar;
  OvToolBarView* FToolBar;
  OvPaletteView* FPalette;
  QDockWidget* FDock;
};
