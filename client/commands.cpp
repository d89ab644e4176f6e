#include "dimmio/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace dimmio {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A number in decimal or 0x-hex that fits `limit`.
std::optional<uint32_t> Number(const std::string& text, uint32_t limit) {
  if (text.empty() || text[0] == '-') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > limit) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void PrintRecord(std::ostream& out, const PciDeviceRecord& r) {
  out << Hex(r.Bus, 2) << ':' << Hex(r.Device, 2) << '.' << r.Function << "  "
      << Hex(r.VendorId, 4) << ':' << Hex(r.DeviceId, 4) << '\n';
}

template <typename T>
bool Failed(const Result<T>& result, std::ostream& err) {
  if (result) return false;
  err << "request failed: " << result.error().Text << '\n';
  return true;
}

int ReportStatus(const OpStatus& status, std::ostream& out) {
  out << "status: " << DescribeStatus(status) << '\n';
  return status.Code == DIMMIO_ERROR_NONE && status.HwCode == DIMMIO_ERROR_NONE ? kExitDone
                                                                                : kExitFailed;
}

}  // namespace

std::string CommandUsage(const std::string& program) {
  return "usage: " + program + " <command> [arguments]\n"
         "  spd <slot> [first-offset [count]]  read SPD bytes (default: 256 from offset 0)\n"
         "  probe <slot>                       does the slot's SPD accept writes?\n"
         "  segment <value>                    set the SMBus segment for later SPD requests\n"
         "  slots | modules                    memory slot or module count from SMBIOS\n"
         "  chipset                            the PCI function chosen for the SMBus\n"
         "  pci [count]                        the PCI device table (default: all found)\n"
         "  pci-count                          number of PCI functions found\n"
         "  config <bus> <device> <function>   256 bytes of PCI configuration space\n"
         "  sysinfo                            system and board maker, product, version, serial\n"
         "Slots are 0-7; numbers may be given in decimal or as 0x-hex.\n";
}

int RunCommand(Client& client, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  auto usage = [&](const char* why) {
    err << why << '\n';
    return kExitUsage;
  };
  if (args.empty()) return usage("no command given");
  const std::string& command = args[0];
  const size_t extra = args.size() - 1;
  auto arg = [&](size_t i, uint32_t limit) { return Number(args[i], limit); };

  if (command == "spd") {
    if (extra < 1 || extra > 3) return usage("spd takes a slot, an offset and a count");
    const auto slot = arg(1, 7);
    const auto offset = extra >= 2 ? arg(2, 255) : std::optional<uint32_t>(0);
    const auto count = extra >= 3 ? arg(3, 0x10000) : std::optional<uint32_t>(DIMMIO_SPD_SIZE);
    if (!slot || !offset || !count || *count == 0) return usage("bad slot, offset or count");
    const auto read = client.ReadSpd(static_cast<uint8_t>(*slot), static_cast<uint8_t>(*offset),
                                     *count);
    if (Failed(read, err)) return kExitFailed;
    out << HexDump(read->Bytes, *offset, DIMMIO_SPD_SIZE);
    out << read->Bytes.size() << " of " << *count << " bytes read\n";
    return ReportStatus(read->Status, out);
  }
  if (command == "probe") {
    const auto slot = extra == 1 ? arg(1, 7) : std::nullopt;
    if (!slot) return usage("probe takes a slot 0-7");
    const auto probe = client.ProbeSpdWrite(static_cast<uint8_t>(*slot));
    if (Failed(probe, err)) return kExitFailed;
    out << "probe result " << probe->Result << ": "
        << (probe->Result == DIMMIO_PROBE_WRITABLE    ? "the SPD accepts writes"
            : probe->Result == DIMMIO_PROBE_UNCHANGED ? "the SPD kept its byte (write-protected)"
                                                      : "the probe did not finish")
        << '\n';
    ReportStatus(probe->Status, out);
    return probe->Result < 0 ? kExitFailed : kExitDone;
  }
  if (command == "segment") {
    const auto value = extra == 1 ? arg(1, UINT32_MAX) : std::nullopt;
    if (!value) return usage("segment takes a value");
    const auto status = client.SetSegment(*value);
    if (Failed(status, err)) return kExitFailed;
    return ReportStatus(*status, out);
  }
  if ((command == "slots" || command == "modules") && extra == 0) {
    const auto count = command == "slots" ? client.MemorySlotCount() : client.MemoryModuleCount();
    if (Failed(count, err)) return kExitFailed;
    out << "memory " << command << ": " << static_cast<unsigned>(count->Count) << '\n';
    return ReportStatus(count->Status, out);
  }
  if (command == "chipset" && extra == 0) {
    const auto info = client.ChipsetInfo();
    if (Failed(info, err)) return kExitFailed;
    if (info->VendorId == 0) {
      out << "no chipset function recorded\n";
    } else {
      PrintRecord(out, *info);
    }
    return kExitDone;
  }
  if (command == "pci" && extra <= 1) {
    std::optional<uint32_t> count = extra == 1 ? arg(1, INT32_MAX) : std::nullopt;
    if (extra == 1 && !count) return usage("pci takes a record count");
    if (!count) {
      const auto found = client.PciDeviceCount();
      if (Failed(found, err)) return kExitFailed;
      count = *found;
    }
    const auto table = client.PciDeviceTable(static_cast<int32_t>(*count));
    if (Failed(table, err)) return kExitFailed;
    for (const PciDeviceRecord& record : *table) PrintRecord(out, record);
    return kExitDone;
  }
  if (command == "pci-count" && extra == 0) {
    const auto count = client.PciDeviceCount();
    if (Failed(count, err)) return kExitFailed;
    out << *count << '\n';
    return kExitDone;
  }
  if (command == "config") {
    if (extra != 3) return usage("config takes a bus, a device and a function");
    const auto bus = arg(1, 0), device = arg(2, 30), function = arg(3, 6);
    if (!bus || !device || !function) {
      return usage("config reads bus 0, devices 0-30 and functions 0-6 only");
    }
    const auto space = client.ReadPciConfig(*bus, *device, *function);
    if (Failed(space, err)) return kExitFailed;
    out << HexDump(*space, 0);
    return kExitDone;
  }
  if (command == "sysinfo" && extra == 0) {
    const auto info = client.SystemInformation();
    if (Failed(info, err)) return kExitFailed;
    out << "system manufacturer: " << info->SystemManufacturer << '\n'
        << "system product:      " << info->SystemProduct << '\n'
        << "system version:      " << info->SystemVersion << '\n'
        << "system serial:       " << info->SystemSerialNumber << '\n'
        << "board manufacturer:  " << info->BoardManufacturer << '\n'
        << "board product:       " << info->BoardProduct << '\n'
        << "board version:       " << info->BoardVersion << '\n'
        << "board serial:        " << info->BoardSerialNumber << '\n';
    return kExitDone;
  }
  return usage(("unknown command or wrong arguments: " + command).c_str());
}

}  // namespace dimmio
