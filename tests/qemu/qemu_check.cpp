// Boots the self-test image on one of QEMU's PCs and checks every line it
// prints against what that machine really has: QEMU's PCI functions, its
// SMBus with eight blank, writable EEPROMs (the PIIX4's on "pc", the ICH9's
// on "q35"), and the SMBIOS strings passed on the command line.
//
//   qemu_check pc|q35 IMAGE QEMU DEADLINE-SECONDS
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "qemu_run.h"
#include "serial_log.h"

namespace {

using qemucheck::PciRecord;
using qemucheck::SerialLog;

// The strings handed to the firmware, in the order of the report's fields:
// system maker, product, version, serial, then the board's. They carry a
// quote, a comma, a backslash and bytes outside printable ASCII, which the
// image must pass through unchanged.
struct SmbiosString {
  int type;
  const char* key;
  std::string value;
};

const std::vector<SmbiosString>& SmbiosStrings() {
  static const std::vector<SmbiosString> strings = {
      {1, "manufacturer", "Dimmio Test Bench"},
      {1, "product", "Model \"Q\", rev 7"},
      {1, "version", "1.2.3-beta"},
      {1, "serial", "SN\xC3\x9C-00042"},
      {2, "manufacturer", "Board & Co."},
      {2, "product", "BX-440 / PIIX4"},
      {2, "version", "v2\\beta"},
      {2, "serial", "BSN 0000 0001"},
  };
  return strings;
}

std::string SmbiosOption(int type) {
  std::string option = "type=" + std::to_string(type);
  for (const SmbiosString& s : SmbiosStrings()) {
    if (s.type != type) continue;
    std::string value;
    for (char c : s.value) value += (c == ',') ? std::string(",,") : std::string(1, c);
    option += std::string(",") + s.key + "=" + value;
  }
  return option;
}

constexpr uint32_t kSlots = 8;
constexpr uint32_t kSpdImage = 256;
constexpr uint32_t kConfigDwords = 64;
constexpr int kExitAfterDone = (0 << 1) | 1;  // isa-debug-exit: (value << 1) | 1, value 0

// Least time the Intel back-end must sleep on this run: a 1 ms settle for
// each of the 128 word reads of 8 slots (the probe writes nothing to QEMU's
// blank EEPROMs, so no write settles). A run faster than this did not
// really wait.
constexpr double kLeastSmbusSeconds = (kSlots * 128 * 1) / 1000.0;
// The least guest time the eight 256-byte reads take: the 1 ms settles.
constexpr uint32_t kSpdFloorMs = kSlots * 128;

class Report {
 public:
  void Expect(bool ok, const std::string& what, const std::string& detail = "") {
    std::printf("%s  %s%s%s\n", ok ? "ok  " : "FAIL", what.c_str(), detail.empty() ? "" : ": ",
                detail.c_str());
    if (!ok) ++failures_;
  }
  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", v);
  return text;
}

std::string Show(const PciRecord& r) {
  return Hex(r.bus) + ":" + Hex(r.device) + "." + Hex(r.function) + " " + Hex(r.vendor) + ":" +
         Hex(r.deviceId);
}

std::string Show(const std::optional<PciRecord>& r) {
  return r ? Show(*r) : "missing";
}

struct Profile {
  std::string machine;
  // The functions the table must hold, in walk order; exact = nothing else.
  std::vector<PciRecord> functions;
  bool exact;
  PciRecord chipset;
  // Guest time counted in the guest's own instructions (-icount), so that
  // stalls of a loaded host do not show in it: `time spd` is then held
  // within this ratio of its floor, and wall time says nothing about the
  // sleeps. Empty: the guest's clock follows the host's.
  std::vector<std::string> clockArgs{};
  double spdRatio = 0;
};

const Profile* FindProfile(const std::string& machine) {
  // clang-format off
  static const std::vector<Profile> profiles = {
      {"pc",
       {{0, 0, 0, 0x8086, 0x1237}, {0, 1, 0, 0x8086, 0x7000}, {0, 1, 1, 0x8086, 0x7010},
        {0, 1, 3, 0x8086, 0x7113}, {0, 2, 0, 0x1234, 0x1111}, {0, 3, 0, 0x8086, 0x100E}},
       true, {0, 1, 3, 0x8086, 0x7113}},
      {"q35",
       {{0, 0, 0, 0x8086, 0x29C0}, {0, 0x1F, 3, 0x8086, 0x2930}},
       false, {0, 0x1F, 3, 0x8086, 0x2930}, {"-icount", "shift=6,sleep=off"}, 1.05},
  };
  // clang-format on
  for (const Profile& p : profiles) {
    if (p.machine == machine) return &p;
  }
  return nullptr;
}

constexpr uint32_t kSystemInfoCode = 0x9C406024;  // IOCTL_GET_SYSTEM_INFO

// Lines the image prints when a request did not complete as it must.
std::vector<std::string> FailedRequests(const SerialLog& log, bool systemInfo) {
  char code[16];
  std::snprintf(code, sizeof code, "%08X", kSystemInfoCode);
  std::vector<std::string> failed;
  for (const std::string& line : log.lines) {
    const bool isFailure = line.rfind("failed", 0) == 0;
    const bool isSystemInfo = line.rfind(std::string("failed request ") + code, 0) == 0;
    if (isFailure && isSystemInfo == systemInfo) failed.push_back(line);
  }
  return failed;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "\n      " + line;
  return out;
}

void CheckBoot(const qemucheck::RunResult& run, const SerialLog& log, Report& r) {
  r.Expect(!run.timedOut, "the guest finished before the deadline",
           std::to_string(run.seconds) + " s");
  r.Expect(run.exitCode == kExitAfterDone,
           "the image ended the emulator through isa-debug-exit after unloading cleanly",
           "exit status " + std::to_string(run.exitCode));
  r.Expect(log.done, "the image printed done");
  r.Expect(log.problems.empty(), "every report line has its format", Joined(log.problems));
  std::vector<std::string> trouble = FailedRequests(log, false);
  for (const std::string& line : log.lines) {
    if (line.rfind("leak", 0) == 0 || line.rfind("kernel:", 0) == 0 ||
        line.rfind("boot:", 0) == 0) {
      trouble.push_back(line);
    }
  }
  r.Expect(trouble.empty(), "every request completed once with success, nothing left behind",
           Joined(trouble));

  // The answers in request order, each as often as it is asked for.
  const std::vector<std::pair<std::string, size_t>> expected = {
      {"chipset", 1},  {"pcicount", 1}, {"pci", log.pciCount.value_or(0)},
      {"spd", kSlots}, {"time", 1},     {"probe", 1},
      {"slots", 1},    {"modules", 1},  {"sysinfo", SmbiosStrings().size()},
      {"pcicfg", 1},   {"done", 1}};
  std::vector<std::string> want;
  for (const auto& [word, times] : expected) want.insert(want.end(), times, word);
  std::string seen;
  for (const std::string& word : log.order) seen += word + " ";
  r.Expect(log.order == want, "the answers come in request order, one per request", seen);
}

void CheckPci(const Profile& p, const SerialLog& log, Report& r) {
  r.Expect(log.pciCount.has_value(), "pcicount printed");
  const uint32_t count = log.pciCount.value_or(0);
  r.Expect(log.pci.size() == count, "one table record per function counted",
           std::to_string(log.pci.size()) + " records, count " + std::to_string(count));
  if (p.exact) {
    std::string got;
    for (const PciRecord& rec : log.pci) got += "\n      " + Show(rec);
    r.Expect(log.pci == p.functions, "the device table is QEMU's " + p.machine + " machine", got);
  }
  size_t at = 0;
  for (const PciRecord& want : p.functions) {
    while (at < log.pci.size() && !(log.pci[at] == want)) ++at;
    r.Expect(at < log.pci.size(), "the table holds " + Show(want) + " in walk order");
  }
  std::string disorder;
  for (size_t i = 1; i < log.pci.size(); ++i) {
    const PciRecord& a = log.pci[i - 1];
    const PciRecord& b = log.pci[i];
    if (std::tie(a.bus, a.device, a.function) >= std::tie(b.bus, b.device, b.function)) {
      disorder += " " + Show(a) + " before " + Show(b);
    }
  }
  r.Expect(disorder.empty(), "records ascend by bus, device, function", disorder);

  // The walk announced every function through the debug hook, formatted by
  // the image's own printf.
  bool announced = log.debugLines.size() >= log.pci.size();
  for (size_t i = 0; announced && i < log.pci.size(); ++i) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "smbcore:vid(%04x) did(%04x) rev(", log.pci[i].vendor,
                  log.pci[i].deviceId);
    announced = log.debugLines[i].rfind(prefix, 0) == 0 &&
                log.debugLines[i].size() == std::string(prefix).size() + 3 &&
                log.debugLines[i].back() == ')';
  }
  r.Expect(announced, "one smbcore:vid/did/rev debug line per function, in table order");

  r.Expect(log.pcicfgLocation == PciRecord{0, 0, 0, 0, 0}, "pcicfg dumps 0:0.0");
  r.Expect(log.pcicfg.size() == kConfigDwords, "pcicfg holds 64 dwords",
           std::to_string(log.pcicfg.size()));
  if (!log.pcicfg.empty() && !p.functions.empty()) {
    const PciRecord& host = p.functions.front();
    r.Expect(log.pcicfg[0] == (host.deviceId << 16 | host.vendor),
             "pcicfg dword 0 is the host bridge's identifiers", Hex(log.pcicfg[0]));
  }
  if (log.pcicfg.size() > 2) {
    r.Expect(log.pcicfg[2] >> 16 == 0x0600, "pcicfg dword 8 says host bridge (class 06 00)",
             Hex(log.pcicfg[2]));
  }
}

