#include "DesignerPlugin.h"

#include "DesignerSession.h"

#include "Failures.h"

#include <QApplication>
#include <QDesignerFormEditorInterface>
#include <QMessageBox>
#include <QTimer>

#include <iostream>

namespace {
// How long the session waits for the host's main window and Widget Box.
constexpr int WaitStepMs = 50;
constexpr int WaitLimitMs = 60000;

// A failure in the host: told on standard error and in a box over the host's window that does
// not hold the host up (the host may still be starting).
void ShowInHost(QWidget* Parent, const QString& Message) {
  std::cerr << "Orvik Palette Menu: " << Message.toStdString() << '\n';
  auto* Box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvik Palette Menu"), Message,
                              QMessageBox::Ok, Parent);
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->setModal(false);
  // What it names (files, commands to run) can be copied from it.
  Box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Box->show();
}
} // namespace

PaletteMenuDesignerPlugin::PaletteMenuDesignerPlugin() = default;

PaletteMenuDesignerPlugin::~PaletteMenuDesignerPlugin() {
  End();
}

void PaletteMenuDesignerPlugin::initialize(QDesignerFormEditorInterface* Core) {
  if (FInitialized)
    return;
  FInitialized = true;
  FCore = Core;
  FFailures = std::make_unique<FailureSinkScope>(&ShowInHost);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &PaletteMenuDesignerPlugin::End);
  // The form editor may go before the application quits (Qt Creator shuts its plugins down).
  connect(Core, &QObject::destroyed, this, &PaletteMenuDesignerPlugin::End);
  FWait = new QTimer(this);
  connect(FWait, &QTimer::timeout, this, &PaletteMenuDesignerPlugin::StartWhenReady);
  FWait->start(0);
}

void PaletteMenuDesignerPlugin::StartWhenReady() {
  if (!FCore) {
    FWait->stop();
    return;
  }
  if (!DesignerSession::HostReady(FCore)) {
    FWaited += FWait->interval();
    FWait->setInterval(WaitStepMs);
    if (FWaited > WaitLimitMs) {
      FWait->stop();
      ReportFailure(nullptr, QStringLiteral("The Orvik Palette Menu gave up: the host showed no "
                                            "main window with a Widget Box within a minute."));
    }
    return;
  }
  FWait->stop();
  FSession = std::make_unique<DesignerSession>(FCore);
  FSession->Start();
}

void PaletteMenuDesignerPlugin::End() {
  if (FWait)
    FWait->stop();
  if (FSession)
    FSession->Stop();
  FSession.reset();
  FFailures.reset();
}
