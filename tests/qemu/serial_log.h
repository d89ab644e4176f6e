// The lines the self-test image prints on its serial console, parsed into
// what each request answered.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qemucheck {

struct PciRecord {
  uint32_t bus = 0, device = 0, function = 0, vendor = 0, deviceId = 0;
  bool operator==(const PciRecord&) const = default;
};

struct SpdLine {
  uint32_t code = 0, hw = 0, detail = 0, bytes = 0;
  std::vector<uint8_t> data;
};

struct ProbeLine {
  int32_t result = 0;
  uint32_t code = 0, hw = 0;
};

struct CountLine {
  uint32_t count = 0, code = 0;
};

struct SerialLog {
  std::vector<std::string> lines;       // every line, CR removed
  std::vector<std::string> debugLines;  // the driver's own debug output ("smbcore:...")
  std::vector<std::string> problems;    // lines of the report that did not parse
  std::vector<std::string> order;       // first word of each report line, in order

  std::optional<PciRecord> chipset;
  std::optional<uint32_t> pciCount;
  std::vector<PciRecord> pci;
  std::map<uint32_t, SpdLine> spd;
  std::map<uint32_t, ProbeLine> probe;
  std::optional<CountLine> slots, modules;
  std::map<uint32_t, std::string> sysinfo;  // escapes decoded
  std::optional<PciRecord> pcicfgLocation;
  std::vector<uint32_t> pcicfg;
  std::optional<uint32_t> spdMs;  // "time spd": the eight SPD reads, guest milliseconds
  bool done = false;
};

SerialLog ParseSerialLog(const std::string& output);

// The text between the quotes of a sysinfo line with its \xHH escapes
// decoded; nullopt when it is not quoted or an escape is malformed.
std::optional<std::string> DecodeQuoted(const std::string& quoted);

}  // namespace qemucheck