void CheckSmbus(const Profile& p, const qemucheck::RunResult& run, const SerialLog& log,
                Report& r) {
  r.Expect(log.chipset == p.chipset, "ChipsetInfo", Show(log.chipset));
  for (uint32_t slot = 0; slot < kSlots; ++slot) {
    const std::string name = "spd slot " + std::to_string(slot);
    const auto it = log.spd.find(slot);
    if (it == log.spd.end()) {
      r.Expect(false, name + " answered");
      continue;
    }
    const qemucheck::SpdLine& s = it->second;
    const std::string got = "code=" + std::to_string(s.code) + " hw=" + std::to_string(s.hw) +
                            " bytes=" + std::to_string(s.bytes) + " (" +
                            std::to_string(s.data.size()) + " printed)";
    r.Expect(s.data.size() == s.bytes, name + " prints as many bytes as it counts", got);
    r.Expect(s.code == 0 && s.hw == 0 && s.bytes == kSpdImage,
             name + " reads 256 bytes with code 0", got);
    // QEMU's EEPROMs are blank. The back-end's filler (0xCA) would show a
    // transfer that did not really happen.
    bool blank = s.data.size() == kSpdImage;
    for (uint8_t b : s.data) blank = blank && b == 0;
    r.Expect(blank, name + " holds QEMU's blank EEPROM image");
  }

  const auto probe = log.probe.find(0);
  if (probe == log.probe.end()) {
    r.Expect(false, "probe of slot 0 answered");
  } else {
    const qemucheck::ProbeLine& pr = probe->second;
    const std::string got = "result=" + std::to_string(pr.result) +
                            " code=" + std::to_string(pr.code) + " hw=" + std::to_string(pr.hw);
    // QEMU's blank EEPROM names no memory type in byte 2: the probe writes
    // only SPDs that byte says are plain EEPROMs, so it refuses (code 45).
    r.Expect(pr.result == -1 && pr.code == 45 && pr.hw == 0,
             "probe refuses QEMU's blank EEPROM, whose byte 2 names no memory type", got);
  }
  // On a guest clock that follows the host's, how long the reads take
  // depends on the host QEMU runs on: the line is for reading, not a bound.
  r.Expect(log.spdMs.has_value(), "time spd gives the eight reads' guest milliseconds",
           log.spdMs ? std::to_string(*log.spdMs) + " ms" : "missing");
  if (p.spdRatio != 0 && log.spdMs) {
    r.Expect(*log.spdMs >= kSpdFloorMs && *log.spdMs <= p.spdRatio * kSpdFloorMs,
             "time spd lies between its floor and " + std::to_string(p.spdRatio) + " times it",
             std::to_string(*log.spdMs) + " ms, floor " + std::to_string(kSpdFloorMs) + " ms");
  }
  if (p.clockArgs.empty()) {
    r.Expect(run.seconds >= kLeastSmbusSeconds, "the back-end's sleeps really took their time",
             std::to_string(run.seconds) + " s, at least " + std::to_string(kLeastSmbusSeconds));
  }
}

