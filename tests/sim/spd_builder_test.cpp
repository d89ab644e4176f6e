// The SPD images the boards' modules carry, in the fields no decoder reads
// back: the bytes the module maker wrote, the EEPROM's size, and the part
// number padded with spaces. The decoder tests hold every other fact of
// every board's images against the module it was built from.
#include <gtest/gtest.h>

#include <string>

#include "client/ddr4_modules.h"
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
        if (d.type == sim::MemoryType::Ddr4) continue;  // two pages: the DDR4 test below
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

// DDR4: two pages of 256 bytes; the size as the bytes state it; the part
// number in its 20 bytes.
TEST(SpdBuilderTest, Ddr4ImagesFillBothPages) {
  for (const testsupport::Ddr4Module& m : testsupport::Ddr4Modules()) {
    SCOPED_TRACE(m.name);
    const std::vector<uint8_t> all = sim::BuildSpdContents(m.dimm);
    ASSERT_EQ(all.size(), 512u);
    EXPECT_EQ(sim::SpdCapacityMb(sim::BuildSpdImage(m.dimm)), m.dimm.capacityMb);
    const std::string part(reinterpret_cast<const char*>(&all[329]), 20);
    EXPECT_EQ(part, m.dimm.partNumber + std::string(20 - m.dimm.partNumber.size(), ' '));
  }
}

// Facts no DDR4 module has are refused, not built into a wrong image.
TEST(SpdBuilderTest, RefusesFactsNoDdr4ModuleHas) {
  const sim::DimmSpec good = testsupport::Ddr4Modules()[0].dimm;
  const struct {
    const char* what;
    void (*change)(sim::DimmSpec&);
  } kCases[] = {
      {"micro-DIMM", [](sim::DimmSpec& d) { d.form = sim::ModuleForm::MicroDimm; }},
      {"3 dies", [](sim::DimmSpec& d) { d.dies = 3; }},
      {"1 Gb dies", [](sim::DimmSpec& d) { d.capacityMb = 1024; }},
      {"32 Gb dies", [](sim::DimmSpec& d) { d.capacityMb = 32768; }},
      {"21-character part", [](sim::DimmSpec& d) { d.partNumber = "ABCDEFGHIJKLMNOPQRSTU"; }},
      {"DDR3 grade", [](sim::DimmSpec& d) { d.speedGrade = "PC3-12800"; }},
      {"CL 8", [](sim::DimmSpec& d) { d.casLatency = 8; }},
      {"week 54", [](sim::DimmSpec& d) { d.week = 54; }},
  };
  EXPECT_NO_THROW(sim::BuildSpdContents(good));
  for (const auto& c : kCases) {
    sim::DimmSpec d = good;
    c.change(d);
    EXPECT_THROW(sim::BuildSpdContents(d), std::invalid_argument) << c.what;
  }
}

}  // namespace
