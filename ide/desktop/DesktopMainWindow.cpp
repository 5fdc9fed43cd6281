#include "DesktopMainWindow.h"

#include "Failures.h"
#include "FormDialog.h"
#include "MenuMirrors.h"
#include "MirrorRegistry.h"
#include "PaletteMirror.h"
#include "QtStrings.h"
#include "ToolBarMirror.h"

#include "Ide.h"

#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"

#include <QApplication>
#include <QDockWidget>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

DesktopMainWindow::DesktopMainWindow(THostIde& Ide) : FIde(Ide) {
  setObjectName(QStringLiteral("hostide"));
  setWindowTitle(QStringLiteral("hostide - the stand-in IDE"));
  resize(960, 640);

  FMenuBar = new QMenuBar(this);
  setMenuBar(FMenuBar);
  // The views of the model, each the mirror its class has in the registry the Qt front ends share.
  const MirrorRegistry& Mirrors = MirrorRegistry::Standard();
  FMenuBarMirror = Mirrors.CreateAs<MenuBarMirror>(Ide.MainMenu(), FMenuBar, this);

  auto* Editor = new QPlainTextEdit(this);
  Editor->setPlainText(QStringLiteral("unit Unit1;\n\ninterface\n\nimplementation\n\nend.\n"));
  setCentralWidget(Editor);

  FDock = new QDockWidget(QStringLiteral("Tool Palette"), this);
  FDock->setObjectName(QStringLiteral("ToolForm"));
  FDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* Panel = new QWidget(FDock);
  auto* Layout = new QVBoxLayout(Panel);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  FToolBar = new QToolBar(Panel);
  FToolBar->setObjectName(ToQString(Ide.ToolBar()->Name()));
  FToolBar->setMovable(false);
  FToolBar->setIconSize(QSize(16, 16));
  FToolBarMirror = Mirrors.CreateAs<ToolBarMirror>(Ide.ToolBar(), FToolBar, this);
  FPalette = Mirrors.CreateAs<PaletteMirror>(Ide.Palette(), Panel);
  Layout->addWidget(FToolBar);
  Layout->addWidget(FPalette, 1);
  FDock->setWidget(Panel);
  FDock->setMinimumWidth(240);
  addDockWidget(Qt::RightDockWidgetArea, FDock);

  // The model's messages and failures, shown as the IDE shows them.
  FMessages = std::make_unique<TMessageHandlerScope>(Ide, [this](const UnicodeString& Text) {
    QMessageBox::information(this, QStringLiteral("hostide"), ToQString(Text));
  });
  FModalForms = std::make_unique<ModalDialogScope>(this);

  // File > Exit asks the session to end.
  auto* Watch = new QTimer(this);
  connect(Watch, &QTimer::timeout, this, [this] {
    if (FIde.Terminated())
      close();
  });
  Watch->start(100);
}

DesktopMainWindow::~DesktopMainWindow() = default;

QImage DesktopMainWindow::Screenshot() const {
  // The window and whatever popups and dialogs stand over it: grab the screen where they are.
  QRect Area = frameGeometry();
  for (QWidget* W : QApplication::topLevelWidgets())
    if (W->isVisible() && W != this)
      Area = Area.united(W->frameGeometry());
  QScreen* Screen = QGuiApplication::primaryScreen();
  QImage Shot =
      Screen ? Screen->grabWindow(0, Area.x(), Area.y(), Area.width(), Area.height()).toImage()
             : QImage();
  if (!Shot.isNull() && Shot.pixelColor(Area.width() / 2, Area.height() / 2).alpha() != 0)
    return Shot;
  // No screen to grab (the offscreen platform): paint the windows ourselves.
  QImage Image(Area.size(), QImage::Format_ARGB32);
  Image.fill(Qt::white);
  QPainter P(&Image);
  auto Draw = [&](QWidget* W) {
    P.drawPixmap(W->geometry().topLeft() - Area.topLeft(), W->grab());
  };
  Draw(const_cast<DesktopMainWindow*>(this));
  for (QWidget* W : QApplication::topLevelWidgets())
    if (W->isVisible() && W != this)
      Draw(W);
  return Image;
}
