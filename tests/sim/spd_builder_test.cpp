// The SPD images the boards' modules carry, in the fields no decoder reads
// back: the bytes the module maker wrote, the EEPROM's size, and the part
// number padded with spaces. The decoder tests hold every other fact of
// every board's images against the module it was built from.
#include <gtest/gtest.h>

#include <string>

#include "sim/board.h"
#include "sim/spd_builder.h"

namespace {

TEST(SpdBuilderTest, EveryBoardModuleImageFillsTheFieldsNoDecoderReads) {
  int modules = 0;
  for (const sim::Board& board : sim::Boards()) {
    if (!board.smbus) continue;
    for (const auto* bank : {&board.smbus->segment0, &board.smbus->segment1}) {
      for (const sim::SpdSlotSpec& slot : *bank) {
        const sim::DimmSpec& d = slot.dimm;
        SCOPED_TRACE(board.name + " " + d.partNumber);
        const std::array<uint8_t, 256> b = sim::BuildSpdImage(d);
        ++modules;
        const bool ddr3 = d.type == sim::MemoryType::Ddr3;
        if (!ddr3) {
          EXPECT_EQ(b[sim::spd::kBytesUsed], 128);
          EXPECT_EQ(b[sim::spd::kTotalBytesLog2], 8);
        }
        const size_t at = ddr3 ? 128 : sim::spd::kPartNumber;
        const std::string part(reinterpret_cast<const char*>(&b[at]), sim::spd::kPartNumberLength);
        EXPECT_EQ(part, d.partNumber + std::string(part.size() - d.partNumber.size(), ' '));
      }
    }
  }
  EXPECT_GE(modules, 11);
}

}  // namespace
