// Boots the self-test image on one of QEMU's PCs and checks every line it
// prints against what that machine really has: QEMU's PCI functions, its
// SMBus with eight blank, writable EEPROMs (the PIIX4's on "pc", the ICH9's
// on "q35"), and the SMBIOS strings passed on the command line.
//
//   qemu_check pc|q35 IMAGE QEMU DEADLINE-SECONDS
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// ---- the lines the self-test image prints on its serial console, parsed
// into what each request answered

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
};

// The text between the quotes of a sysinfo line with its \xHH escapes
// decoded; nullopt when it is not quoted or an escape is malformed.
std::optional<std::string> DecodeQuoted(const std::string& quoted) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
  std::string out;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    const char c = quoted[i];
    if (c == '"') return std::nullopt;  // a bare quote inside: not escaped as it must be
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 4 >= quoted.size() || quoted[i + 1] != 'x') return std::nullopt;
    const std::string hex = quoted.substr(i + 2, 2);
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
    out += static_cast<char>(std::stoul(hex, nullptr, 16));
    i += 3;
  }
  return out;
}

bool ReadHex(std::istringstream& in, uint32_t& value) {
  in >> std::hex >> value >> std::dec;
  return !in.fail();
}

// "key=value" words in this order, each value decimal (possibly negative)
// or 0x-prefixed.
bool ReadFields(std::istringstream& in, std::initializer_list<const char*> keys, int64_t* values) {
  for (const std::string key : keys) {
    std::string word;
    if (!(in >> word) || word.rfind(key + "=", 0) != 0) return false;
    const std::string text = word.substr(key.size() + 1);
    size_t used = 0;
    *values++ = std::stoll(text, &used, 0);  // throws on no number: the line is then a problem
    if (used != text.size()) return false;
  }
  return true;
}

// The rest of the line as hex words of `digits` digits each.
template <typename T>
bool ReadHexWords(std::istringstream& in, size_t digits, std::vector<T>& out) {
  std::string word;
  while (in >> word) {
    if (word.size() != digits) return false;
    out.push_back(static_cast<T>(std::stoul(word, nullptr, 16)));
  }
  return true;
}

bool ReadRecord(std::istringstream& in, PciRecord& r) {
  return ReadHex(in, r.bus) && ReadHex(in, r.device) && ReadHex(in, r.function) &&
         ReadHex(in, r.vendor) && ReadHex(in, r.deviceId);
}

bool AtEnd(std::istringstream& in) {
  std::string rest;
  return !(in >> rest);
}

bool ParseLine(const std::string& word, std::istringstream& in, const std::string& line,
               SerialLog& log) {
  PciRecord r;
  uint32_t n;
  int64_t v[4];
  if (word == "chipset" || word == "pci") {
    if (!ReadRecord(in, r) || !AtEnd(in)) return false;
    if (word == "chipset")
      log.chipset = r;
    else
      log.pci.push_back(r);
    return true;
  }
  if (word == "pcicount") {
    if (!(in >> n) || !AtEnd(in)) return false;
    log.pciCount = n;
    return true;
  }
  if (word == "spd") {
    if (!(in >> n) || !ReadFields(in, {"code", "hw", "detail", "bytes"}, v)) return false;
    SpdLine& spd = log.spd[n];
    spd = {uint32_t(v[0]), uint32_t(v[1]), uint32_t(v[2]), uint32_t(v[3]), {}};
    return ReadHexWords(in, 2, spd.data);
  }
  if (word == "probe") {
    if (!(in >> n) || !ReadFields(in, {"result", "code", "hw"}, v) || !AtEnd(in)) return false;
    log.probe[n] = {int32_t(v[0]), uint32_t(v[1]), uint32_t(v[2])};
    return true;
  }
  if (word == "slots" || word == "modules") {
    if (!(in >> n) || !ReadFields(in, {"code"}, v) || !AtEnd(in)) return false;
    (word == "slots" ? log.slots : log.modules) = CountLine{n, static_cast<uint32_t>(v[0])};
    return true;
  }
  if (word == "sysinfo") {
    const size_t quote = line.find('"');
    const auto text = quote == std::string::npos ? std::nullopt : DecodeQuoted(line.substr(quote));
    if (!(in >> n) || !text) return false;
    log.sysinfo[n] = *text;
    return true;
  }
  if (word == "pcicfg") {
    if (!ReadHex(in, r.bus) || !ReadHex(in, r.device) || !ReadHex(in, r.function)) return false;
    log.pcicfgLocation = r;
    return ReadHexWords(in, 8, log.pcicfg);
  }
  if (word == "time") {
    std::string what;
    if (!(in >> what) || what != "spd" || !(in >> n) || !AtEnd(in)) return false;
    log.spdMs = n;
    return true;
  }
  if (word == "done") {
    return AtEnd(in);
  }
  return false;
}

