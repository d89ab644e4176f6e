// Names of PCI functions from the PCI ID database (the pci.ids file), the
// way lspci names them: "Intel Corporation 82801EB/ER (ICH5/ICH5R) SMBus
// Controller".
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace dimmio {

struct PciId {
  uint32_t Vendor;
  uint32_t Device;
};

class PciNames {
 public:
  // Keeps the names of the `wanted` functions and their vendors from a
  // pci.ids text; the rest of the database is skipped.
  static PciNames Read(std::istream& ids, const std::vector<PciId>& wanted);
  // The same from the first of `paths` that opens; none found: no names.
  static PciNames Load(const std::vector<std::string>& paths, const std::vector<PciId>& wanted);

  // "Vendor Device", "Vendor Device 24D3" when the database knows the vendor
  // only, "" when it knows neither.
  std::string Name(uint32_t vendor, uint32_t device) const;
  // The file the names came from; "" when none was found.
  const std::string& Source() const { return source_; }

 private:
  std::map<uint32_t, std::string> vendors_;
  std::map<uint32_t, std::string> devices_;  // vendor << 16 | device
  std::string source_;
};

}  // namespace dimmio
