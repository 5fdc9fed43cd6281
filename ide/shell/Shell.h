// The terminal front end of hostide: the command interpreter over the IDE, its lines from the
// terminal (with line editing and a history kept between sessions), from standard input or
// from a script file.
#pragma once

#include "Startup.h"

#include <optional>
#include <string>

struct TShellOptions {
  TStartOptions Start;
  std::optional<std::string> Script; // run this file instead of reading the terminal
  bool Strict = false;               // with Script: stop at the first failure, exit status 1
};

// Builds and starts the IDE, runs the commands, stops the IDE; answers the exit status.
int RunShell(const TShellOptions& Options);
