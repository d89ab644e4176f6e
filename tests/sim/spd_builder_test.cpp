// The SPD images the boards' modules carry state the facts they were built
// from, in the JEDEC layout a decoder reads.
#include <string>

#include "sim/board.h"
#include "sim/spd_builder.h"
#include <gtest/gtest.h>

namespace {

TEST(SpdBuilderTest, EveryBoardModuleImageStatesItsFacts) {
  int modules = 0;
  for (const sim::Board& board : sim::Boards()) {
    if (!board.smbus) continue;
    for (const auto* bank : {&board.smbus->segment0, &board.smbus->segment1}) {
      for (const sim::SpdSlotSpec& slot : *bank) {
        const sim::DimmSpec& d = slot.dimm;
        SCOPED_TRACE(board.name + " " + d.partNumber);
        const std::array<uint8_t, 256> b = sim::BuildSpdImage(d);
        ++modules;
        EXPECT_EQ(b[sim::spd::kChecksum], sim::SpdChecksum(b));
        EXPECT_EQ(b[sim::spd::kBytesUsed], 128);
        EXPECT_EQ(b[sim::spd::kTotalBytesLog2], 8);
        EXPECT_EQ(b[sim::spd::kMemoryType], static_cast<uint8_t>(d.type));
        EXPECT_EQ(sim::SpdCapacityMb(b), d.capacityMb);
        EXPECT_EQ(b[sim::spd::kRanks], d.ranks);
        EXPECT_EQ(b[sim::spd::kDataWidthLow], d.dataWidth);
        EXPECT_EQ(b[sim::spd::kConfigType], d.dataWidth == 72 ? 0x02 : 0x00);
        // Exactly one density bit, for the size of one rank.
        EXPECT_EQ(__builtin_popcount(b[sim::spd::kRankDensity]), 1);
        for (size_t i = 0; i < d.jedecId.size(); ++i) {
          EXPECT_EQ(b[sim::spd::kJedecId + i], d.jedecId[i]);
        }
        std::string part(reinterpret_cast<const char*>(&b[sim::spd::kPartNumber]),
                         sim::spd::kPartNumberLength);
        EXPECT_EQ(part.substr(0, part.find_last_not_of(' ') + 1), d.partNumber);
        uint32_t serial = 0;
        for (int i = 3; i >= 0; --i) serial = (serial << 8) | b[sim::spd::kSerial + i];
        EXPECT_EQ(serial, d.serial);
      }
    }
  }
  EXPECT_GE(modules, 11);
}

struct DensityCase {
  sim::MemoryType type;
  uint32_t rankMb;
  uint8_t density;
  uint8_t cycleTime;
  const char* grade;
};

TEST(SpdBuilderTest, DensityAndCycleTimeFollowTheTypeEncoding) {
  const DensityCase cases[] = {
      {sim::MemoryType::Sdr, 64, 0x10, 0xA0, "PC100"},
      {sim::MemoryType::Sdr, 128, 0x20, 0x75, "PC133"},
      {sim::MemoryType::Sdr, 512, 0x80, 0x75, "PC133"},
      {sim::MemoryType::Ddr, 128, 0x20, 0x75, "PC2100"},
      {sim::MemoryType::Ddr, 256, 0x40, 0x60, "PC2700"},
      {sim::MemoryType::Ddr, 512, 0x80, 0x50, "PC3200"},
      {sim::MemoryType::Ddr, 1024, 0x01, 0x50, "PC3200"},
  };
  for (const DensityCase& c : cases) {
    sim::DimmSpec d;
    d.type = c.type;
    d.capacityMb = c.rankMb;
    d.speedGrade = c.grade;
    d.jedecId = {0x2C};
    d.partNumber = "X";
    const auto b = sim::BuildSpdImage(d);
    EXPECT_EQ(b[sim::spd::kRankDensity], c.density) << c.rankMb;
    EXPECT_EQ(b[sim::spd::kCycleTime], c.cycleTime) << c.grade;
    EXPECT_EQ(sim::SpdCapacityMb(b), c.rankMb);
  }
}

}  // namespace