SerialLog ParseSerialLog(const std::string& output) {
  static const char* const kReportWords[] = {"chipset", "pcicount", "pci",     "spd",
                                             "probe",   "slots",    "modules", "sysinfo",
                                             "pcicfg",  "time",     "done"};
  SerialLog log;
  std::istringstream all(output);
  std::string line;
  while (std::getline(all, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    log.lines.push_back(line);
    if (line.rfind("smbcore:", 0) == 0) {
      log.debugLines.push_back(line);
      continue;
    }
    std::istringstream in(line);
    std::string word;
    in >> word;
    bool isReport = false;
    for (const char* w : kReportWords) isReport = isReport || word == w;
    if (!isReport) continue;
    log.order.push_back(word);
    try {
      if (!ParseLine(word, in, line, log)) log.problems.push_back(line);
    } catch (...) {
      log.problems.push_back(line);
    }
  }
  return log;
}

// ---- the emulator, run with a deadline

struct RunResult {
  std::string output;     // standard output and standard error, interleaved
  int exitCode = -1;      // the emulator's exit status, -1 if it did not exit by itself
  bool timedOut = false;  // killed at the deadline
  double seconds = 0;     // wall time from start to exit
};

RunResult RunWithDeadline(const std::vector<std::string>& argv, double deadlineSeconds) {
  RunResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    std::perror("qemu_check: pipe");
    std::exit(1);
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("qemu_check: fork");
    std::exit(1);
  }
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    // Nothing for the guest to read: the serial console's input is empty.
    const int devNull = ::open("/dev/null", 0);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    const std::string message = "cannot start " + argv[0] + ": " + std::strerror(errno) + "\n";
    (void)!write(STDERR_FILENO, message.data(), message.size());
    _exit(127);
  }
  close(pipeFds[1]);

  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  char buffer[4096];
  for (;;) {
    const double left = deadlineSeconds - elapsed();
    if (left <= 0) {
      result.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    pollfd p{pipeFds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the emulator closed its output: it is exiting
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.seconds = elapsed();
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

// ---- the checks

// The strings handed to the firmware, in the order of the report's fields:
// system maker, product, version, serial, then the board's. They carry a
// quote, a comma, a backslash and bytes outside printable ASCII, which the
// image must pass through unchanged.
struct SmbiosString {
  int type;
  const char* key;
  std::string value;
};

const std::vector<SmbiosString> kSmbiosStrings = {
    {1, "manufacturer", "Dimmio Test Bench"},
    {1, "product", "Model \"Q\", rev 7"},
    {1, "version", "1.2.3-beta"},
    {1, "serial", "SN\xC3\x9C-00042"},
    {2, "manufacturer", "Board & Co."},
    {2, "product", "BX-440 / PIIX4"},
    {2, "version", "v2\\beta"},
    {2, "serial", "BSN 0000 0001"},
};

std::string SmbiosOption(int type) {
  std::string option = "type=" + std::to_string(type);
  for (const SmbiosString& s : kSmbiosStrings) {
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

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "\n      " + line;
  return out;
}

void CheckBoot(const RunResult& run, const SerialLog& log, Report& r) {
  r.Expect(!run.timedOut, "the guest finished before the deadline",
           std::to_string(run.seconds) + " s");
  r.Expect(run.exitCode == kExitAfterDone,
           "the image ended the emulator through isa-debug-exit after unloading cleanly",
           "exit status " + std::to_string(run.exitCode));
  r.Expect(log.problems.empty(), "every report line has its format", Joined(log.problems));
  // The image prints a line "failed request CODE ..." for each request that
  // did not complete as it must.
  std::vector<std::string> trouble;
  for (const std::string& line : log.lines) {
    if (line.rfind("failed", 0) == 0 || line.rfind("leak", 0) == 0 ||
        line.rfind("kernel:", 0) == 0 || line.rfind("boot:", 0) == 0) {
      trouble.push_back(line);
    }
  }
  r.Expect(trouble.empty(), "every request completed once with success, nothing left behind",
           Joined(trouble));

  // The answers in request order, each as often as it is asked for.
  const std::vector<std::pair<std::string, size_t>> expected = {
      {"chipset", 1},  {"pcicount", 1}, {"pci", log.pciCount.value_or(0)},
      {"spd", kSlots}, {"time", 1},     {"probe", 1},
      {"slots", 1},    {"modules", 1},  {"sysinfo", kSmbiosStrings.size()},
      {"pcicfg", 1},   {"done", 1}};
  std::vector<std::string> want;
  for (const auto& [word, times] : expected) want.insert(want.end(), times, word);
  std::string seen;
  for (const std::string& word : log.order) seen += word + " ";
  r.Expect(log.order == want, "the answers come in request order, one per request", seen);
}

void CheckPci(const Profile& p, const SerialLog& log, Report& r) {
  // The count and one record per function it counts are the boot's request
  // order check.
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

void CheckSmbus(const Profile& p, const RunResult& run, const SerialLog& log, Report& r) {
  r.Expect(log.chipset == p.chipset, "ChipsetInfo", log.chipset ? Show(*log.chipset) : "missing");
  for (uint32_t slot = 0; slot < kSlots; ++slot) {
    const std::string name = "spd slot " + std::to_string(slot);
    const auto it = log.spd.find(slot);
    if (it == log.spd.end()) {
      r.Expect(false, name + " answered");
      continue;
    }
    const SpdLine& s = it->second;
    const std::string got = "code=" + std::to_string(s.code) + " hw=" + std::to_string(s.hw) +
                            " bytes=" + std::to_string(s.bytes) + " (" +
                            std::to_string(s.data.size()) + " printed)";
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
    const ProbeLine& pr = probe->second;
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
  // SeaBIOS describes the 128 MB of -m 128 as one memory device in one array.
  for (const auto& [name, line] :
       {std::pair{"slots", log.slots}, std::pair{"modules", log.modules}}) {
    const std::string got =
        line ? std::to_string(line->count) + " code=" + std::to_string(line->code) : "missing";
    r.Expect(line && line->count == 1 && line->code == 0,
             std::string(name) + " from SeaBIOS's type 16/17 structures", got);
  }
  const auto& strings = kSmbiosStrings;
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

  const RunResult run = RunWithDeadline(command, deadline);
  std::printf("---- serial output (%.2f s) ----\n%s---- end ----\n", run.seconds,
              run.output.c_str());
  const SerialLog log = ParseSerialLog(run.output);

  Report report;
  CheckBoot(run, log, report);
  CheckPci(*profile, log, report);
  CheckSmbus(*profile, run, log, report);
  CheckSmbios(log, report);
  std::printf("%d check(s) failed\n", report.failures());
  return report.failures() == 0 ? 0 : 1;
}
