// The SPD decoder against images built from module facts: every fact the
// builder put in comes back out, and what a damaged or foreign image gives.
#include <gtest/gtest.h>

#include "dimmio/spd.h"
#include "sim/board.h"
#include "sim/boards/modules.h"

namespace {

using dimmio::DecodeSpd;
using dimmio::SpdFacts;

std::vector<sim::DimmSpec> EveryBoardModule() {
  std::vector<sim::DimmSpec> specs;
  for (const sim::Board& board : sim::Boards()) {
    if (!board.smbus) continue;
    for (const auto* segment : {&board.smbus->segment0, &board.smbus->segment1}) {
      for (const sim::SpdSlotSpec& slot : *segment) specs.push_back(slot.dimm);
    }
  }
  return specs;
}

void ExpectFacts(const SpdFacts& f, const sim::DimmSpec& dimm) {
  SCOPED_TRACE(dimm.partNumber);
  EXPECT_TRUE(f.Decoded);
  EXPECT_EQ(f.TypeByte, static_cast<uint8_t>(dimm.type));
  EXPECT_EQ(f.Type, dimm.type == sim::MemoryType::Ddr ? "DDR SDRAM" : "SDR SDRAM");
  EXPECT_EQ(f.CapacityMb, dimm.capacityMb);
  EXPECT_EQ(f.Ranks, dimm.ranks);
  EXPECT_EQ(f.SpeedGrade, dimm.speedGrade);
  EXPECT_EQ(f.DataWidth, dimm.dataWidth);
  EXPECT_EQ(f.Ecc, dimm.dataWidth == 72);
  EXPECT_EQ(f.Maker.Name, dimm.manufacturer);
  EXPECT_EQ(f.Maker.Bank, dimm.jedecId.size());
  EXPECT_EQ(f.Maker.Code, dimm.jedecId.back());
  EXPECT_EQ(f.PartNumber, dimm.partNumber);
  EXPECT_EQ(f.SerialNumber, dimm.serial);
  EXPECT_TRUE(f.ChecksumOk());
}

TEST(SpdDecode, EveryBoardModuleGivesBackItsFacts) {
  const std::vector<sim::DimmSpec> specs = EveryBoardModule();
  ASSERT_GE(specs.size(), 10u);
  for (const sim::DimmSpec& dimm : specs) {
    const auto image = sim::BuildSpdImage(dimm);
    ExpectFacts(DecodeSpd(image), dimm);
    // The module maker's half is all the decoder needs.
    ExpectFacts(DecodeSpd(std::span(image).first(dimmio::kSpdDecodedBytes)), dimm);
  }
}

TEST(SpdDecode, EverySpeedGradeTheBuilderKnows) {
  using sim::boards::Ddr;
  using sim::boards::Sdr;
  const struct {
    sim::DimmSpec dimm;
    const char* chipSpeed;
  } cases[] = {
      {Sdr(32, 1, "PC66", "Toshiba", {0x98}, "THMY6416G1", 1), "SDR66"},
      {Sdr(64, 1, "PC100", "NEC", {0x10}, "MC-4516CD641", 2), "SDR100"},
      {Sdr(512, 2, "PC133", "Infineon", {0xC1}, "HYS64V64220GU", 3, 72), "SDR133"},
      {Ddr(128, 1, "PC1600", "Nanya", {0x7F, 0x7F, 0x7F, 0x0B}, "NT128D64SH4A1G", 4), "DDR200"},
      {Ddr(256, 1, "PC2100", "Corsair", {0x7F, 0x7F, 0x9E}, "CM64SD256", 5), "DDR266"},
      {Ddr(2048, 2, "PC2700", "Elpida", {0xFE}, "EBD21RD4ABNA-6B", 6), "DDR333"},
      {Ddr(1024, 2, "PC3200", "Kingston", {0x7F, 0x98}, "KVR400X64C3A/1G", 7), "DDR400"},
  };
  for (const auto& c : cases) {
    const SpdFacts f = DecodeSpd(sim::BuildSpdImage(c.dimm));
    ExpectFacts(f, c.dimm);
    EXPECT_EQ(f.ChipSpeed, c.chipSpeed) << c.dimm.speedGrade;
  }
}

TEST(SpdDecode, DamagedAndForeignImages) {
  const sim::DimmSpec dimm = sim::boards::Ddr(512, 2, "PC3200", "Samsung", {0xCE}, "M368L6423ETN", 9);
  auto image = sim::BuildSpdImage(dimm);

  auto flipped = image;
  flipped[9] ^= 0x01;  // a timing byte changed, the checksum not
  SpdFacts f = DecodeSpd(flipped);
  EXPECT_FALSE(f.ChecksumOk());
  EXPECT_EQ(f.StoredChecksum, image[63]);
  EXPECT_EQ(f.ComputedChecksum, static_cast<uint8_t>(image[63] + 1));

  auto ddr2 = image;
  ddr2[2] = 0x08;
  f = DecodeSpd(ddr2);
  EXPECT_FALSE(f.Decoded);
  EXPECT_EQ(f.Type, "DDR2 SDRAM");
  EXPECT_EQ(f.CapacityMb, 0u);

  auto odd = image;
  odd[2] = 0x42;
  EXPECT_EQ(DecodeSpd(odd).Type, "unknown (0x42)");

  // A read that stopped early: type only, no checksum to judge.
  f = DecodeSpd(std::span(image).first(40));
  EXPECT_FALSE(f.Decoded);
  EXPECT_EQ(f.Type, "DDR SDRAM");
  EXPECT_TRUE(DecodeSpd({}).Type.empty());

  // Unprintable part-number bytes show as blanks; trailing blanks go.
  auto part = image;
  part[73 + 2] = 0x01;
  for (int i = 73 + 8; i < 73 + 18; ++i) part[i] = 0x00;
  EXPECT_EQ(DecodeSpd(part).PartNumber, "M3 8L642");
}

TEST(JedecId, BankCountsContinuationCodes) {
  const struct {
    std::vector<uint8_t> id;
    uint8_t bank;
    uint8_t code;
    const char* name;
  } cases[] = {
      {{0x2C, 0x00, 0x00}, 1, 0x2C, "Micron"},
      {{0x7F, 0x98, 0x00}, 2, 0x98, "Kingston"},
      {{0x98}, 1, 0x98, "Toshiba"},  // the same code in bank 1 is another maker
      {{0x7F, 0x7F, 0x7F, 0x0B}, 4, 0x0B, "Nanya"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x13}, 8, 0x13, ""},
      {{0x00, 0x00}, 0, 0, ""},
      {{0x7F, 0xFF}, 0, 0, ""},
  };
  for (const auto& c : cases) {
    const dimmio::JedecMaker maker = dimmio::DecodeJedecId(c.id);
    EXPECT_EQ(maker.Bank, c.bank) << c.name;
    EXPECT_EQ(maker.Code, c.code) << c.name;
    EXPECT_EQ(maker.Name, c.name);
  }
}

}  // namespace
