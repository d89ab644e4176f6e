// The tool's commands, one row each: the request it sends, how its result is
// written as text and as JSON, and what it exits with.
#include <algorithm>
#include <array>
#include <cstdio>
#include <iomanip>

#include "command.h"
#include "decode.h"
#include "dimmio_version.h"
#include "pci_names.h"
#include "report.h"
#include "report_html.h"

namespace dimmio::cli {

namespace {

// What the driver's configuration dump accepts: bus 0, devices 0-30 and
// functions 0-6 (it refuses device 31 and function 7 too).
constexpr int64_t kDumpBuses = 1, kDumpDevices = 31, kDumpFunctions = 7;

// Runs a command whose result comes from `Fetch`: a request the driver did
// not complete is one line naming what failed and the completion status (or
// the transport's error, whatever the system's message holds); a result is
// written by `Json` or `Text`, and `Verdict` gives the exit code.
template <auto Json, auto Text, auto Verdict, typename Fetched>
int Reply(const Command& command, Context& c, const Fetched& result) {
  if (!result) {
    c.Err << "dimmio: " << command.Failing << " failed: " << PrintableText(result.error().Text)
          << '\n';
    return kExitFailed;
  }
  if (c.O.Json) {
    PrintJson(c.Out, Json(c, *result));
  } else {
    Text(c, *result);
  }
  return Verdict(c, *result);
}

template <auto Fetch, auto Json, auto Text, auto Verdict>
int Handler(const Command& command, Context& c) {
  return Reply<Json, Text, Verdict>(command, c, Fetch(c));
}

template <typename T>
int Done(Context&, const T&) {
  return kExitDone;
}

void SegmentOption(CLI::App& command, Options& o) {
  command.add_option("--segment", o.Segment, "SMBus segment the slots are on (0 or 1)")
      ->check(CLI::Range(int64_t{0}, int64_t{1}))
      ->capture_default_str();
}

void SlotOption(CLI::App& command, Options& o) {
  command.add_option("--slot", o.Slot, "memory slot, 0-7 (SMBus address 0x50+slot)")
      ->required()
      ->check(CLI::Range(int64_t{0}, int64_t{kSlots - 1}));
}

// report

void HtmlOption(CLI::App& command, Options& o) {
  command.add_option("--html", o.Html, "also write it as one self-contained HTML page to FILE");
}

void ReportOptions(CLI::App& command, Options& o) {
  SegmentOption(command, o);
  command.add_flag(
      "--side-by-side", o.SideBySide,
      "the modules decoded in one table, a column per slot, the rows that differ marked");
  HtmlOption(command, o);
}

Result<Report> GatherFor(Context& c) {
  auto report = GatherReport(
      *c.Driver, {static_cast<uint32_t>(c.O.Segment), c.Where.Locks.get(), c.Where.PciIdsPaths});
  if (!report) return report.error();
  Report r = *report;
  r.Target = c.Describe;
  r.Board = c.O.Board;
  return r;
}

nlohmann::json ReportJsonOf(const Context& c, const Report& r) {
  return ReportJson(r, {c.O.SideBySide});
}
void ReportText(const Context& c, const Report& r) {
  PrintReport(r, c.Out, {c.O.SideBySide});
}

// With --html the page goes to its file as well.
int ReportVerdict(Context& c, const Report& r) {
  if (c.O.Html.empty()) return kExitDone;
  const std::string error = SaveReportHtml(r, c.O.Html, Files(c.Where));
  if (error.empty()) return kExitDone;
  c.Err << error << '\n';
  return kExitFailed;
}

// spd

// A DDR4 module's EEPROM holds 512 bytes, any other 256.
constexpr int64_t kSpdSpace = DIMMIO_SPD_SIZE, kDdr4Space = 2 * DIMMIO_SPD_SIZE;

void SpdOptions(CLI::App& command, Options& o) {
  SlotOption(command, o);
  command.add_option("--offset", o.Offset, "first SPD byte, 0-255 (a DDR4 module: 0-511)")
      ->check(CLI::Range(int64_t{0}, kDdr4Space - 1))
      ->capture_default_str();
  o.CountOption =
      command
          .add_option("--count", o.Count,
                      "number of bytes, 1-256 (a DDR4 module: 1-512); default: all of them")
          ->check(CLI::Range(int64_t{1}, kDdr4Space));
  SegmentOption(command, o);
  command.add_flag("--raw", o.Raw, "write the bytes themselves instead of a hex dump");
  command.add_flag(
      "--decode", o.Decode,
      "what the bytes say: SDR, DDR, DDR2, DDR3 and DDR4 modules in full, other types by name");
}

std::optional<int> SpdCheck(Options& o, std::ostream& err) {
  if (o.Raw && (o.Json || o.Decode)) {
    err << "dimmio: --raw cannot be used with " << (o.Json ? "--json" : "--decode") << '\n';
    return kExitUsage;
  }
  if (o.Decode && (o.Offset != 0 || o.Count < int64_t{kSpdDecodedBytes})) {
    err << "dimmio: --decode reads from offset 0 and needs at least 128 bytes\n";
    return kExitUsage;
  }
  return std::nullopt;
}

// The bytes of a slot and the size of its EEPROM, whose reads wrap past its
// last byte to byte 0.
struct SlotRead {
  SpdRead Read;
  int64_t Space = kSpdSpace;
};

// The bytes asked for out of the module's whole EEPROM (ReadSpdImage), past
// its last byte wrapped to byte 0. A count of 0 is the whole EEPROM.
Result<SlotRead> ReadModule(Client& driver, uint8_t slot, uint32_t offset, uint32_t count) {
  SpdPaging paging;
  const auto image = ReadSpdImage(driver, slot, paging);
  if (!image) return image.error();
  const int64_t space = image->Space;
  if (space == kSpdSpace && (offset >= kSpdSpace || count > kSpdSpace))
    return SlotRead{};  // refused by the caller
  if (count == 0) count = static_cast<uint32_t>(space);
  const std::vector<uint8_t>& all = image->Read.Bytes;
  SlotRead read{{{}, image->Read.Status}, space};
  for (uint64_t at = offset; at < uint64_t{offset} + count; ++at) {
    if (at % static_cast<uint64_t>(space) >= all.size()) break;
    read.Read.Bytes.push_back(all[at % static_cast<uint64_t>(space)]);
  }
  return read;
}

Result<SlotRead> ReadSlot(Context& c) {
  const auto segment = static_cast<uint32_t>(c.O.Segment);
  const bool counted = c.O.CountOption != nullptr && c.O.CountOption->count() > 0;
  return OnSmbus(c.Where.Locks.get(), segment, [&] {
    return OnSegment(*c.Driver, segment, [&] {
      return ReadModule(*c.Driver, static_cast<uint8_t>(c.O.Slot),
                        static_cast<uint32_t>(c.O.Offset),
                        counted ? static_cast<uint32_t>(c.O.Count) : 0);
    });
  });
}

bool Complete(const Options& o, const SlotRead& read) {
  return read.Read.Bytes.size() == static_cast<size_t>(o.Count);
}

nlohmann::json SpdReadJson(const Context& c, const SlotRead& slotRead) {
  const Options& o = c.O;
  const SpdRead& read = slotRead.Read;
  nlohmann::json json = {{"slot", o.Slot},       {"address", 0x50 + o.Slot},
                         {"segment", o.Segment}, {"offset", o.Offset},
                         {"count", o.Count},     {"bytes_read", read.Bytes.size()},
                         {"data", read.Bytes},   {"status", StatusJson(read.Status)}};
  if (o.Offset == 0 && read.Bytes.size() >= kSpdDecodedBytes) {
    json["spd"] = SpdJson(DecodeSpd(read.Bytes));
  }
  return json;
}

void SpdReadText(const Context& c, const SlotRead& slotRead) {
  const Options& o = c.O;
  const SpdRead& read = slotRead.Read;
  const std::string slot = "SPD of slot " + std::to_string(o.Slot) + " (SMBus address 0x" +
                           Hex(0x50u + static_cast<uint32_t>(o.Slot), 2) + ", segment " +
                           std::to_string(o.Segment) + ")";
  if (o.Raw) {
    if (c.Where.BinaryOutput) c.Where.BinaryOutput();
    c.Out.write(reinterpret_cast<const char*>(read.Bytes.data()),
                static_cast<std::streamsize>(read.Bytes.size()));
  } else if (o.Decode && Complete(o, slotRead)) {
    c.Out << slot << ", decoded from " << o.Count << " bytes\n";
    PrintSpdDecode(DecodeSpd(read.Bytes), read.Bytes, c.Out);
  } else {
    c.Out << slot << ": " << o.Count << " bytes from offset 0x"
          << Hex(static_cast<uint32_t>(o.Offset), 2) << '\n'
          << HexDump(read.Bytes, static_cast<uint32_t>(o.Offset),
                     static_cast<uint32_t>(slotRead.Space))
          << read.Bytes.size() << " of " << o.Count
          << " bytes read; status: " << DescribeStatus(read.Status) << '\n';
  }
}

int SpdVerdict(Context& c, const SlotRead& slotRead) {
  if (Complete(c.O, slotRead)) return kExitDone;
  const SpdRead& read = slotRead.Read;
  c.Err << "dimmio: slot " << c.O.Slot << ": "
        << (read.Bytes.empty() && read.Status.Code == DIMMIO_ERROR_SPD_BLOCK_READ
                ? "no module answered"
                : "the read stopped after " + std::to_string(read.Bytes.size()) + " bytes")
        << " (" << DescribeStatus(read.Status) << ")\n";
  return kExitFailed;
}

// Bytes past 255 exist on a DDR4 module only: on any other the offset and
// count keep the limits of 256 bytes, refused as the command line refuses
// what no module has. Without --count the whole EEPROM is read.
int SpdCommand(const Command& command, Context& c) {
  const Result<SlotRead> read = ReadSlot(c);
  if (read && read->Space == kSpdSpace) {
    if (c.O.Offset >= kSpdSpace) {
      c.Err << "dimmio: --offset: Value " << c.O.Offset << " not in range 0 to " << kSpdSpace - 1
            << '\n';
      return kExitUsage;
    }
    if (c.O.Count > kSpdSpace) {
      c.Err << "dimmio: --count: Value " << c.O.Count << " not in range 1 to " << kSpdSpace << '\n';
      return kExitUsage;
    }
  }
  const bool counted = c.O.CountOption != nullptr && c.O.CountOption->count() > 0;
  if (read && !counted) c.O.Count = read->Space;
  return Reply<SpdReadJson, SpdReadText, SpdVerdict>(command, c, read);
}

// decode

void DecodeOptions(CLI::App& command, Options& o) {
  command.add_option("FILE", o.Files, "files to decode")->required();
  command.add_flag("--side-by-side", o.SideBySide,
                   "the files decoded in one table, a column per file");
  HtmlOption(command, o);
}

int DecodeCommand(const Command&, Context& c) {
  return DecodeFiles(c.O.Files, c.O.Json, c.O.SideBySide, c.O.Html, Files(c.Where), c.Out, c.Err);
}

// probe

const char* ProbeMeaning(int32_t result, uint32_t code) {
  if (result == DIMMIO_PROBE_UNCHANGED && code == DIMMIO_ERROR_SPD_WRITES_BLOCKED) {
    return "the SPD is not writable: the chipset blocks SPD writes (nothing was written)";
  }
  if (result == -1 && code == DIMMIO_ERROR_PROBE_NOT_PLAIN_EEPROM) {
    return "nothing was written: byte 2 names an SPD that is not a plain EEPROM (a DDR5 hub, or an "
           "unknown type)";
  }
  if (result == -1 && code == DIMMIO_ERROR_PROBE_TYPE_UNREADABLE) {
    return "nothing was written: the module's memory type (byte 2) could not be read";
  }
  if (result == -1 && code == DIMMIO_ERROR_PAGE_QUERY_FAILED) {
    return "nothing was written: the SPD page query failed";
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

void ProbeOptions(CLI::App& command, Options& o) {
  SlotOption(command, o);
  SegmentOption(command, o);
  command.add_flag("--yes", o.Yes,
                   "write to the module: without it the probe only says what it would do");
}

std::optional<int> ProbeCheck(Options& o, std::ostream& err) {
  if (o.Yes) return std::nullopt;
  err << "dimmio: probe writes to the module's SPD EEPROM of slot " << o.Slot
      << ": it changes byte 74, reads it back and writes the original back; add --yes to do it\n";
  return kExitUsage;
}

Result<ProbeResult> ProbeSlot(Context& c) {
  const auto slot = static_cast<uint8_t>(c.O.Slot);
  if (!c.O.Json) {
    c.Out << "Write probe of slot " << c.O.Slot << " (SMBus address 0x" << Hex(0x50u + slot, 2)
          << ", segment " << c.O.Segment << ").\n"
          << "This writes to the module's SPD EEPROM: it changes byte 74 (0x4A), reads it back,\n"
          << "then writes the original value back and checks it.\n";
  }
  const auto segment = static_cast<uint32_t>(c.O.Segment);
  return OnSmbus(c.Where.Locks.get(), segment, [&] {
    return OnSegment(*c.Driver, segment, [&] { return c.Driver->ProbeSpdWrite(slot); });
  });
}

nlohmann::json ProbeJson(const Context& c, const ProbeResult& probe) {
  return {{"slot", c.O.Slot},
          {"segment", c.O.Segment},
          {"writes_to_module", true},
          {"result", probe.Result},
          {"meaning", ProbeMeaning(probe.Result, probe.Status.Code)},
          {"status", StatusJson(probe.Status)}};
}

void ProbeText(const Context& c, const ProbeResult& probe) {
  c.Out << "result " << probe.Result << ": " << ProbeMeaning(probe.Result, probe.Status.Code)
        << '\n'
        << "status: " << DescribeStatus(probe.Status) << '\n';
}

int ProbeVerdict(Context& c, const ProbeResult& probe) {
  if (probe.Result >= 0) return kExitDone;
  c.Err << "dimmio: the write probe of slot " << c.O.Slot
        << " did not finish: " << DescribeStatus(probe.Status) << '\n';
  return kExitFailed;
}

// pci

void PciOptions(CLI::App& command, Options& o) {
  command
      .add_option("BUS", o.PciBus,
                  "bus number (the driver dumps bus 0), or the whole address as lspci prints it "
                  "(00:1f.3, hex) or in decimal (0:31.3)")
      ->type_name("N|BUS:DEV.FN")
      ->required()
      ->check(CLI::Validator(
          [](std::string& bus) -> std::string {
            int64_t number = 0;
            if (!CLI::detail::lexical_cast(bus, number) || (number >= 0 && number <= 255))
              return "";
            return "Value " + bus + " not in range 0 to 255";
          },
          "", ""));
  o.PciDevice = command.add_option("DEV", o.Device, "device number (the driver dumps 0-30)")
                    ->check(CLI::Range(int64_t{0}, int64_t{31}));
  o.PciFunction = command.add_option("FN", o.Function, "function number (the driver dumps 0-6)")
                      ->check(CLI::Range(int64_t{0}, int64_t{7}));
}

PciDeviceRecord Where(const Options& o, uint32_t vendor = 0, uint32_t device = 0) {
  return {static_cast<uint32_t>(o.Bus),
          static_cast<uint32_t>(o.Device),
          static_cast<uint32_t>(o.Function),
          vendor,
          device,
          0};
}

std::optional<int> PciCheck(Options& o, std::ostream& err) {
  const bool numbers = o.PciDevice->count() > 0 && o.PciFunction->count() > 0 &&
                       CLI::detail::lexical_cast(o.PciBus, o.Bus);
  const auto address = o.PciDevice->count() == 0 ? ParsePciAddress(o.PciBus) : std::nullopt;
  if (!numbers && !address) {
    std::string given = o.PciBus;
    for (const CLI::Option* part : {o.PciDevice, o.PciFunction}) {
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
  if (o.Bus >= kDumpBuses || o.Device >= kDumpDevices || o.Function >= kDumpFunctions) {
    err << "dimmio: the driver dumps the configuration space of bus 0, devices 0-30 (00-1E) and "
           "functions 0-6 only: not "
        << PciAddress(Where(o)) << '\n';
    return kExitUsage;
  }
  return std::nullopt;
}

// A function's configuration space and what its header says.
struct PciDump {
  PciConfigSpace Space;
  PciDeviceRecord Where;
  uint32_t ClassCode = 0;
  bool Present = false;
  std::string Name;
};

Result<PciDump> DumpFunction(Context& c) {
  const auto space = WithBuses(c.Where.Locks.get(), {Bus::Pci}, [&] {
    return c.Driver->ReadPciConfig(static_cast<uint32_t>(c.O.Bus),
                                   static_cast<uint32_t>(c.O.Device),
                                   static_cast<uint32_t>(c.O.Function));
  });
  if (!space) return space.error();
  const PciConfigSpace& s = *space;
  const auto word = [&](int at) { return static_cast<uint32_t>(s[at] | s[at + 1] << 8); };
  PciDump d{s, Where(c.O, word(0), word(2)),
            static_cast<uint32_t>(s[0x09] | s[0x0A] << 8 | s[0x0B] << 16), word(0) != 0xFFFF, ""};
  if (d.Present) {
    d.Name = PciNames::Load(c.Where.PciIdsPaths, {{d.Where.VendorId, d.Where.DeviceId}})
                 .Name(d.Where.VendorId, d.Where.DeviceId);
  }
  return d;
}

nlohmann::json PciJson(const Context&, const PciDump& d) {
  const PciConfigSpace& s = d.Space;
  nlohmann::json json = {{"address", PciAddress(d.Where)},
                         {"present", d.Present},
                         {"config", std::vector<uint8_t>(s.begin(), s.end())}};
  if (d.Present) {
    json.update({{"vendor_id", d.Where.VendorId},
                 {"device_id", d.Where.DeviceId},
                 {"class_code", d.ClassCode},
                 {"revision", s[0x08]},
                 {"header_type", s[0x0E]}});
    if (!d.Name.empty()) json["name"] = d.Name;
  }
  return json;
}

void PciText(const Context& c, const PciDump& d) {
  const PciConfigSpace& s = d.Space;
  c.Out << "PCI configuration space of " << PciAddress(d.Where)
        << " (bus:device.function), 256 bytes\n";
  if (!d.Name.empty()) c.Out << d.Name << '\n';
  if (d.Present) {
    c.Out << "vendor " << Hex(d.Where.VendorId, 4) << ", device " << Hex(d.Where.DeviceId, 4)
          << ", revision " << Hex(s[0x08], 2) << ", class " << Hex(d.ClassCode, 6)
          << ", header type " << Hex(s[0x0E], 2) << '\n';
  } else {
    c.Out << "no function answers here: every register reads as all ones\n";
  }
  c.Out << HexDump(s, 0);
}

// boards

bool Simulated(const Target& target) {
  return !target.Boards.empty();
}

Result<std::vector<BoardLine>> BoardsOf(Context& c) {
  return c.Where.Boards;
}

nlohmann::json BoardsJson(const Context&, const std::vector<BoardLine>& boards) {
  nlohmann::json json = nlohmann::json::array();
  for (size_t i = 0; i < boards.size(); ++i) {
    json.push_back(
        {{"name", boards[i].Name}, {"description", boards[i].Description}, {"default", i == 0}});
  }
  return json;
}

void BoardsText(const Context& c, const std::vector<BoardLine>& boards) {
  size_t width = 0;
  for (const BoardLine& b : boards) width = std::max(width, b.Name.size());
  for (size_t i = 0; i < boards.size(); ++i) {
    c.Out << std::left << std::setw(static_cast<int>(width + 2)) << boards[i].Name
          << boards[i].Description << (i == 0 ? "  (default)" : "") << '\n';
  }
}

// driver

bool HasService(const Target& target) {
  return target.Service != nullptr;
}

void DriverOptions(CLI::App& command, Options& o) {
  command.add_option("ACTION", o.DriverAction, "install | start | stop | remove")
      ->required()
      ->check(CLI::IsMember({"install", "start", "stop", "remove"}));
}

Result<DriverService::Outcome> DriverAction(Context& c) {
  DriverService& service = *c.Where.Service;
  const std::string& action = c.O.DriverAction;
  DriverService::Outcome outcome = action == "install" ? service.Install()
                                   : action == "start" ? service.Start()
                                   : action == "stop"  ? service.Stop()
                                                       : service.Remove();
  // The system's messages and the driver file's path come as the system
  // gives them, in whatever code page.
  outcome.Message = PrintableText(outcome.Message);
  return outcome;
}

nlohmann::json DriverJson(const Context& c, const DriverService::Outcome& outcome) {
  return {{"action", c.O.DriverAction}, {"done", outcome.Done}, {"message", outcome.Message}};
}

void DriverText(const Context& c, const DriverService::Outcome& outcome) {
  if (outcome.Done) c.Out << outcome.Message << '\n';
}

int DriverVerdict(Context& c, const DriverService::Outcome& outcome) {
  if (outcome.Done) return kExitDone;
  c.Err << "dimmio: " << outcome.Message << '\n';
  return kExitFailed;
}

constexpr Command kCommands[] = {
    {"report", "chipset, PCI functions, every slot's module from its SPD, SMBIOS (the default)",
     nullptr, ReportOptions, nullptr, true, "the report",
     Handler<GatherFor, ReportJsonOf, ReportText, ReportVerdict>},
    {"spd", "read and dump a slot's SPD bytes", nullptr, SpdOptions, SpdCheck, true, "the SPD read",
     SpdCommand},
    {"decode", "decode saved SPD dumps: the hex dump spd prints, i2cdump output, raw 128/256 bytes",
     nullptr, DecodeOptions, nullptr, false, "", DecodeCommand},
    {"probe", "does a slot's SPD accept writes? (writes to the module and restores the byte)",
     nullptr, ProbeOptions, ProbeCheck, true, "the write probe",
     Handler<ProbeSlot, ProbeJson, ProbeText, ProbeVerdict>},
    {"pci", "dump 256 bytes of a PCI function's configuration space", nullptr, PciOptions, PciCheck,
     true, "the configuration dump", Handler<DumpFunction, PciJson, PciText, Done<PciDump>>},
    {"boards", "the simulated boards, one line each", Simulated, nullptr, nullptr, false, "",
     Handler<BoardsOf, BoardsJson, BoardsText, Done<std::vector<BoardLine>>>},
    {"driver", "install, start, stop or remove the driver (as administrator)", HasService,
     DriverOptions, nullptr, false, "",
     Handler<DriverAction, DriverJson, DriverText, DriverVerdict>},
};

std::string VersionText(const std::array<uint16_t, 4>& v) {
  const std::string text =
      std::to_string(v[0]) + '.' + std::to_string(v[1]) + '.' + std::to_string(v[2]);
  return v[3] == 0 ? text : text + '.' + std::to_string(v[3]);
}

}  // namespace

std::span<const Command> Commands() {
  return kCommands;
}

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
      text +=
          "driver: not installed (`dimmio driver install` installs the dimmio.sys beside "
          "dimmio.exe)\n";
    } else if (!driver.Version) {
      j.update({{"file", file}, {"version", nullptr}, {"problem", problem}});
      text += "driver: " + (file.empty() ? "" : file + ": ") + problem + '\n';
    } else {
      const std::string installed = VersionText(*driver.Version);
      j.update(
          {{"file", file}, {"version", installed}, {"same_as_tool", *driver.Version == kVersion}});
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

}  // namespace dimmio::cli
