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

}  // namespace
