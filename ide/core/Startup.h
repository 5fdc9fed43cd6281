// The IDE's start and stop sequence, the same for every front end: fill the palette and load
// the packages; at the end unload them, the last loaded first. Each step that fails is handed
// to the front end's event boundary, which shows it, and the IDE goes on.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class THostIde;

struct TStartOptions {
  std::optional<std::string> Palette; // the palette file; the IDE's own palette without one
  std::vector<std::string> Packages;  // loaded in order; the add-in built with the IDE when empty
  bool NoPackage = false;             // load no package at all
};

// Runs one step at the front end's event boundary, which shows a failure.
using TRunGuarded = std::function<void(const std::function<void()>& Step)>;

void StartIde(THostIde& Ide, const TStartOptions& Options, const TRunGuarded& Guard);
// Unloads every package; what stays loaded is reported through Guard.
void StopIde(THostIde& Ide, const TRunGuarded& Guard);
