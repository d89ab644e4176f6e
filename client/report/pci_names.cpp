#include "pci_names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace dimmio {

namespace {

// A line's four hex digits at `at` followed by the name after two spaces:
// "8086  Intel Corporation". False for anything else.
bool IdLine(const std::string& line, size_t at, uint32_t* id, std::string* name) {
  if (line.size() < at + 6 || line[at + 4] != ' ') return false;
  uint32_t value = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const int c = std::tolower(static_cast<unsigned char>(line[i]));
    if (!std::isxdigit(c)) return false;
    value = value << 4 | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  size_t start = at + 4;
  while (start < line.size() && line[start] == ' ') ++start;
  size_t end = line.size();
  while (end > start && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
  if (start == end) return false;
  *id = value;
  *name = line.substr(start, end - start);
  return true;
}

}  // namespace

PciNames PciNames::Read(std::istream& ids, const std::vector<PciId>& wanted) {
  PciNames names;
  const auto wantsVendor = [&](uint32_t vendor) {
    return std::any_of(wanted.begin(), wanted.end(),
                       [&](const PciId& w) { return w.Vendor == vendor; });
  };
  const auto wantsDevice = [&](uint32_t vendor, uint32_t device) {
    return std::any_of(wanted.begin(), wanted.end(),
                       [&](const PciId& w) { return w.Vendor == vendor && w.Device == device; });
  };
  std::string line, name;
  bool inWantedVendor = false;
  uint32_t vendor = 0, id = 0;
  while (std::getline(ids, line)) {
    if (line.empty() || line[0] == '#') continue;
    // The device classes follow the vendors: nothing more to name.
    if (line.rfind("C ", 0) == 0) break;
    if (line[0] != '\t') {
      inWantedVendor = IdLine(line, 0, &id, &name) && wantsVendor(id);
      vendor = id;
      if (inWantedVendor) names.vendors_[vendor] = name;
    } else if (inWantedVendor && line.size() > 1 && line[1] != '\t' &&
               IdLine(line, 1, &id, &name) && wantsDevice(vendor, id)) {
      names.devices_[vendor << 16 | id] = name;
    }
  }
  return names;
}

PciNames PciNames::Load(const std::vector<std::string>& paths, const std::vector<PciId>& wanted) {
  for (const std::string& path : paths) {
    std::ifstream ids(path);
    if (!ids) continue;
    PciNames names = Read(ids, wanted);
    names.source_ = path;
    return names;
  }
  return {};
}

std::string PciNames::Name(uint32_t vendor, uint32_t device) const {
  const auto v = vendors_.find(vendor);
  if (v == vendors_.end()) return "";
  const auto d = devices_.find(vendor << 16 | device);
  if (d != devices_.end()) return v->second + ' ' + d->second;
  char id[16];
  std::snprintf(id, sizeof id, "%04X", device & 0xFFFF);
  return v->second + " Device " + id;
}

}  // namespace dimmio
