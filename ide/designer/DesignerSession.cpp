#include "DesignerSession.h"

#include "AddInLocation.h"
#include "HiveTrouble.h"
#include "WidgetBoxMirror.h"

#include "Failures.h"
#include "FormDialog.h"
#include "Ide.h"
#include "MenuMirrors.h"
#include "QtStrings.h"
#include "ToolBarMirror.h"

#include "designide/ToolsAPI.h"
#include "rtl/Exception.h"
#include "rtl/RegistryHive.h"
#include "vcl/Menus.h"

#include <QAction>
#include <QBoxLayout>
#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowManagerInterface>
#include <QDesignerWidgetBoxInterface>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

#include <filesystem>
#include <iostream>

#include <unistd.h>

namespace {
const char Product[] = "Orvik Palette Menu";
// The command of Qt Creator's main window that switches to its Design mode.
const char DesignModeCommand[] = "QtCreator.Mode.Design";
} // namespace

DesignerSession::DesignerSession(QDesignerFormEditorInterface* Core, QObject* Parent)
    : QObject(Parent), FCore(Core) {}

DesignerSession::~DesignerSession() {
  Stop();
}

bool DesignerSession::HostReady(QDesignerFormEditorInterface* Core) {
  return Core && Core->topLevel() && Core->widgetBox();
}

QMenuBar* DesignerSession::HostMenuBar(QWidget* MainWindow) {
  if (!MainWindow)
    return nullptr;
  if (auto* Main = qobject_cast<QMainWindow*>(MainWindow))
    return Main->menuBar();
  return MainWindow->findChild<QMenuBar*>();
}

const TPackageRecord* DesignerSession::AddIn() const {
  if (!FIde || FAddInFile.empty())
    return nullptr;
  for (const auto& P : FIde->Packages().Packages())
    if (P->FileName == FAddInFile)
      return P.get();
  return nullptr;
}

void DesignerSession::ShowOnce(const QString& Message) {
  if (FShown.contains(Message))
    return;
  FShown.insert(Message);
  ReportFailure(FCore ? FCore->topLevel() : nullptr, Message);
}

void DesignerSession::Start(const std::string& AddInPath) {
  if (FIde || !FCore)
    return;
  QWidget* Main = FCore->topLevel();
  QDesignerWidgetBoxInterface* Box = FCore->widgetBox();
  if (BorlandIDEServices) {
    // An IDE model lives in this process already: the host loaded a second copy of the plugin
    // (one installed, one from QT_PLUGIN_PATH, say). The first one serves the host.
    ShowOnce(QStringLiteral("The %1 is loaded twice into this program; the copy in %2 stays "
                            "idle and the one loaded first serves it.")
                 .arg(Product, QString::fromStdString(PluginFile())));
    return;
  }
  try {
    FIde = std::make_unique<THostIde>(TIdeShape::Embedded);
  } catch (const Exception& E) {
    ShowOnce(QStringLiteral("The %1 cannot start: %2").arg(Product, ToQString(E.Message())));
    return;
  }
  FWidgetBox = new WidgetBoxMirror(
      Box, FIde->Palette(), [this](const QString& Message) { ShowOnce(Message); }, this);
  FWidgetBox->SetRevealHost([this](QDesignerWidgetBoxInterface* B) { return RevealWidgetBox(B); });
  PlaceToolBar(Box);
  if (QMenuBar* Bar = HostMenuBar(Main))
    FMenuBarMirror = new MenuBarMirror(FIde->MainMenu(), Bar, this);
  else
    ShowOnce(QStringLiteral("The %1 found no menu bar in the main window: \"P&alette\" cannot "
                            "be shown there.")
                 .arg(Product));
  FDialogs = std::make_unique<ModalDialogScope>(Main);
  const std::string AddIn = AddInFile(AddInPath);
  if (AddIn.empty())
    return;
  CheckHive(AddIn);
  LoadAddIn(AddIn);
}

