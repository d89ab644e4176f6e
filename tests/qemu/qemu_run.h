// Runs the emulator with a deadline and collects what it wrote.
#pragma once

#include <string>
#include <vector>

namespace qemucheck {

struct RunResult {
  std::string output;     // standard output and standard error, interleaved
  int exitCode = -1;      // the emulator's exit status, -1 if it did not exit by itself
  bool timedOut = false;  // killed at the deadline
  double seconds = 0;     // wall time from start to exit
  std::string error;      // why it could not be started
};

RunResult RunWithDeadline(const std::vector<std::string>& argv, double deadlineSeconds);

}  // namespace qemucheck
