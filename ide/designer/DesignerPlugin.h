// The form-editor plugin that Qt Widgets Designer and Qt Creator's form editor load from the
// "designer" folder of their plugin paths. The hosts initialise form-editor plugins before their
// main window and Widget Box exist, so the session starts once both are there; it ends when the
// application is about to quit or the form editor goes, whichever comes first.
#pragma once

#include <QDesignerFormEditorInterface>
#include <QDesignerFormEditorPluginInterface>
#include <QObject>
#include <QPointer>

#include <memory>

class DesignerSession;
class FailureSinkScope;
class QTimer;

class PaletteMenuDesignerPlugin : public QObject, public QDesignerFormEditorPluginInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.Designer.QDesignerFormEditorPluginInterface")
  Q_INTERFACES(QDesignerFormEditorPluginInterface)
public:
  PaletteMenuDesignerPlugin();
  ~PaletteMenuDesignerPlugin() override;

  bool isInitialized() const override { return FInitialized; }
  void initialize(QDesignerFormEditorInterface* Core) override;
  // None: the plugin is no editing mode of the form editor (an action here would join the
  // host's editing-mode tool bar).
  QAction* action() const override { return nullptr; }
  QDesignerFormEditorInterface* core() const override { return FCore; }

private:
  void StartWhenReady();
  void End();

  bool FInitialized = false;
  QPointer<QDesignerFormEditorInterface> FCore;
  std::unique_ptr<FailureSinkScope> FFailures;
  std::unique_ptr<DesignerSession> FSession;
  QTimer* FWait = nullptr;
  int FWaited = 0;
};
