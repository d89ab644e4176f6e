#include "serial_log.h"

#include <sstream>

namespace qemucheck {
namespace {

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
    log.done = AtEnd(in);
    return log.done;
  }
  return false;
}

}  // namespace

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

}  // namespace qemucheck