void CheckSmbios(const SerialLog& log, Report& r) {
  const std::vector<std::string> failed = FailedRequests(log, true);
  r.Expect(failed.empty(), "the system information request succeeds", Joined(failed));
  // SeaBIOS describes the 128 MB of -m 128 as one memory device in one array.
  for (const auto& [name, line] :
       {std::pair{"slots", log.slots}, std::pair{"modules", log.modules}}) {
    const std::string got =
        line ? std::to_string(line->count) + " code=" + std::to_string(line->code) : "missing";
    r.Expect(line && line->count == 1 && line->code == 0,
             std::string(name) + " from SeaBIOS's type 16/17 structures", got);
  }
  const auto& strings = SmbiosStrings();
  for (uint32_t k = 0; k < strings.size(); ++k) {
    const auto it = log.sysinfo.find(k);
    const std::string got = it == log.sysinfo.end() ? "missing" : "\"" + it->second + "\"";
    r.Expect(it != log.sysinfo.end() && it->second == strings[k].value,
             "sysinfo " + std::to_string(k) + " is the type " + std::to_string(strings[k].type) +
                 " " + strings[k].key + " passed to QEMU",
             got);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Profile* profile = argc == 5 ? FindProfile(argv[1]) : nullptr;
  if (profile == nullptr) {
    std::fprintf(stderr, "usage: qemu_check pc|q35 IMAGE QEMU DEADLINE-SECONDS\n");
    return 2;
  }
  const std::string image = argv[2], qemu = argv[3];
  const double deadline = std::atof(argv[4]);
  if (FILE* f = std::fopen(image.c_str(), "rb")) {
    std::fclose(f);
  } else {
    std::fprintf(stderr,
                 "qemu_check: no image at %s; build it first (cmake --preset baremetal && "
                 "cmake --build --preset baremetal, or make test)\n",
                 image.c_str());
    return 1;
  }

  // clang-format off
  std::vector<std::string> command = {
      qemu, "-M", profile->machine, "-m", "128", "-display", "none", "-no-reboot",
      "-serial", "stdio", "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04",
      "-smbios", SmbiosOption(1), "-smbios", SmbiosOption(2), "-kernel", image};
  // clang-format on
  command.insert(command.end() - 2, profile->clockArgs.begin(), profile->clockArgs.end());
  std::string shown;
  for (const std::string& a : command) shown += " " + a;
  std::printf("run:%s\n", shown.c_str());

  const qemucheck::RunResult run = qemucheck::RunWithDeadline(command, deadline);
  std::printf("---- serial output (%.2f s) ----\n%s---- end ----\n", run.seconds,
              run.output.c_str());
  const SerialLog log = qemucheck::ParseSerialLog(run.output);

  Report report;
  CheckBoot(run, log, report);
  CheckPci(*profile, log, report);
  CheckSmbus(*profile, run, log, report);
  CheckSmbios(log, report);
  std::printf("%d check(s) failed\n", report.failures());
  return report.failures() == 0 ? 0 : 1;
}
