// One command of the tool as a row of the command table: its name and help,
// the options it takes, the checks of its command line, and what it does.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli.h"
#include "dimmio/client.h"

namespace dimmio::cli {

// Everything any command line gives.
struct Options {
  std::string Board;
  bool Json = false;
  int64_t Slot = 0;
  int64_t Offset = 0;
  int64_t Count = DIMMIO_SPD_SIZE;
  CLI::Option* CountOption = nullptr;  // spd --count: when not given, the whole EEPROM
  int64_t Segment = 0;
  bool Raw = false;
  bool Decode = false;
  bool SideBySide = false;
  std::string Html;  // report, decode: the HTML page's file as well
  std::vector<std::string> Files;
  bool Yes = false;
  std::string PciBus;  // a bus number, or the whole address
  int64_t Bus = 0, Device = 0, Function = 0;
  CLI::Option* PciDevice = nullptr;  // DEV and FN as given, for the address check
  CLI::Option* PciFunction = nullptr;
  std::string DriverAction;
  bool Version = false;
};

// What a command runs with once its command line is understood.
struct Context {
  const Target& Where;
  Options& O;
  std::ostream& Out;
  std::ostream& Err;
  std::string Describe;      // where the driver runs, in words (the report's first line)
  Client* Driver = nullptr;  // set for the commands that talk to the driver
};

struct Command {
  const char* Name;
  const char* Help;
  bool (*Offered)(const Target&);           // null: on every target
  void (*AddOptions)(CLI::App&, Options&);  // null: none
  // The checks across options once they are parsed: the exit code to stop
  // with (the error written to `err`), or nothing to go on.
  std::optional<int> (*Check)(Options&, std::ostream& err);  // null: none
  bool TalksToDriver;
  const char* Failing;  // what failed, for a request the driver did not complete
  int (*Run)(const Command&, Context&);
};

// The commands in the order the help lists them; the first is the one run
// without a command.
std::span<const Command> Commands();

// This program's version and, where there is a driver service, the version
// of the driver file it has installed (--version).
int VersionCommand(const Target& target, const Options& o, std::ostream& out);

}  // namespace dimmio::cli
