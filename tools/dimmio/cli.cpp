#include "cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>

#include "decode.h"
#include "dimmio/client.h"
#include "dimmio_version.h"
#include "pci_names.h"
#include "report.h"

namespace dimmio::cli {

namespace {

struct Options {
  std::string Board;
  bool Json = false;
  int64_t Slot = 0;
  int64_t Offset = 0;
  int64_t Count = DIMMIO_SPD_SIZE;
  int64_t Segment = 0;
  bool Raw = false;
  bool Decode = false;
  bool SideBySide = false;
  std::vector<std::string> Files;
  bool Yes = false;
  std::string PciBus;  // a bus number, or the whole address
  int64_t Bus = 0, Device = 0, Function = 0;
  std::string DriverAction;
  bool Version = false;
};

// What the driver's configuration dump accepts: bus 0, devices 0-30 and
// functions 0-6 (it refuses device 31 and function 7 too).
constexpr int64_t kDumpBuses = 1, kDumpDevices = 31, kDumpFunctions = 7;

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// A request the driver did not complete, as one line: what was asked, and
// the completion status (or the transport's error, whatever the system's
// message holds) by name.
int RequestFailed(const std::string& what, const RequestError& error, std::ostream& err,
                  const std::string& hint = "") {
  err << "dimmio: " << what << " failed: " << PrintableText(error.Text) << hint << '\n';
  return kExitFailed;
}

int ReportCommand(Client& client, const Options& o, const std::string& target,
                  const Target& where, std::ostream& out, std::ostream& err) {
  auto report = GatherReport(client, static_cast<uint32_t>(o.Segment), where.Locks.get());
  if (!report) return RequestFailed("the report", report.error(), err);
  Report r = *report;
  r.Target = target;
  r.Board = o.Board;
  r.SideBySide = o.SideBySide;
  std::vector<PciId> functions{{r.Chipset.VendorId, r.Chipset.DeviceId}};
  for (const PciDeviceRecord& f : r.Pci) functions.push_back({f.VendorId, f.DeviceId});
  r.Names = PciNames::Load(where.PciIdsPaths, functions);
  if (o.Json) {
    PrintJson(out, ReportJson(r));
  } else {
    PrintReport(r, out);
  }
  return kExitDone;
}

int SpdCommand(Client& client, const Options& o, const Target& target, std::ostream& out,
               std::ostream& err) {
  const auto slot = static_cast<uint8_t>(o.Slot);
  const auto segment = static_cast<uint32_t>(o.Segment);
  const auto read = OnSmbus(target.Locks.get(), segment, [&] {
    return OnSegment(client, segment, [&] {
      return client.ReadSpd(slot, static_cast<uint8_t>(o.Offset), static_cast<uint32_t>(o.Count));
    });
  });
  if (!read) return RequestFailed("the SPD read", read.error(), err);
  const bool complete = read->Bytes.size() == static_cast<size_t>(o.Count);
  if (o.Raw) {
    if (target.BinaryOutput) target.BinaryOutput();
    out.write(reinterpret_cast<const char*>(read->Bytes.data()),
              static_cast<std::streamsize>(read->Bytes.size()));
  } else if (o.Json) {
    nlohmann::json json = {{"slot", o.Slot},      {"address", 0x50 + o.Slot},
                           {"segment", o.Segment}, {"offset", o.Offset},
                           {"count", o.Count},     {"bytes_read", read->Bytes.size()},
                           {"data", read->Bytes},  {"status", StatusJson(read->Status)}};
    if (o.Offset == 0 && read->Bytes.size() >= kSpdDecodedBytes) {
      json["spd"] = SpdJson(DecodeSpd(read->Bytes));
    }
    PrintJson(out, json);
  } else if (o.Decode && complete) {
    out << "SPD of slot " << o.Slot << " (SMBus address 0x" << Hex(0x50u + slot, 2)
        << ", segment " << o.Segment << "), decoded from " << o.Count << " bytes\n";
    PrintSpdDecode(read->Bytes, out);
  } else {
    out << "SPD of slot " << o.Slot << " (SMBus address 0x" << Hex(0x50u + slot, 2)
        << ", segment " << o.Segment << "): " << o.Count << " bytes from offset 0x"
        << Hex(static_cast<uint32_t>(o.Offset), 2) << '\n'
        << HexDump(read->Bytes, static_cast<uint32_t>(o.Offset), DIMMIO_SPD_SIZE) << read->Bytes.size()
        << " of " << o.Count << " bytes read; status: " << DescribeStatus(read->Status) << '\n';
  }
  if (!complete) {
    err << "dimmio: slot " << o.Slot << ": "
        << (read->Bytes.empty() && read->Status.Code == DIMMIO_ERROR_SPD_BLOCK_READ
                ? "no module answered"
                : "the read stopped after " + std::to_string(read->Bytes.size()) + " bytes")
        << " (" << DescribeStatus(read->Status) << ")\n";
    return kExitFailed;
  }
  return kExitDone;
}

const char* ProbeMeaning(int32_t result, uint32_t code) {
  if (result == DIMMIO_PROBE_UNCHANGED && code == DIMMIO_ERROR_SPD_WRITES_BLOCKED) {
    return "the SPD is not writable: the chipset blocks SPD writes (nothing was written)";
  }
  switch (result) {
    case DIMMIO_PROBE_WRITABLE:
      return "the SPD accepts writes: the byte took the changed value, was restored and verified";
    case DIMMIO_PROBE_UNCHANGED:
      return "the SPD kept its byte: it is write-protected (or the changing write failed)";
    case -1: return "the probe could not start: no controller, or the first read failed";
    case -2: return "the read-back after the changing write failed";
    case -3: return "restoring the byte failed: it may keep the changed value";
    case -4: return "the read after restoring failed";
    case -5: return "the byte read after restoring differs from the original";
    default: return "unknown result";
  }
}

int ProbeCommand(Client& client, const Options& o, BusLocks* locks, std::ostream& out,
                 std::ostream& err) {
  const auto slot = static_cast<uint8_t>(o.Slot);
  if (!o.Json) {
    out << "Write probe of slot " << o.Slot << " (SMBus address 0x" << Hex(0x50u + slot, 2)
        << ", segment " << o.Segment << ").\n"
        << "This writes to the module's SPD EEPROM: it changes byte 74 (0x4A), reads it back,\n"
        << "then writes the original value back and checks it.\n";
  }
  const auto segment = static_cast<uint32_t>(o.Segment);
  const auto probe = OnSmbus(locks, segment, [&] {
    return OnSegment(client, segment, [&] { return client.ProbeSpdWrite(slot); });
  });
  if (!probe) return RequestFailed("the write probe", probe.error(), err);
  if (o.Json) {
    PrintJson(out, {{"slot", o.Slot},
                    {"segment", o.Segment},
                    {"writes_to_module", true},
                    {"result", probe->Result},
                    {"meaning", ProbeMeaning(probe->Result, probe->Status.Code)},
                    {"status", StatusJson(probe->Status)}});
  } else {
    out << "result " << probe->Result << ": " << ProbeMeaning(probe->Result, probe->Status.Code) << '\n'
        << "status: " << DescribeStatus(probe->Status) << '\n';
  }
  if (probe->Result < 0) {
    err << "dimmio: the write probe of slot " << o.Slot
        << " did not finish: " << DescribeStatus(probe->Status) << '\n';
    return kExitFailed;
  }
  return kExitDone;
}

int PciCommand(Client& client, const Options& o, const Target& target, std::ostream& out,
               std::ostream& err) {
  const auto space = WithBuses(target.Locks.get(), {Bus::Pci}, [&] {
    return client.ReadPciConfig(static_cast<uint32_t>(o.Bus), static_cast<uint32_t>(o.Device),
                                static_cast<uint32_t>(o.Function));
  });
  if (!space) {
    return RequestFailed("the configuration dump", space.error(), err);
  }
  const PciConfigSpace& c = *space;
  const auto word = [&](int at) { return static_cast<uint32_t>(c[at] | c[at + 1] << 8); };
  const uint32_t vendor = word(0), device = word(2);
  const uint32_t classCode = static_cast<uint32_t>(c[0x09] | c[0x0A] << 8 | c[0x0B] << 16);
  const bool present = vendor != 0xFFFF;
  const PciDeviceRecord where{static_cast<uint32_t>(o.Bus), static_cast<uint32_t>(o.Device),
                              static_cast<uint32_t>(o.Function), vendor, device, 0};
  const PciNames names =
      present ? PciNames::Load(target.PciIdsPaths, {{vendor, device}}) : PciNames();
  const std::string name = names.Name(vendor, device);
  if (o.Json) {
    nlohmann::json json = {{"address", PciAddress(where)}, {"present", present},
                           {"config", std::vector<uint8_t>(c.begin(), c.end())}};
    if (present) {
      json.update({{"vendor_id", vendor}, {"device_id", device}, {"class_code", classCode},
                   {"revision", c[0x08]}, {"header_type", c[0x0E]}});
      if (!name.empty()) json["name"] = name;
    }
    PrintJson(out, json);
    return kExitDone;
  }
  out << "PCI configuration space of " << PciAddress(where) << " (bus:device.function), 256 bytes\n";
  if (!name.empty()) out << name << '\n';
  if (present) {
    out << "vendor " << Hex(vendor, 4) << ", device " << Hex(device, 4) << ", revision "
        << Hex(c[0x08], 2) << ", class " << Hex(classCode, 6) << ", header type "
        << Hex(c[0x0E], 2) << '\n';
  } else {
    out << "no function answers here: every register reads as all ones\n";
  }
  out << HexDump(c, 0);
  return kExitDone;
}

std::string VersionText(const std::array<uint16_t, 4>& v) {
  const std::string text = std::to_string(v[0]) + '.' + std::to_string(v[1]) + '.' + std::to_string(v[2]);
  return v[3] == 0 ? text : text + '.' + std::to_string(v[3]);
}

// This program's version and, where there is a driver service, the version of
// the driver file it has installed.
int VersionCommand(const Target& target, const Options& o, std::ostream& out) {
  constexpr std::array<uint16_t, 4> kVersion{DIMMIO_VERSION_MAJOR, DIMMIO_VERSION_MINOR,
                                             DIMMIO_VERSION_PATCH, DIMMIO_VERSION_BUILD};
  const std::string version = VersionText(kVersion);
  nlohmann::json json = {{"version", version}};
  std::string text = "dimmio " + version + '\n';
  if (target.Service) {
    const DriverService::Installed driver = target.Service->InstalledDriver();
    nlohmann::json& j = json["driver"] = {{"installed", driver.Service}};
    const std::string file = PrintableText(driver.File), problem = PrintableText(driver.Problem);
    if (!driver.Service) {
      text += "driver: not installed (`dimmio driver install` installs the dimmio.sys beside dimmio.exe)\n";
    } else if (!driver.Version) {
      j.update({{"file", file}, {"version", nullptr}, {"problem", problem}});
      text += "driver: " + (file.empty() ? "" : file + ": ") + problem + '\n';
    } else {
      const std::string installed = VersionText(*driver.Version);
      j.update({{"file", file}, {"version", installed}, {"same_as_tool", *driver.Version == kVersion}});
      text += "driver: " + installed + " (" + file + ")\n";
      if (*driver.Version != kVersion) {
        text += "the installed driver (" + installed + ") is not this program's (" + version +
                "): `dimmio driver remove`, then `dimmio driver install` beside this dimmio.exe\n";
      }
    }
  }
  if (o.Json) {
    PrintJson(out, json);
  } else {
    out << text;
  }
  return kExitDone;
}

int BoardsCommand(const Target& target, const Options& o, std::ostream& out) {
  if (o.Json) {
    nlohmann::json json = nlohmann::json::array();
    for (size_t i = 0; i < target.Boards.size(); ++i) {
      json.push_back({{"name", target.Boards[i].Name},
                      {"description", target.Boards[i].Description},
                      {"default", i == 0}});
    }
    PrintJson(out, json);
    return kExitDone;
  }
  size_t width = 0;
  for (const BoardLine& b : target.Boards) width = std::max(width, b.Name.size());
  for (size_t i = 0; i < target.Boards.size(); ++i) {
    const BoardLine& b = target.Boards[i];
    out << std::left << std::setw(static_cast<int>(width + 2)) << b.Name << b.Description
        << (i == 0 ? "  (default)" : "") << '\n';
  }
  return kExitDone;
}

int DriverCommand(DriverService& service, const Options& o, std::ostream& out, std::ostream& err) {
  const DriverService::Outcome outcome = o.DriverAction == "install" ? service.Install()
                                         : o.DriverAction == "start" ? service.Start()
                                         : o.DriverAction == "stop"  ? service.Stop()
                                                                     : service.Remove();
  // The system's messages and the driver file's path come as the system
  // gives them, in whatever code page.
  const std::string message = PrintableText(outcome.Message);
  if (o.Json) {
    PrintJson(out, {{"action", o.DriverAction}, {"done", outcome.Done}, {"message", message}});
  } else if (outcome.Done) {
    out << message << '\n';
  }
  if (outcome.Done) return kExitDone;
  err << "dimmio: " << message << '\n';
  return kExitFailed;
}

std::string Describe(const Target& target, const std::string& board) {
  if (target.Boards.empty()) return "this machine";
  for (const BoardLine& b : target.Boards) {
    if (b.Name == board) return "the simulated board " + b.Name + ": " + b.Description;
  }
  return board;
}

// CLI11's messages can span lines; the tool's errors are one line each.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int RunCommandLine(const std::vector<std::string>& args, const Target& target,
                   std::ostream& out, std::ostream& err) {
  Options o;
  CLI::App app{"dimmio: memory modules' SPD, PCI and SMBIOS through the dimmio driver", "dimmio"};
  app.fallthrough();
  // The same grammar on every target: CLI11 would take "/slot" for "--slot" on Windows.
  app.allow_windows_style_options(false);
  app.require_subcommand(0, 1);
  // Left-over arguments are reported below, in the order they were given.
  app.allow_extras();
  const bool simulated = !target.Boards.empty();
  if (simulated) {
    o.Board = target.Boards.front().Name;
    std::vector<std::string> names;
    for (const BoardLine& b : target.Boards) names.push_back(b.Name);
    app.add_option("--board", o.Board, "simulated board to run the driver on (see `boards`)")
        ->check(CLI::IsMember(names))
        ->capture_default_str();
  }
  app.add_flag("--json", o.Json, "machine-readable output");
  app.add_flag("--version", o.Version,
               std::string("this program's version") + (target.Service ? " and the installed driver's" : ""));
  app.footer(std::string("Every command takes --json") +
             (simulated ? " and --board NAME (before or after the command)." : ".") +
             " Without a command: report.\n"
             "Numbers may be given in decimal or as 0x-hex.");

  const auto segmentOption = [&](CLI::App* command) {
    command->add_option("--segment", o.Segment, "SMBus segment the slots are on (0 or 1)")
        ->check(CLI::Range(int64_t{0}, int64_t{1}))
        ->capture_default_str();
  };
  const auto slotOption = [&](CLI::App* command) {
    command->add_option("--slot", o.Slot, "memory slot, 0-7 (SMBus address 0x50+slot)")
        ->required()
        ->check(CLI::Range(int64_t{0}, int64_t{kSlots - 1}));
  };

  CLI::App* report = app.add_subcommand(
      "report", "chipset, PCI functions, every slot's module from its SPD, SMBIOS (the default)");
  segmentOption(report);
  report->add_flag("--side-by-side", o.SideBySide,
                   "the modules decoded in one table, a column per slot, the rows that differ marked");

  CLI::App* spd = app.add_subcommand("spd", "read and dump a slot's SPD bytes");
  slotOption(spd);
  spd->add_option("--offset", o.Offset, "first SPD byte, 0-255")
      ->check(CLI::Range(int64_t{0}, int64_t{255}))
      ->capture_default_str();
  spd->add_option("--count", o.Count, "number of bytes, 1-256")
      ->check(CLI::Range(int64_t{1}, int64_t{DIMMIO_SPD_SIZE}))
      ->capture_default_str();
  segmentOption(spd);
  spd->add_flag("--raw", o.Raw, "write the bytes themselves instead of a hex dump");
  spd->add_flag("--decode", o.Decode,
                "what the bytes say: SDR, DDR, DDR2 and DDR3 modules in full, other types by name");

  CLI::App* decode = app.add_subcommand(
      "decode", "decode saved SPD dumps: the hex dump spd prints, i2cdump output, raw 128/256 bytes");
  decode->add_option("FILE", o.Files, "files to decode")->required();
  decode->add_flag("--side-by-side", o.SideBySide, "the files decoded in one table, a column per file");

  CLI::App* probe = app.add_subcommand(
      "probe", "does a slot's SPD accept writes? (writes to the module and restores the byte)");
  slotOption(probe);
  segmentOption(probe);
  probe->add_flag("--yes", o.Yes, "write to the module: without it the probe only says what it would do");

  CLI::App* pci = app.add_subcommand("pci", "dump 256 bytes of a PCI function's configuration space");
  pci->add_option("BUS", o.PciBus,
                  "bus number (the driver dumps bus 0), or the whole address as lspci prints it "
                  "(00:1f.3, hex) or in decimal (0:31.3)")
      ->type_name("N|BUS:DEV.FN")
      ->required()
      ->check(CLI::Validator(
          [](std::string& bus) -> std::string {
            int64_t number = 0;
            if (!CLI::detail::lexical_cast(bus, number) || (number >= 0 && number <= 255)) return "";
            return "Value " + bus + " not in range 0 to 255";
          },
          "", ""));
  CLI::Option* pciDevice = pci->add_option("DEV", o.Device, "device number (the driver dumps 0-30)")
                               ->check(CLI::Range(int64_t{0}, int64_t{31}));
  CLI::Option* pciFunction = pci->add_option("FN", o.Function, "function number (the driver dumps 0-6)")
                                 ->check(CLI::Range(int64_t{0}, int64_t{7}));

  CLI::App* boards = nullptr;
  if (simulated) boards = app.add_subcommand("boards", "the simulated boards, one line each");

  CLI::App* driver = nullptr;
  if (target.Service) {
    driver = app.add_subcommand("driver", "install, start, stop or remove the driver (as administrator)");
    driver->add_option("ACTION", o.DriverAction, "install | start | stop | remove")
        ->required()
        ->check(CLI::IsMember({"install", "start", "stop", "remove"}));
  }

  std::vector<const char*> argv{"dimmio"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    out << (app.get_subcommands().empty() ? app.help() : app.get_subcommands().front()->help());
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    err << "dimmio: " << PrintableText(OneLine(e.what())) << '\n';
    return kExitUsage;
  }

  if (const std::vector<std::string> extras = app.remaining(true); !extras.empty()) {
    err << "dimmio: unexpected argument" << (extras.size() > 1 ? "s" : "") << ':';
    for (const std::string& extra : extras) err << ' ' << PrintableText(extra);
    err << '\n';
    return kExitUsage;
  }
  if (o.Version) return VersionCommand(target, o, out);
  if (boards != nullptr && boards->parsed()) return BoardsCommand(target, o, out);
  if (driver != nullptr && driver->parsed()) return DriverCommand(*target.Service, o, out, err);
  if (spd->parsed() && o.Raw && (o.Json || o.Decode)) {
    err << "dimmio: --raw cannot be used with " << (o.Json ? "--json" : "--decode") << '\n';
    return kExitUsage;
  }
  if (spd->parsed() && o.Decode && (o.Offset != 0 || o.Count < int64_t{kSpdDecodedBytes})) {
    err << "dimmio: --decode reads from offset 0 and needs at least 128 bytes\n";
    return kExitUsage;
  }
  if (decode->parsed()) return DecodeFiles(o.Files, o.Json, o.SideBySide, out, err);
  if (probe->parsed() && !o.Yes) {
    err << "dimmio: probe writes to the module's SPD EEPROM of slot " << o.Slot
        << ": it changes byte 74, reads it back and writes the original back; add --yes to do it\n";
    return kExitUsage;
  }
  if (pci->parsed()) {
    const bool numbers = pciDevice->count() > 0 && pciFunction->count() > 0 &&
                         CLI::detail::lexical_cast(o.PciBus, o.Bus);
    const auto address = pciDevice->count() == 0 ? ParsePciAddress(o.PciBus) : std::nullopt;
    if (!numbers && !address) {
      std::string given = o.PciBus;
      for (const CLI::Option* part : {pciDevice, pciFunction}) {
        for (const std::string& result : part->results()) given += ' ' + result;
      }
      err << "dimmio: not a PCI address: " << PrintableText(given)
          << ": give BUS:DEV.FN, hex as lspci prints it (00:1f.3) or decimal without leading "
             "zeros (0:31.3), or the three numbers BUS DEV FN\n";
      return kExitUsage;
    }
    if (address) {
      o.Bus = address->Bus;
      o.Device = address->Device;
      o.Function = address->Function;
    }
  }
  if (pci->parsed() && (o.Bus >= kDumpBuses || o.Device >= kDumpDevices || o.Function >= kDumpFunctions)) {
    const PciDeviceRecord where{static_cast<uint32_t>(o.Bus), static_cast<uint32_t>(o.Device),
                                static_cast<uint32_t>(o.Function), 0, 0, 0};
    err << "dimmio: the driver dumps the configuration space of bus 0, devices 0-30 (00-1E) and "
           "functions 0-6 only: not "
        << PciAddress(where) << '\n';
    return kExitUsage;
  }

  std::string error;
  std::unique_ptr<Transport> transport = target.Open(o.Board, &error);
  if (!transport) {
    err << "dimmio: " << PrintableText(error) << '\n';
    return kExitFailed;
  }
  Client client(*transport);
  if (spd->parsed()) return SpdCommand(client, o, target, out, err);
  if (probe->parsed()) return ProbeCommand(client, o, target.Locks.get(), out, err);
  if (pci->parsed()) return PciCommand(client, o, target, out, err);
  return ReportCommand(client, o, Describe(target, o.Board), target, out, err);
}

}  // namespace

int Run(const std::vector<std::string>& args, const Target& target, std::ostream& out,
        std::ostream& err) {
  try {
    return RunCommandLine(args, target, out, err);
  } catch (const std::exception& e) {
    err << "dimmio: internal error: " << OneLine(PrintableText(e.what())) << '\n';
  } catch (...) {
    err << "dimmio: internal error: an unknown exception\n";
  }
  return kExitFailed;
}

}  // namespace dimmio::cli
