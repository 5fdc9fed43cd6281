// Where the plugin finds the add-in it loads into the model: the file the environment variable
// ORVIK_PALETTE_MENU_PACKAGE names, when it is set (then nowhere else); else beside the host
// libraries of the build tree the plugin lies in (<plugin folder>/../../bin); else in the
// folder the add-in is installed to.
#pragma once

#include <string>
#include <vector>

struct AddInLocation {
  std::string Path;                // the file to load; empty when none was found
  std::vector<std::string> Looked; // every place looked at, in order
  // Why nothing can be loaded ("OrvikPaletteMenu170.so was not found in ..."), empty with a Path.
  std::string Failure() const;
};

// The places in order, from what the process gives: the variable's value (nullptr when unset),
// the plugin's own file, and the install folder.
AddInLocation LocateAddIn(const char* Variable, const std::string& PluginFile,
                          const std::string& InstalledDir);
// The same for this process and this plugin file.
AddInLocation LocateAddIn();
// The file of the module this code is linked into (found with dladdr), empty if unknown.
std::string PluginFile();
