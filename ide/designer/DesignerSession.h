// One session of the add-in in a form-designer host (Qt Widgets Designer, Qt Creator's form
// editor): the IDE model shaped for a real IDE, its palette mirroring the host's Widget Box, its
// tool bar "Toolbar1" at the top of the Widget Box, its main menu's entries after the host's own
// in the host's menu bar, its modal forms as dialogs over the host's main window, and the add-in
// loaded through the model's package manager.
//
// A failure to start or to load the add-in is shown once through the mirrors' failure sink,
// naming what failed, and the host goes on without it. A per-user hive the add-in cannot use is
// told once with what to do about it (HiveAdvice); the file is left alone, and the add-in runs
// on a stand-in store that reads as empty and refuses to save, until the host starts again. Stop
// (or the destructor) unloads the add-in (its destruction handler runs), takes the mirrors out of
// the host's windows and releases the model; the host's windows may already be gone by then.
#pragma once

#include <QDesignerFormEditorInterface>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QToolBar>

#include <memory>
#include <string>

class MenuBarMirror;
class ModalDialogScope;
class ToolBarMirror;
class TCurrentUserHiveScope;
class QDesignerWidgetBoxInterface;
class QMenuBar;
class THostIde;
class WidgetBoxMirror;
struct TPackageRecord;

class DesignerSession : public QObject {
  Q_OBJECT
public:
  explicit DesignerSession(QDesignerFormEditorInterface* Core, QObject* Parent = nullptr);
  ~DesignerSession() override;

  // Whether the host has built what the session needs: its main window and its Widget Box.
  static bool HostReady(QDesignerFormEditorInterface* Core);
  // Builds the model and the mirrors, then loads the add-in from AddInPath (when empty, from
  // where LocateAddIn finds it). Failures are shown, never thrown.
  void Start(const std::string& AddInPath = {});
  // Unloads the add-in and releases the mirrors and the model; what stays loaded is told on
  // standard error (the host is going). Safe to call again.
  void Stop();

  bool Started() const { return FIde != nullptr; }
  THostIde* Ide() const { return FIde.get(); }
  WidgetBoxMirror* WidgetBox() const { return FWidgetBox; }
  QToolBar* ToolBar() const { return FToolBar; }
  ToolBarMirror* PaletteToolBarMirror() const { return FToolBarMirror; }
  MenuBarMirror* MainMenuMirror() const { return FMenuBarMirror; }
  // The add-in's record in the package manager, or nullptr when no load was tried.
  const TPackageRecord* AddIn() const;

  // The host's menu bar: the main window's (made when it has none yet) or the first one found
  // among its children; nullptr when there is none.
  static QMenuBar* HostMenuBar(QWidget* MainWindow);

private:
  // Shows a failure through the failure sink unless the same was shown before.
  void ShowOnce(const QString& Message);
  void PlaceToolBar(QDesignerWidgetBoxInterface* Box);
  // Brings the Widget Box into view (WidgetBoxMirror::TRevealHost), saying why when it cannot.
  bool RevealWidgetBox(QDesignerWidgetBoxInterface* Box);
  // The add-in's file: AddInPath, or where LocateAddIn finds it; empty (and told) when none.
  std::string AddInFile(const std::string& AddInPath);
  // Tells what to do when the hive cannot be used, and gives the add-in a stand-in store.
  void CheckHive(const std::string& AddIn);
  void LoadAddIn(const std::string& Path);

  QPointer<QDesignerFormEditorInterface> FCore;
  std::unique_ptr<THostIde> FIde;
  std::unique_ptr<ModalDialogScope> FDialogs;
  std::unique_ptr<TCurrentUserHiveScope> FStandInHive; // while the hive cannot be used
  // Runs the calls queued to the main thread from the host's event loop.
  WidgetBoxMirror* FWidgetBox = nullptr;   // owned by the session
  ToolBarMirror* FToolBarMirror = nullptr; // owned by the session
  MenuBarMirror* FMenuBarMirror = nullptr; // owned by the session
  QPointer<QToolBar> FToolBar;             // a child of the Widget Box, which may go first
  std::string FAddInFile;                  // the file name of the add-in asked for
  QSet<QString> FShown;
};
