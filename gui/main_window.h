// dimmio's window: the slot list, the selected module's facts, timings and
// bytes, tabs for SMBIOS and PCI; Refresh, Save, Copy; and, when the
// driver's device does not open, the offer to install and start it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "save.h"

namespace dimmio::gui {

// What the command line asks of the window beyond showing it: files to save
// once the first read has ended, and closing then (exit 0 when the read and
// every save succeeded, else 1).
struct StartOptions {
  std::vector<std::pair<SaveKind, std::string>> Saves;
  bool Close = false;
};

// Shows the window and runs its messages until it closes; the exit code.
int RunMainWindow(HINSTANCE instance, int show, const StartOptions& options);

}  // namespace dimmio::gui
