#include "Desktop.h"

#include "DesktopFailures.h"
#include "DesktopFormDialog.h"
#include "DesktopMainWindow.h"
#include "DesktopMenus.h"
#include "DesktopQtStrings.h"
#include "DesktopToolBarView.h"

#include "Ide.h"
#include "Shell.h"

#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QToolButton>

#include <cstdlib>
#include <iostream>

namespace {

// Lets Qt paint and settle for a moment.
void Settle(int Milliseconds) {
  QElapsedTimer T;
  T.start();
  while (T.elapsed() < Milliseconds)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Records the lines a script gives, and whether it has ended.
class TRecordingReader : public TLineReader {
public:
  explicit TRecordingReader(TLineReader& Inner) : FInner(Inner) {}
  bool ReadLine(std::string& Line, const std::string& Prompt) override {
    if (!FInner.ReadLine(Line, Prompt)) {
      if (!FEnded && OnEnd)
        OnEnd();
      FEnded = true;
      return false;
    }
    const size_t First = Line.find_first_not_of(" \t");
    if (First != std::string::npos && Line[First] != '#')
      FLast = Line.substr(First);
    return true;
  }
  bool Ended() const { return FEnded; }
  // Runs once, when the script has no more lines (before the shell acts on that).
  std::function<void()> OnEnd;
  const std::string& LastCommand() const { return FLast; }

private:
  TLineReader& FInner;
  bool FEnded = false;
  std::string FLast;
};

std::string Unquote(std::string S) {
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t' || S.back() == '\r'))
    S.pop_back();
  if (S.size() >= 2 && S.front() == '"' && S.back() == '"')
    S = S.substr(1, S.size() - 2);
  return S;
}

// Opens in the window the menu that the script's last command opened in the model.
void ShowLastMenu(DesktopMainWindow& Window, THostIde& Ide, const std::string& Command) {
  std::string Target;
  if (Command.rfind("open ", 0) == 0)
    Target = Unquote(Command.substr(5));
  else if (Command == "press" || Command.rfind("press ", 0) == 0)
    Target = "@button";
  if (Target.empty())
    return;
  if (Target[0] == '@') {
    const std::string Name = Target.substr(1);
    for (int I = 0; I < Ide.ToolBar()->ControlCount(); ++I) {
      auto* B = dynamic_cast<TToolButton*>(Ide.ToolBar()->Controls(I));
      if (!B || !B->Visible() || !B->DropdownMenu())
        continue;
      if (Name != "button" && UTF8Encode(B->Name()) != Name)
        continue;
      if (QToolButton* Q = Window.ToolBarView()->ButtonNamed(ToQString(B->Name())))
        if (Q->menu())
          Q->menu()->popup(Q->mapToGlobal(QPoint(0, Q->height())));
      return;
    }
    return;
  }
  if (QMenu* M = Window.MenuBar()->MenuFor(QString::fromStdString(Target))) {
    Window.MenuBar()->setActiveAction(M->menuAction());
    if (!M->isVisible())
      M->popup(Window.MenuBar()->mapToGlobal(
          Window.MenuBar()->actionGeometry(M->menuAction()).bottomLeft()));
  }
}

} // namespace

int RunDesktop(int Argc, char** Argv, const TStartIde& Start) {
  QApplication App(Argc, Argv);
  THostIde Ide;
  DesktopMainWindow Window(Ide);
  Window.show();
  Start(Ide, [&](const std::function<void()>& Action) { RunGuarded(&Window, Action); });
  return App.exec();
}

int RunScriptInWindow(int Argc, char** Argv, TLineReader& Script, bool Strict,
                      const std::string& Png, const TStartIde& Start) {
  const char* Display = std::getenv("DISPLAY");
  const char* Wayland = std::getenv("WAYLAND_DISPLAY");
  if (!(Display && *Display) && !(Wayland && *Wayland) && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication App(Argc, Argv);
  THostIde Ide;
  TRecordingReader Reader(Script);
  TShell Shell(Ide, Reader, std::cout, Strict);
  const TModalRunner ShellRunner = ModalRunner();
  DesktopMainWindow Window(Ide);
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
  // A modal form opens as a real dialog while the script's commands work it; a script that ends
  // inside it gets the dialog in its picture.
  bool InDialog = false;
  SetModalRunner([&](TCustomForm& Form) {
    DesktopFormDialog Dialog(&Form, &Window);
    Dialog.show();
    Settle(100);
    InDialog = true;
    const int Result = ShellRunner(Form);
    InDialog = false;
    return Result;
  });
  Reader.OnEnd = [&] {
    if (InDialog && !Saved)
      Save();
  };
  // The shell prints the starting failures as "error: ..." lines, as a script expects.
  int Code = 0;
  try {
    Start(Ide, [&](const std::function<void()>& Action) { Shell.Guard(Action); });
    Code = Shell.Run();
  } catch (const TStopScript&) {
    Code = 1;
  }
  std::cout.flush();
  if (!Saved) {
    Settle(100);
    ShowLastMenu(Window, Ide, Reader.LastCommand());
    Save();
  }
  return Code;
}
