// Tests of the SMBIOS queries: a simulated machine per test and a cache that
// starts untried, as it does when the driver is loaded.
#pragma once

#include <stdint.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/op_status.h"
#include "sim/smbios_builder.h"
#include "smbios/smbios_cache.h"
#include "support/sim_test.h"

namespace smbiostest {

class SmbiosTest : public testsupport::SimTest {
 protected:
  SmbiosTest() { ResetSmbiosCache(); }
  ~SmbiosTest() override { ResetSmbiosCache(); }

  size_t MapsAt(uint64_t address) const {
    size_t n = 0;
    for (uint64_t a : machine_.MapRequests()) n += a == address;
    return n;
  }
};

// A table in memory of exactly its own size, so that a read past its end is
// caught by the address sanitizer.
class ExactTable {
 public:
  explicit ExactTable(const std::vector<uint8_t>& bytes, uint32_t structureCount = 0xFFFF)
      : bytes_(new uint8_t[bytes.size()]),
        length_(static_cast<uint16_t>(bytes.size())),
        count_(structureCount) {
    std::memcpy(bytes_.get(), bytes.data(), bytes.size());
  }
  explicit ExactTable(const sim::SmbiosImage& image)
      : ExactTable(image.bytes, image.structureCount) {}
  SmbiosTableRef Ref() const { return {bytes_.get(), length_, count_}; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  uint16_t length_;
  uint32_t count_;
};

// The text of report field `field` (0-7), up to its terminator.
inline std::string ReportField(const uint8_t* report, int field) {
  const char* text = reinterpret_cast<const char*>(report + field * 128);
  return std::string(text, strnlen(text, 128));
}

}  // namespace smbiostest
