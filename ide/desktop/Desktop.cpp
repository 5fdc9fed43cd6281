#include "Desktop.h"

#include "DesktopMainWindow.h"

#include "Failures.h"
#include "FormDialog.h"
#include "MenuMirrors.h"
#include "QtStrings.h"
#include "ToolBarMirror.h"

#include "Ide.h"
#include "Interpreter.h"

#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

// Lets Qt paint and settle for a moment.
void Settle(int Milliseconds) {
  QElapsedTimer T;
  T.start();
  while (T.elapsed() < Milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool DisplayAvailable() {
  const char* Display = std::getenv("DISPLAY");
  const char* Wayland = std::getenv("WAYLAND_DISPLAY");
  return (Display && *Display) || (Wayland && *Wayland);
}

} // namespace

QMenu* ShowOpenedMenu(DesktopMainWindow& Window, const TOpenedMenu& Opened) {
  // The views catch up with the model first (the tool bar rebuilds itself when it next can).
  QApplication::processEvents();
  if (Opened.Kind == TOpenedMenu::ButtonMenu && Opened.Button) {
    QToolButton* Q = Window.PaletteToolBarMirror()->ButtonNamed(ToQString(Opened.Button->Name()));
    if (!Q || !Q->menu())
      return nullptr;
    Q->menu()->popup(Q->mapToGlobal(QPoint(0, Q->height())));
    return Q->menu();
  }
  if (Opened.Kind != TOpenedMenu::MainMenuEntry || !Opened.Entry)
    return nullptr;
  // The entry's menu among those the bar shows now: menus of earlier rebuilds may still wait
  // for their deletion under the same name.
  MenuBarMirror* Mirror = Window.MainMenuMirror();
  QMenuBar* Bar = Window.MenuBar();
  auto Find = [&]() -> QMenu* {
    for (QAction* A : Bar->actions())
      if (A->menu() && A->menu()->objectName() == ToQString(Opened.Entry->Caption()))
        return A->menu();
    return nullptr;
  };
  QMenu* Menu = Find();
  if (!Menu && Opened.Entry->Count() > 0) {
    // An entry that got its first item after the bar last looked shows as a plain entry:
    // the bar catches up with the model first.
    Mirror->Rebuild();
    Menu = Find();
  }
  if (!Menu)
    return nullptr;
  // Under its entry, as a click on the entry opens it; the bar lays its entries out first.
  Bar->adjustSize();
  Bar->updateGeometry();
  QApplication::processEvents();
  const QRect Entry = Bar->actionGeometry(Menu->menuAction());
  Bar->setActiveAction(Menu->menuAction());
  if (!Menu->isVisible())
    Menu->popup(Bar->mapToGlobal(Entry.bottomLeft()));
  return Menu;
}

int RunDesktop(int Argc, char** Argv, const TStartOptions& Start) {
  QApplication App(Argc, Argv);
  THostIde Ide;
  int Code = 0;
  {
    DesktopMainWindow Window(Ide);
    Window.show();
    StartIde(Ide, Start, [&](const std::function<void()>& Step) { RunGuarded(&Window, Step); });
    Code = App.exec();
  }
  // The window is gone: what stays loaded is told on the terminal.
  StopIde(Ide, [](const std::function<void()>& Step) {
    try {
      Step();
    } catch (const Exception& E) {
      std::cerr << "hostide: " << UTF8Encode(E.Message()) << '\n';
    }
  });
  return Code;
}

int RunScriptInWindow(int Argc, char** Argv, const std::string& Script, bool Strict,
                      const std::string& Png, const TStartOptions& Start) {
  std::ifstream ScriptFile(Script);
  if (!ScriptFile) {
    std::cerr << "hostide: cannot read script " << Script << '\n';
    return 2;
  }
  TStreamLineReader Reader(ScriptFile);
  if (!DisplayAvailable() && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication App(Argc, Argv);
  THostIde Ide;
  TCommandInterpreter Interpreter(Ide, Reader, std::cout, Strict);
  auto Guard = [&](const std::function<void()>& Step) { Interpreter.Guard(Step); };
  int Code = 0;
  {
    DesktopMainWindow Window(Ide);
    // Installed after the window's own: while the script runs, messages are printed and modal
    // forms are worked by the script, never left waiting for a user who is not there.
    TInterpreterHooks Hooks(Interpreter);
    // Failures that reach the window outside a command (a menu shown for the picture) are
    // printed as the script's failures are, not shown in a box nobody can close.
    FailureSinkScope Failures([](QWidget*, const QString& Message) {
      std::cout << "error: " << Message.toStdString() << '\n';
    });
    Window.show();
    Settle(200);

    bool Saved = false;
    auto Save = [&] {
      Settle(300);
      const QImage Shot = Window.Screenshot();
      if (Shot.isNull() || !Shot.save(QString::fromStdString(Png)))
        std::cerr << "hostide: cannot save the screenshot to " << Png << '\n';
      Saved = true;
    };
    // A modal form opens as a real dialog while the script's commands work it; a script that
    // ends inside it gets the dialog in its picture.
    TModalRunnerScope Dialogs([&](TCustomForm& Form) {
      FormDialog Dialog(&Form, &Window);
      Dialog.show();
      Settle(100);
      return Interpreter.RunModal(Form);
    });
    Interpreter.OnInputEnd = [&] {
      if (Interpreter.ModalForm() && !Saved)
        Save();
    };
    try {
      StartIde(Ide, Start, Guard);
      Code = Interpreter.Run();
    } catch (const TStopScript&) {
      Code = 1;
    }
    Interpreter.OnInputEnd = nullptr;
    std::cout.flush();
    if (!Saved) {
      Settle(100);
      ShowOpenedMenu(Window, Interpreter.Opened());
      Save();
    }
  }
  // The window and its hooks are gone before the packages, as when the window is closed.
  try {
    StopIde(Ide, Guard);
  } catch (const TStopScript&) {
    Code = 1;
  }
  std::cout.flush();
  if (Code != 0)
    std::cerr << "hostide: " << Script << ": stopped after a failure\n";
  return Code;
}
