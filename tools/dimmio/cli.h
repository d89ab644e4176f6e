// The dimmio command line: report, spd, probe, pci, boards where the tool
// runs on simulated boards, driver where it can install the driver. The
// commands talk to the driver only through a dimmio::Client, so the same
// source serves whatever transport the program was built with.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bus_locks.h"
#include "dimmio/transport.h"
#include "driver_service.h"
#include "file_writer.h"

namespace dimmio::cli {

struct BoardLine {
  std::string Name;
  std::string Description;
};

// Where the driver is.
struct Target {
  // The simulated boards the tool can load the driver on, the default
  // first; empty for a program that talks to an installed driver (then
  // there is neither --board nor the boards command).
  std::vector<BoardLine> Boards;
  // Opens the transport: on the named board, or ignoring the name when
  // there are no boards. Null with the reason in `error` when it cannot.
  std::function<std::unique_ptr<Transport>(const std::string& board, std::string* error)> Open;
  // Where the PCI ID database may be, tried in order.
  std::vector<std::string> PciIdsPaths;
  // The driver's service where the tool can install and start the driver
  // (then there is the driver command); null elsewhere.
  std::shared_ptr<DriverService> Service;
  // Called before bytes go to `out` as they are (spd --raw), for an output
  // that would otherwise change line ends; may be empty.
  std::function<void()> BinaryOutput;
  // The locks other hardware tools share, taken around the requests that
  // drive a bus; null takes none.
  std::shared_ptr<BusLocks> Locks;
  // How files the user names are written; empty: PlainFiles().
  FileWriter Files;
  // Why the program cannot run where it is ("" when it can): every command
  // but help fails with it.
  std::string Unusable;
};

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // a request failed or was refused
constexpr int kExitUsage = 2;   // the command line was not understood

// The target's way of writing files.
inline FileWriter Files(const Target& target) {
  return target.Files ? target.Files : PlainFiles();
}

// Runs one command line (`args` without the program name). Results go to
// `out`; errors are one line on `err`.
int Run(const std::vector<std::string>& args, const Target& target, std::ostream& out,
        std::ostream& err);

}  // namespace dimmio::cli