bool DesignerSession::RevealWidgetBox(QDesignerWidgetBoxInterface* Box) {
  if (WidgetBoxMirror::ShowWidgetBox(Box))
    return true;
  // Still hidden: the host shows it in a mode of its own. Qt Creator has the form editor in its
  // Design mode, switched to by a command its main window carries (the mode is there only
  // while a form is open).
  QWidget* Main = FCore ? FCore->topLevel() : nullptr;
  QAction* DesignMode = nullptr;
  if (Main)
    for (QAction* A : Main->actions())
      if (A->objectName() == QLatin1String(DesignModeCommand))
        DesignMode = A;
  const bool FormOpen =
      FCore && FCore->formWindowManager() && FCore->formWindowManager()->formWindowCount() > 0;
  if (DesignMode && !FormOpen) {
    // Said at every choice: it answers what the user just asked for.
    ReportFailure(Main, QStringLiteral("No form is open, so there is no Widget Box to show the "
                                       "tab in: open a .ui file first."));
    return false;
  }
  if (DesignMode && DesignMode->isEnabled()) {
    DesignMode->trigger();
    if (Box->isVisible())
      return true;
  }
  ReportFailure(Main, QStringLiteral("The Widget Box is hidden and the %1 cannot show it: show "
                                     "it (or the form editor) and choose the tab again.")
                          .arg(Product));
  return false;
}

void DesignerSession::PlaceToolBar(QDesignerWidgetBoxInterface* Box) {
  if (!Box)
    return;
  // At the top of the Widget Box, above what it shows itself (its filter).
  auto* Layout = qobject_cast<QBoxLayout*>(Box->layout());
  if (!Layout) {
    ShowOnce(QStringLiteral("The Widget Box has no box layout: the %1's tool bar cannot be "
                            "placed at its top.")
                 .arg(Product));
    return;
  }
  FToolBar = new QToolBar(Box);
  FToolBar->setObjectName(QStringLiteral("Toolbar1"));
  FToolBar->setWindowTitle(QStringLiteral("Tool Palette"));
  FToolBar->setMovable(false);
  FToolBar->setFloatable(false);
  FToolBar->setIconSize(QSize(16, 16));
  Layout->insertWidget(0, FToolBar);
  FToolBarMirror = new ToolBarMirror(FIde->ToolBar(), FToolBar, this);
}

std::string DesignerSession::AddInFile(const std::string& AddInPath) {
  if (!AddInPath.empty())
    return AddInPath;
  const AddInLocation Location = LocateAddIn();
  if (Location.Path.empty())
    ShowOnce(QStringLiteral("The %1 add-in cannot be loaded: %2")
                 .arg(Product, QString::fromStdString(Location.Failure())));
  return Location.Path;
}

void DesignerSession::CheckHive(const std::string& AddIn) {
  std::optional<THiveTrouble> Trouble = CheckCurrentUserHive();
  if (!Trouble)
    return;
  // hostide beside the add-in (the build tree), else the installed one on the PATH.
  const std::filesystem::path Beside = std::filesystem::path(AddIn).parent_path() / "hostide";
  const std::string Hostide = access(Beside.c_str(), X_OK) == 0 ? Beside.string() : "hostide";
  QString Host = QGuiApplication::applicationDisplayName();
  if (Host.isEmpty())
    Host = QStringLiteral("this program");
  ShowOnce(QString::fromStdString(HiveAdvice(*Trouble, Host.toStdString(), Hostide)));
  FStandInHive = std::make_unique<TCurrentUserHiveScope>(
      [Trouble = *Trouble] { return NewStandInHive(Trouble); });
}

void DesignerSession::LoadAddIn(const std::string& Path) {
  FAddInFile = std::filesystem::path(Path).filename().string();
  try {
    FIde->Packages().Load(Path);
  } catch (const Exception& E) {
    ShowOnce(
        QStringLiteral("The %1 add-in cannot be loaded: %2").arg(Product, ToQString(E.Message())));
  }
}

void DesignerSession::Stop() {
  if (!FIde)
    return;
  // The add-in first, while everything it attached to is there: its destruction handler
  // shows the tool bar's own first button again and takes its menu and button away.
  try {
    FIde->Packages().UnloadAll();
  } catch (const Exception& E) {
    std::cerr << Product << ": " << UTF8Encode(E.Message()) << '\n';
  }
  FStandInHive.reset();
  FDialogs.reset();
  delete FMenuBarMirror;
  FMenuBarMirror = nullptr;
  delete FToolBarMirror;
  FToolBarMirror = nullptr;
  delete FToolBar.data();
  delete FWidgetBox;
  FWidgetBox = nullptr;
  FIde.reset();
}
