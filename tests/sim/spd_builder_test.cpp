// The SPD images the boards' modules carry state the facts they were built
// from, in the JEDEC layout a decoder reads.
#include <string>

#include "sim/board.h"
#include "sim/boards/modules.h"
#include "sim/spd_builder.h"
#include <gtest/gtest.h>

namespace {

// Where the module maker's fields sit: DDR3 moved them.
struct FieldOffsets {
  size_t part, serial;
};
FieldOffsets OffsetsOf(sim::MemoryType type) {
  if (type == sim::MemoryType::Ddr3) return {128, 122};
  return {sim::spd::kPartNumber, sim::spd::kSerial};
}

// The facts every image states, whatever its type.
void ExpectImageStates(const std::array<uint8_t, 256>& b, const sim::DimmSpec& d) {
  EXPECT_EQ(b[sim::spd::kMemoryType], static_cast<uint8_t>(d.type));
  EXPECT_EQ(sim::SpdCapacityMb(b), d.capacityMb);
  if (d.type == sim::MemoryType::Ddr3) {
    EXPECT_EQ(b[126] | b[127] << 8, sim::SpdCrc16(b));
    EXPECT_EQ(((b[7] >> 3) & 7) + 1, d.ranks);
    EXPECT_EQ(8 << (b[8] & 7) | ((b[8] & 0x18) ? 8 : 0), d.dataWidth);
  } else {
    EXPECT_EQ(b[sim::spd::kChecksum], sim::SpdChecksum(b));
    EXPECT_EQ(b[sim::spd::kBytesUsed], 128);
    EXPECT_EQ(b[sim::spd::kTotalBytesLog2], 8);
    EXPECT_EQ((b[sim::spd::kRanks] & 7) + (d.type == sim::MemoryType::Ddr2 ? 1 : 0), d.ranks);
    EXPECT_EQ(b[sim::spd::kDataWidthLow], d.dataWidth);
    EXPECT_EQ(b[sim::spd::kConfigType], d.dataWidth == 72 ? 0x02 : 0x00);
    // Exactly one density bit, for the size of one rank.
    EXPECT_EQ(__builtin_popcount(b[sim::spd::kRankDensity]), 1);
  }
  const FieldOffsets at = OffsetsOf(d.type);
  std::string part(reinterpret_cast<const char*>(&b[at.part]), sim::spd::kPartNumberLength);
  EXPECT_EQ(part.substr(0, part.find_last_not_of(' ') + 1), d.partNumber);
  uint32_t serial = 0;
  for (int i = 3; i >= 0; --i) serial = (serial << 8) | b[at.serial + i];
  EXPECT_EQ(serial, d.serial);
}

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
        ExpectImageStates(b, d);
        if (d.type == sim::MemoryType::Ddr3) continue;
        for (size_t i = 0; i < d.jedecId.size(); ++i) {
          EXPECT_EQ(b[sim::spd::kJedecId + i], d.jedecId[i]);
        }
      }
    }
  }
  EXPECT_GE(modules, 11);
}

// DDR2 and DDR3 images: size from the device geometry, the type's own
// integrity check, and DDR3's maker as a parity-protected bank count.
TEST(SpdBuilderTest, Ddr2AndDdr3ImagesStateTheirFacts) {
  using sim::boards::Ddr2;
  using sim::boards::Ddr3;
  auto x4 = [](sim::DimmSpec d) { d.deviceWidth = 4; d.form = sim::ModuleForm::Rdimm; return d; };
  auto crc126 = [](sim::DimmSpec d) { d.crcOver126Bytes = true; return d; };
  const struct {
    sim::DimmSpec dimm;
    uint8_t rowBits, columnBits, banks;  // DDR2 bytes 3, 4, 17; DDR3 from byte 4-5
    uint8_t makerCount;                   // DDR3 byte 117: continuations, odd parity
  } cases[] = {
      {Ddr2(512, 1, "PC2-4200", "Micron", {0x2C}, "MT8HTF6464AY-53E", 1), 14, 10, 4, 0},
      {Ddr2(2048, 2, "PC2-6400", "Samsung", {0xCE}, "M378T2863QZS-CF7", 2), 14, 10, 8, 0},
      {x4(Ddr2(4096, 2, "PC2-5300", "Kingston", {0x7F, 0x98}, "KVR667D2D4P5/4G", 3, 72)), 14, 11, 8, 0},
      {Ddr2(8192, 2, "PC2-8500", "Qimonda", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x51}, "X", 4), 16, 10, 8, 0},
      {Ddr3(2048, 2, "PC3-10600", "Kingston", {0x7F, 0x98}, "KVR1333D3N9/2G", 5), 14, 10, 8, 0x01},
      {crc126(Ddr3(4096, 2, "PC3-12800", "Hynix", {0xAD}, "HMT351U6CFR8C-PB", 6)), 15, 10, 8, 0x80},
      {x4(Ddr3(8192, 2, "PC3-17000", "Qimonda", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x51}, "Y", 7, 72)),
       15, 11, 8, 0x85},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dimm.speedGrade + " " + std::to_string(c.dimm.capacityMb));
    const std::array<uint8_t, 256> b = sim::BuildSpdImage(c.dimm);
    ExpectImageStates(b, c.dimm);
    if (c.dimm.type == sim::MemoryType::Ddr2) {
      EXPECT_EQ(b[3], c.rowBits);
      EXPECT_EQ(b[4], c.columnBits);
      EXPECT_EQ(b[17], c.banks);
      continue;
    }
    EXPECT_EQ(((b[5] >> 3) & 7) + 12, c.rowBits);
    EXPECT_EQ((b[5] & 7) + 9, c.columnBits);
    EXPECT_EQ(b[117], c.makerCount);
    EXPECT_EQ(b[118], c.dimm.jedecId.back());
    // The CRC covers the date (bytes 120-121) only when byte 0 says 0-125.
    auto redated = b;
    redated[120] ^= 0x01;
    EXPECT_EQ(sim::SpdCrc16(redated) != sim::SpdCrc16(b), c.dimm.crcOver126Bytes);
  }
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
