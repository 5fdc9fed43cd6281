// The desktop front end of hostide: the window, and scripts run in the window with a
// screenshot of it at the end.
#pragma once

#include "Startup.h"

#include <string>

class DesktopMainWindow;
class QMenu;
struct TOpenedMenu;

// Opens the window and runs the application until the window closes.
int RunDesktop(int Argc, char** Argv, const TStartOptions& Start);

// Runs the script file in the window through the command interpreter (its output on stdout,
// as with --script), then saves an image of the window with the menu or dialog that is open at
// the end to Png. A modal form that a command opens shows as a dialog and is worked by the
// script's editor commands; a message of the IDE's own is printed. Without a display the
// window is drawn offscreen.
int RunScriptInWindow(int Argc, char** Argv, const std::string& Script, bool Strict,
                      const std::string& Png, const TStartOptions& Start);

// Shows in the window the menu that a command left open: a main-menu entry's menu under its
// entry in the menu bar, a tool button's menu under the button. Answers the Qt menu shown, or
// nullptr when there is none to show.
QMenu* ShowOpenedMenu(DesktopMainWindow& Window, const TOpenedMenu& Opened);
