// The desktop front end of hostide: the window, and scripts run in the window with a
// screenshot of it at the end.
#pragma once

#include <functional>
#include <string>

class THostIde;
class TShell;
class TLineReader;

// What the caller does once the IDE exists: fill the palette and load the packages. Failures
// are reported through Report.
using TStartIde = std::function<void(
    THostIde& Ide, const std::function<void(const std::function<void()>&)>& Report)>;

// Opens the window and runs the application until the window closes.
int RunDesktop(int Argc, char** Argv, const TStartIde& Start);

// Runs the script in the window (its output on stdout, as with --script), then saves an image
// of the window with the menu or dialog that is open at the end to Png. Without a display the
// window is drawn offscreen.
int RunScriptInWindow(int Argc, char** Argv, TLineReader& Script, bool Strict,
                      const std::string& Png, const TStartIde& Start);
