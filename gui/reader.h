// The machine's report read away from the window's thread: a slow
// bit-banged bus takes seconds, and the window keeps answering meanwhile.
#pragma once

#include <windows.h>

#include <string>

#include "cli.h"
#include "report_model.h"

namespace dimmio::gui {

struct ReadOutcome {
  bool Read = false;      // Model holds the machine's report
  bool NoDevice = false;  // the driver's device did not open
  Report Model;
  std::string Error;  // the tool's words for what failed, when not read
};

// What `dimmio report` gathers, through `target`'s driver, on segment 0.
ReadOutcome ReadReport(const cli::Target& target);

// Reads on a new thread and posts `message` to `window` with a ReadOutcome*
// in lParam, which the window then owns. False when no thread starts.
bool StartReading(const cli::Target& target, HWND window, UINT message);

}  // namespace dimmio::gui
