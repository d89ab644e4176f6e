// The dimmio tool on Windows: the installed driver, reached through
// "\\.\Global\dimmio"; its service, the PCI ID database and the driver image
// beside the program.
#pragma once

#include "cli.h"

namespace dimmio::cli {

// A program path too long for the system to give whole (260 characters or
// more) makes the target Unusable: nothing is looked for in the current
// folder instead.
Target WindowsMachine();

// The first call of dimmio.exe and dimmio-gui.exe: DLLs the program loads
// come from the system folder only, never from the program's folder or the
// current one (SetDefaultDllDirectories where Windows has it; else
// SetDllDirectory(""), which takes the current folder out of the search).
void LoadDllsFromTheSystemFolderOnly();

}  // namespace dimmio::cli
