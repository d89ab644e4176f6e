#include "serial_log.h"

#include <sstream>

namespace qemucheck {
namespace {

bool ReadHex(std::istringstream& in, uint32_t& value) {
  in >> std::hex >> value >> std::dec;
  return !in.fail();
}

// "key=value" with a decimal (possibly negative) or 0x-prefixed value.
bool ReadField(std::istringstream& in, const std::string& key, int64_t& value) {
  std::string word;
  if (!(in >> word) || word.rfind(key + "=", 0) != 0) return false;
  const std::string text = word.substr(key.size() + 1);
  try {
    size_t used = 0;
    value = std::stoll(text, &used, 0);
    return used == text.size();
  } catch (...) {
    return false;
  }
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
  if (word == "chipset" || word == "pci") {
    PciRecord r;
    if (!ReadRecord(in, r) || !AtEnd(in)) return false;
    if (word == "chipset") log.chipset = r;
    else log.pci.push_back(r);
    return true;
  }
  if (word == "pcicount") {
    uint32_t n;
    if (!(in >> n) || !AtEnd(in)) return false;
    log.pciCount = n;
    return true;
  }
  if (word == "spd") {
    uint32_t slot;
    int64_t code, hw, detail, bytes;
    if (!(in >> slot) || !ReadField(in, "code", code) || !ReadField(in, "hw", hw) ||
        !ReadField(in, "detail", detail) || !ReadField(in, "bytes", bytes)) {
      return false;
    }
    SpdLine spd{static_cast<uint32_t>(code), static_cast<uint32_t>(hw),
                static_cast<uint32_t>(detail), static_cast<uint32_t>(bytes), {}};
    std::string byte;
    while (in >> byte) {
      if (byte.size() != 2) return false;
      spd.data.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    log.spd[slot] = spd;
    return true;
  }
  if (word == "probe") {
    uint32_t slot;
    int64_t result, code, hw;
    if (!(in >> slot) || !ReadField(in, "result", result) || !ReadField(in, "code", code) ||
        !ReadField(in, "hw", hw) || !AtEnd(in)) {
      return false;
    }
    log.probe[slot] = ProbeLine{static_cast<int32_t>(result), static_cast<uint32_t>(code),
                                static_cast<uint32_t>(hw)};
    return true;
  }
  if (word == "slots" || word == "modules") {
    uint32_t n;
    int64_t code;
    if (!(in >> n) || !ReadField(in, "code", code) || !AtEnd(in)) return false;
    (word == "slots" ? log.slots : log.modules) = CountLine{n, static_cast<uint32_t>(code)};
    return true;
  }
  if (word == "sysinfo") {
    uint32_t field;
    if (!(in >> field)) return false;
    const size_t quote = line.find('"');
    if (quote == std::string::npos) return false;
    const auto text = DecodeQuoted(line.substr(quote));
    if (!text) return false;
    log.sysinfo[field] = *text;
    return true;
  }
  if (word == "pcicfg") {
    PciRecord where;
    if (!ReadHex(in, where.bus) || !ReadHex(in, where.device) || !ReadHex(in, where.function)) {
      return false;
    }
    log.pcicfgLocation = where;
    std::string dword;
    while (in >> dword) {
      if (dword.size() != 8) return false;
      log.pcicfg.push_back(static_cast<uint32_t>(std::stoul(dword, nullptr, 16)));
    }
    return true;
  }
  if (word == "time") {
    std::string what;
    uint32_t ms;
    if (!(in >> what) || what != "spd" || !(in >> ms) || !AtEnd(in)) return false;
    log.spdMs = ms;
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
