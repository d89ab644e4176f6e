// The SMBIOS builder lays tables down as a BIOS does: an entry point whose
// checksums hold and whose fields describe the table that was placed.
#include <numeric>

#include "smbios_fixture.h"

namespace {

uint8_t Sum(const std::vector<uint8_t>& v, size_t from, size_t to) {
  return static_cast<uint8_t>(std::accumulate(v.begin() + from, v.begin() + to, 0));
}

TEST(SmbiosBuilder, EntryPointChecksumsAndAnchors) {
  const auto ep = sim::EncodeEntryPoint(0x3FFF0000, 0x1234, 42, 0x60);
  ASSERT_EQ(ep.size(), 0x1Fu);
  EXPECT_EQ(std::string(ep.begin(), ep.begin() + 4), "_SM_");
  EXPECT_EQ(std::string(ep.begin() + 0x10, ep.begin() + 0x15), "_DMI_");
  EXPECT_EQ(Sum(ep, 0, 0x1F), 0);
  EXPECT_EQ(Sum(ep, 0x10, 0x1F), 0);
  EXPECT_EQ(ep[0x16] | ep[0x17] << 8, 0x1234);
  EXPECT_EQ(ep[0x1C] | ep[0x1D] << 8, 42);
}

TEST(SmbiosBuilder, StructuresCarryTheirStringSets) {
  const auto image = sim::SmbiosBuilder()
                         .SystemInformation("Maker", "", "V", "")
                         .MemoryController(0)
                         .EndOfTable()
                         .Build();
  EXPECT_EQ(image.structureCount, 3);
  const auto& b = image.bytes;
  ASSERT_EQ(b[0], 1);
  const size_t f = b[1];
  EXPECT_EQ((std::vector<uint8_t>{b[4], b[5], b[6], b[7]}), (std::vector<uint8_t>{1, 0, 2, 0}));
  EXPECT_EQ(std::string(b.begin() + f, b.begin() + f + 9), std::string("Maker\0V\0\0", 9));
  // A type-5 without strings ends in two zeros; the end-of-table marker likewise.
  const size_t type5 = f + 9;
  EXPECT_EQ(b[type5], 5);
  EXPECT_EQ(b.size(), type5 + b[type5 + 1] + 2 + 6);
  EXPECT_EQ(b[b.size() - 6], 127);
}

}  // namespace
