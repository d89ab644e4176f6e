// The SPD decoder against images built from module facts: every fact the
// builder put in comes back out, and what a damaged or foreign image gives.
#include <gtest/gtest.h>

#include <sstream>
#include <numeric>
#include <regex>

#include "dimmio/spd.h"
#include "dimmio/spd_dump.h"
#include "dimmio/client.h"
#include "sim/board.h"
#include "sim/boards/modules.h"
#include "sim/spd_fields.h"
#include "client/ddr4_modules.h"
#include "support/i2cdump.h"

namespace {

using dimmio::DecodeSpd;
using dimmio::SpdFacts;

void ExpectFacts(const SpdFacts& f, const sim::DimmSpec& dimm) {
  SCOPED_TRACE(dimm.partNumber);
  const bool ddr4 = dimm.type == sim::MemoryType::Ddr4;
  const bool newer =
      dimm.type == sim::MemoryType::Ddr2 || dimm.type == sim::MemoryType::Ddr3 || ddr4;
  EXPECT_TRUE(f.Decoded);
  EXPECT_EQ(static_cast<uint8_t>(f.Memory), static_cast<uint8_t>(dimm.type));
  EXPECT_EQ(f.CapacityMb, dimm.capacityMb);
  EXPECT_EQ(f.Ranks, dimm.ranks);
  EXPECT_EQ(f.SpeedGrade, dimm.speedGrade);
  EXPECT_EQ(f.DataWidth, dimm.dataWidth);
  EXPECT_EQ(f.Ecc, dimm.dataWidth == 72);
  EXPECT_EQ(f.ErrorCheck,
            dimm.dataWidth == 72 ? dimmio::SpdErrorCheck::Ecc : dimmio::SpdErrorCheck::None);
  EXPECT_FALSE(f.Asymmetric);
  EXPECT_EQ(f.RankMb[0], dimm.capacityMb / dimm.ranks);
  EXPECT_EQ(f.RankMb[1], dimm.ranks > 1 ? dimm.capacityMb / dimm.ranks : 0);
  EXPECT_TRUE(f.DensityMatches);
  const bool formed = newer || dimm.type == sim::MemoryType::Ddr;  // SDR images are unbuffered
  EXPECT_EQ(f.Registered, formed && (dimm.form == sim::ModuleForm::Rdimm ||
                                     (ddr4 && dimm.form == sim::ModuleForm::MiniRdimm)));
  // At the highest CAS latency, or (DDR2, DDR3) at the fastest standard speed.
  const auto& timings = newer ? f.Ddr2.StandardSpeeds : f.Timings;
  ASSERT_FALSE(timings.empty());
  EXPECT_EQ(timings.front().Grade, dimm.speedGrade);
  EXPECT_EQ(f.Maker.Name, dimm.manufacturer);
  EXPECT_TRUE(f.Maker.ParityOk);
  EXPECT_EQ(f.Maker.Bank, dimm.jedecId.size());
  EXPECT_EQ(f.Maker.Code, dimm.jedecId.back());
  EXPECT_EQ(f.PartNumber, dimm.partNumber);
  EXPECT_EQ(f.SerialNumber, dimm.serial);
  EXPECT_TRUE(f.ChecksumOk());
  EXPECT_EQ(f.CheckRule, dimm.type == sim::MemoryType::Ddr3 || ddr4 ? dimmio::SpdCheckRule::Crc16
                                                                    : dimmio::SpdCheckRule::Sum);
  EXPECT_EQ(f.HasXmp, !dimm.xmp.empty());
}

using Patch = std::vector<std::pair<uint16_t, uint8_t>>;  // offset, value

// A builder's image (DDR4: both pages) with bytes changed; the checksum
// (DDR3: the CRC, DDR4: both CRCs) made right again unless the case is about it.
std::vector<uint8_t> Patched(const sim::DimmSpec& base, const Patch& patch, bool fixChecksum) {
  std::vector<uint8_t> image = sim::BuildSpdContents(base);
  for (const auto& [offset, value] : patch) image.at(offset) = value;
  if (fixChecksum && base.type == sim::MemoryType::Ddr4) {
    sim::spd_fields::PutCrc(image.data(), 0, 126, 126);
    sim::spd_fields::PutCrc(image.data(), 128, 126, 254);
  } else if (fixChecksum && base.type == sim::MemoryType::Ddr3) {
    sim::spd_fields::PutCrc(image.data(), 0, (image[0] & 0x80) ? 117 : 126, 126);
  } else if (fixChecksum) {
    image[63] = static_cast<uint8_t>(std::accumulate(image.begin(), image.begin() + 63, 0));
  }
  return image;
}

std::vector<uint8_t> JedecField(int continuations, uint8_t code) {
  std::vector<uint8_t> id(continuations, 0x7F);
  id.push_back(code);
  id.resize(8, 0x00);
  return id;
}

Patch WithMaker(int continuations, uint8_t code) {
  Patch patch;
  const std::vector<uint8_t> id = JedecField(continuations, code);
  for (uint8_t i = 0; i < 8; ++i) patch.emplace_back(64 + i, id[i]);
  return patch;
}

// The modules the hand-made images start from. DDR: 512 MB in 2 ranks of
// 256 MB (13 rows, 10 columns, 4 banks), PC3200; tAC 0.65 ns at 5 ns (CL3),
// 0.7 ns at 6 ns (CL2.5); address setup and hold 0.6 ns, data 0.4 ns; tRC
// 55 ns, tRFC 70 ns; year 03, week 17 in BCD.
const sim::DimmSpec kDdrBase =
    sim::boards::Ddr(512, 2, "PC3200", "Samsung", {0xCE}, "M368L6423ETN", 9);
// SDR: 256 MB in one rank, PC133; tAC 5.4 ns at 7.5 ns (CL3), 6.0 ns at 10 ns
// (CL2); address and data setup 1.5 ns, hold 0.8 ns; tRC derived 65 ns; the
// same date.
const sim::DimmSpec kSdrBase =
    sim::boards::Sdr(256, 1, "PC133", "Micron", {0x2C}, "MT8LSDT3264AG", 1);

// An edge image's facts on one line: the size as its ranks add up, whether
// byte 31 names their sizes, the error check, registered or not, the grade
// and the chips' speed, the maker's bank and name, and its parity bit if wrong.
std::string EdgeFacts(const SpdFacts& f) {
  static constexpr const char* kCheck[] = {"none", "parity", "ECC"};
  return std::to_string(f.CapacityMb) + " = " + std::to_string(f.RankMb[0]) + " + " +
         std::to_string(f.RankMb[1]) + (f.Asymmetric ? " asymmetric" : "") +
         (f.DensityMatches ? "" : ", byte 31 other") + ", " +
         kCheck[static_cast<int>(f.ErrorCheck)] + (f.Registered ? ", registered" : "") + ", " +
         f.SpeedGrade + " " + f.ChipSpeed + ", " + std::to_string(f.Maker.Bank) + " " +
         f.Maker.Name + (f.Maker.ParityOk ? "" : "(parity wrong)");
}

// A hand-made image: a builder's module with bytes changed and its checksum
// (DDR3: its CRC) made right again, then `after` changed over it; the facts
// it decodes to on one line.
struct EdgeRow {
  const char* name;
  const sim::DimmSpec& base;
  Patch patch;
  std::string facts;
  Patch after = {};
};

// Each row's image decodes, and `factsOf` (which checks what the row's facts
// line does not state) gives its facts line.
template <typename FactsOf>
void ExpectEdgeRows(std::initializer_list<EdgeRow> rows, FactsOf factsOf) {
  for (const EdgeRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto image = Patched(row.base, row.patch, true);
    for (const auto& [offset, value] : row.after) image[offset] = value;
    const SpdFacts f = DecodeSpd(image);
    ASSERT_TRUE(f.Decoded);
    EXPECT_EQ(factsOf(f, row), row.facts);
  }
}

// XMP profiles as the builder writes them on the boards' and the DDR4 test
// modules, and two written byte by byte: a DDR4-3600 module's XMP 2.0 as
// decoded by hand (profile 1 5 x 125 - 70 ps, tAA 9990 ps, tRCD and tRP
// 12210 ps; profile 2 667 ps, 16-18-18) and a DDR3 XMP 1.x profile in eighths
// of a ns without fine offsets.
TEST(SpdDecode, XmpProfilesGiveTheirClockVoltageAndLatencies) {
  std::vector<std::pair<std::string, sim::DimmSpec>> built;
  for (const sim::Board& board : sim::Boards()) {
    for (const sim::SpdSlotSpec& slot :
         board.smbus ? board.smbus->segment0 : std::vector<sim::SpdSlotSpec>{}) {
      if (!slot.dimm.xmp.empty()) built.emplace_back(board.name, slot.dimm);
    }
  }
  for (const testsupport::Ddr4Module& m : testsupport::Ddr4Modules()) {
    if (!m.dimm.xmp.empty()) built.emplace_back(m.name, m.dimm);
  }
  ASSERT_GE(built.size(), 3u);
  for (const auto& [name, dimm] : built) {
    SCOPED_TRACE(name);
    const SpdFacts f = DecodeSpd(sim::BuildSpdContents(dimm));
    EXPECT_TRUE(f.HasXmp);
    ASSERT_EQ(f.Xmp.size(), dimm.xmp.size());
    for (size_t i = 0; i < f.Xmp.size(); ++i) {
      const dimmio::SpdXmpProfile& p = f.Xmp[i];
      const sim::XmpProfile& want = dimm.xmp[i];
      EXPECT_EQ(p.Number, i + 1);
      EXPECT_EQ(p.VoltageMv, want.millivolts);
      EXPECT_EQ(p.DimmsPerChannel, want.dimmsPerChannel);
      EXPECT_EQ(p.At.CycleTimePs, want.tckPs);
      EXPECT_EQ(p.TaaPs, want.cl * want.tckPs);
      EXPECT_EQ(p.TrcPs, (want.tras + want.trp) * want.tckPs);
      EXPECT_EQ(std::vector<uint32_t>({p.At.CasTenths / 10u, p.At.Trcd, p.At.Trp, p.At.Tras}),
                std::vector<uint32_t>({want.cl, want.trcd, want.trp, want.tras}));
      EXPECT_EQ(p.TrfcPs, f.TrfcPs);
    }
  }

  const sim::DimmSpec ddr4 = testsupport::Ddr4Modules()[0].dimm;
  const sim::DimmSpec ddr3 =
      sim::boards::Ddr3(2048, 2, "PC3-10600", "Kingston", sim::boards::kKingston, "K", 1);
  const std::string kCl10To18 = "CL10 CL11 CL12 CL13 CL14 CL15 CL16 CL17 CL18";
  // clang-format off
  ExpectEdgeRows({
      {"DDR4-3600 C18", ddr4,
       {{384, 0x0C}, {385, 0x4A}, {386, 0x03}, {387, 0x20}, {393, 0xA3}, {396, 5}, {431, 0xBA},
        {397, 0xF8}, {398, 0x0F}, {401, 80}, {430, 0xF6}, {402, 98}, {429, 0xD8}, {403, 98},
        {428, 0xD8}, {440, 0xA3}, {443, 6}, {478, 0xAD}, {444, 0xF8}, {445, 0x0F}, {448, 84},
        {477, 0xF0}, {449, 96}, {476, 0xF2}, {450, 96}, {475, 0xF2}},
       "XMP: revision 2.0, profiles 1 and 2\n"
       "XMP profile 1: DDR4-3600 (PC4-28800) 18-22-22-0 at 1.35 V, tCK 0.555 ns, "
       "1 DIMM per channel\n"
       "CAS latencies " + kCl10To18 + "\n"
       "XMP profile 2: DDR4-3000 (PC4-24000) 16-18-18-0 at 1.35 V, tCK 0.667 ns, "
       "1 DIMM per channel\n"
       "CAS latencies " + kCl10To18 + "\n"},
      {"DDR3-1600 C9", ddr3,
       {{176, 0x0C}, {177, 0x4A}, {178, 0x05}, {179, 0x12}, {180, 1}, {181, 8}, {185, 0x2D},
        {186, 10}, {187, 90}, {188, 0x20}, {191, 90}, {192, 90}, {195, 0xF0}},
       "XMP: revision 1.2, profile 1\n"
       "XMP profile 1: DDR3-1600 (PC3-12800) 9-9-9-24 at 1.65 V, tCK 1.25 ns, 2 DIMMs per channel\n"
       "CAS latencies CL9\n"},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow&) {
        // The XMP lines and each profile's latencies, their columns closed up.
        std::istringstream text(dimmio::SpdDecodeText(f));
        std::string facts;
        for (std::string line; std::getline(text, line);) {
          const std::string trimmed = std::regex_replace(line, std::regex(" {2,}"), " ");
          if (line.starts_with("XMP") || trimmed.starts_with(" CAS latencies CL"))
            facts += trimmed.substr(trimmed.front() == ' ') + "\n";
        }
        return facts;
      });
}

// DDR4: the facts of every form, stack and grade from both pages; the first
// page alone gives all but the manufacturing data.
TEST(SpdDecode, Ddr4ModulesGiveBackTheirFacts) {
  for (const testsupport::Ddr4Module& m : testsupport::Ddr4Modules()) {
    SCOPED_TRACE(m.name);
    const sim::DimmSpec& d = m.dimm;
    const std::vector<uint8_t> image = sim::BuildSpdContents(d);
    const SpdFacts f = DecodeSpd(image);
    ExpectFacts(f, d);
    EXPECT_EQ(f.DeviceWidth, d.deviceWidth);
    EXPECT_EQ(f.Ddr4.Dies, d.dies);
    EXPECT_EQ(f.Ddr4.Package,
              d.dies > 1 ? "3DS (" + std::to_string(d.dies) + " dies)" : "monolithic");
    EXPECT_EQ(f.Buffered, d.form == sim::ModuleForm::Lrdimm);
    EXPECT_EQ(f.Ddr3.ThermalSensor, d.thermalSensor);
    EXPECT_TRUE(f.Ddr4.Crc2Checked);
    EXPECT_EQ(f.Ddr4.StoredCrc2, f.Ddr4.ComputedCrc2);
    EXPECT_EQ(f.Ddr2.VoltagesMv, std::vector<uint16_t>{1200});
    EXPECT_EQ(f.Ddr3.DramMaker.Code, (d.dramJedecId.empty() ? d.jedecId : d.dramJedecId).back());
    EXPECT_EQ(f.Year, d.year != 0 ? d.year : 2018);
    EXPECT_EQ(f.Week, d.week != 0 ? d.week : 12);
    // CL = nRCD = nRP of the bin at the grade's own clock.
    const dimmio::SpdCasTiming& top = f.Ddr2.StandardSpeeds.front();
    EXPECT_EQ(top.CasTenths / 10, top.Trcd);
    EXPECT_EQ(top.Trcd, top.Trp);
    if (d.casLatency != 0) {
      EXPECT_EQ(top.CasTenths, d.casLatency * 10);
    }
    EXPECT_GT(f.Ddr4.Trfc2Ps, f.Ddr4.Trfc4Ps);
    EXPECT_GT(f.Ddr4.TwtrLPs, f.Ddr2.TwtrPs);

    const SpdFacts page0 = DecodeSpd(std::span(image).first(256));
    EXPECT_EQ(page0.CapacityMb, d.capacityMb);
    EXPECT_EQ(page0.Ddr2.StandardSpeeds.size(), f.Ddr2.StandardSpeeds.size());
    EXPECT_FALSE(page0.IdentityRead);
    EXPECT_EQ(page0.Maker.Bank, 0);
    EXPECT_NE(dimmio::SpdDecodeText(page0).find(
                  "part number:          not read (the bytes end before byte 352)"),
              std::string::npos);
  }
}

// A DDR4 byte changed: the CRC over it fails and says so on its own line;
// the other one and every fact still decode. CAS latencies in the high
// range (byte 23 bit 7) count from CL23.
TEST(SpdDecode, Ddr4DamageAndTheHighLatencyRange) {
  const sim::DimmSpec d = testsupport::Ddr4Modules()[0].dimm;
  // clang-format off
  ExpectEdgeRows({
      {"byte 50", d, {}, "WRONG: CRC-16 of bytes 0-125, ok", {{50, 0x01}}},
      {"byte 200", d, {}, "ok, WRONG: CRC-16 of bytes 128-253", {{200, 0x01}}},
      {"byte 126", d, {}, "WRONG: CRC-16 of bytes 0-125, ok", {{126, 0xF6}}},
      {"byte 255", d, {}, "ok, WRONG: CRC-16 of bytes 128-253", {{255, 0xA7}}},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow& row) {
        EXPECT_EQ(f.CapacityMb, row.base.capacityMb);
        EXPECT_EQ(f.PartNumber, row.base.partNumber);
        // Each CRC's line up to its values.
        const std::string text = dimmio::SpdDecodeText(f);
        std::string checks;
        for (const char* label : {"checksum:             ", "checksum, page 0 top: "}) {
          const size_t at = text.find(label) + 22;
          const std::string line = text.substr(at, text.find('\n', at) - at);
          checks += (checks.empty() ? "" : ", ") +
                    line.substr(0, std::min(line.find(" ("), line.find(" stored")));
        }
        return checks;
      });

  // The latencies byte 20-23 list; CL-tRCD-tRP-tRAS at each standard speed met.
  // Within the guard band a delay up to 0.025 clocks above a whole count
  // rounds down to it: 14.180 ns (114 x 0.125 - 0.070) at DDR4-2400 is
  // 17.016 clocks, tRAS 35.375 ns (0x11B x 0.125) at DDR4-1866 33.017.
  const std::string kBuilt =
      "CL 9 10 11 12 13 14 15 16 17 18, DDR4-2400 17-17-17-39, "
      "DDR4-2133 16-16-16-35, DDR4-1866 14-14-14-30, DDR4-1600 12-12-12-26";
  // clang-format off
  ExpectEdgeRows({
      // CL23 and CL40: the bin's 17 clocks of tAA take the lowest above them.
      {"high range", d, {{20, 0x01}, {21, 0x00}, {22, 0x02}, {23, 0x80}},
       "CL 23 40, DDR4-2400 23-17-17-39, DDR4-2133 23-16-16-35, DDR4-1866 23-14-14-30, "
       "DDR4-1600 23-12-12-26"},
      {"tAA", d, {{24, 114}, {123, 0xBA}}, kBuilt},
      {"tRCD", d, {{25, 114}, {122, 0xBA}}, kBuilt},
      {"tRP", d, {{26, 114}, {121, 0xBA}}, kBuilt},
      {"tRAS", d, {{27, 0x11}, {28, 0x1B}},
       "CL 9 10 11 12 13 14 15 16 17 18, DDR4-2400 17-17-17-43, DDR4-2133 16-16-16-38, "
       "DDR4-1866 14-14-14-33, DDR4-1600 12-12-12-29"},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow&) {
        std::string facts = "CL";
        for (uint16_t tenths : f.CasTenths) facts += " " + std::to_string(tenths / 10);
        for (const dimmio::SpdCasTiming& t : f.Ddr2.StandardSpeeds) {
          facts += ", " + t.ChipSpeed + " " + std::to_string(t.CasTenths / 10) + "-" +
                   std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
                   std::to_string(t.Tras);
        }
        return facts;
      });
}

// A module of every speed grade the builder knows, with the chips' speed it
// meets (the boards' modules are compared with an independent decoder).
TEST(SpdDecode, EveryModuleGivesBackItsFacts) {
  using sim::boards::Ddr;
  using sim::boards::Ddr2;
  using sim::boards::Ddr3;
  using sim::boards::Sdr;
  const auto Rdimm = [](sim::DimmSpec d) {
    d.form = sim::ModuleForm::Rdimm;
    d.deviceWidth = 4;
    return d;
  };
  const struct {
    sim::DimmSpec dimm;
    const char* chipSpeed;
    // clang-format off
  } cases[] = {
      {Sdr(32, 1, "PC66", "Toshiba", {0x98}, "THMY6416G1", 1), "SDR66"},
      {Sdr(64, 1, "PC100", "NEC", {0x10}, "MC-4516CD641", 2), "SDR100"},
      {Sdr(512, 2, "PC133", "Infineon", {0xC1}, "HYS64V64220GU", 3, 72), "SDR133"},
      {Ddr(128, 1, "PC1600", "Nanya", {0x7F, 0x7F, 0x7F, 0x0B}, "NT128D64SH4A1G", 4), "DDR200"},
      {Ddr(256, 1, "PC2100", "Corsair", {0x7F, 0x7F, 0x9E}, "CM64SD256", 5), "DDR266"},
      {Rdimm(Ddr(2048, 2, "PC2700", "Elpida", {0x7F, 0x7F, 0xFE}, "EBD21RD4ABNA-6B", 6, 72)),
       "DDR333"},
      {Ddr(1024, 2, "PC3200", "Kingston", {0x7F, 0x98}, "KVR400X64C3A/1G", 7), "DDR400"},
      {Ddr2(512, 1, "PC2-3200", "Infineon", {0xC1}, "HYS64T64000GU-5-A", 8), "DDR2-400"},
      {Ddr2(1024, 2, "PC2-4200", "Micron", {0x2C}, "MT16HTF12864AY-53E", 9), "DDR2-533"},
      {Rdimm(Ddr2(4096, 2, "PC2-5300", "Kingston", {0x7F, 0x98}, "KVR667D2D4P5/4G", 10, 72)),
       "DDR2-667"},
      {Ddr2(2048, 2, "PC2-6400", "Samsung", {0xCE}, "M378T5663QZ3-CF7", 11), "DDR2-800"},
      {Ddr2(2048, 2, "PC2-8500", "Corsair", {0x7F, 0x7F, 0x9E}, "CM2X2048-8500C5D", 12),
       "DDR2-1066"},
      {Ddr3(1024, 1, "PC3-6400", "Nanya", {0x7F, 0x7F, 0x7F, 0x0B}, "NT1GC64B88B0NF-BE", 13),
       "DDR3-800"},
      {Ddr3(2048, 2, "PC3-8500", "Elpida", {0x7F, 0x7F, 0xFE}, "EBJ21UE8BDF0-AE-F", 14),
       "DDR3-1066"},
      {Rdimm(Ddr3(8192, 2, "PC3-10600", "Hynix", {0xAD}, "HMT31GR7CFR4C-H9", 15, 72)), "DDR3-1333"},
      {Ddr3(4096, 2, "PC3-12800", "Kingston", {0x7F, 0x98}, "KVR16N11/4", 16), "DDR3-1600"},
      {Ddr3(4096, 1, "PC3-14900", "G.Skill", {0x7F, 0x7F, 0x7F, 0x7F, 0xCD}, "F3-1866C9S-4GXM",
       17), "DDR3-1866"},
      {Ddr3(8192, 2, "PC3-17000", "Crucial Technology", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x9B},
       "BLE8G3D21BCE1", 18), "DDR3-2133"},
  };
  // clang-format on
  for (const auto& [dimm, chipSpeed] : cases) {
    const auto image = sim::BuildSpdImage(dimm);
    const SpdFacts f = DecodeSpd(image);
    ExpectFacts(f, dimm);
    EXPECT_EQ(f.ChipSpeed, chipSpeed) << dimm.speedGrade;
    // The module maker's part is all the decoder needs.
    const size_t needed = dimm.type == sim::MemoryType::Ddr3 ? dimmio::kSpdDdr3DecodedBytes
                                                             : dimmio::kSpdDecodedBytes;
    ExpectFacts(DecodeSpd(std::span(image).first(needed)), dimm);
  }
}

// Hand-made images for what the board modules do not show: each states its
// facts in the bytes it changes.
TEST(SpdDecode, EdgeImages) {
  const sim::DimmSpec& ddr = kDdrBase;
  const sim::DimmSpec& sdr = kSdrBase;
  // clang-format off
  ExpectEdgeRows({
      {"as built", ddr, {}, "512 = 256 + 256, none, PC3200 DDR400, 1 Samsung"},
      // Rank 2 has 12 rows (high nibble of byte 3): 256 + 128 MB, both sizes in byte 31.
      {"asymmetric ranks", ddr, {{3, 0xCD}, {31, 0x60}},
       "384 = 256 + 128 asymmetric, none, PC3200 DDR400, 1 Samsung"},
      {"asymmetric, byte 31 one size", ddr, {{3, 0xCD}},
       "384 = 256 + 128 asymmetric, byte 31 other, none, PC3200 DDR400, 1 Samsung"},
      {"asymmetric columns", ddr, {{4, 0x9A}, {31, 0x60}},
       "384 = 256 + 128 asymmetric, none, PC3200 DDR400, 1 Samsung"},
      // 72 bits: the 8 check bits hold no data.
      {"72-bit ECC", ddr, {{6, 72}, {11, 0x02}}, "512 = 256 + 256, ECC, PC3200 DDR400, 1 Samsung"},
      {"72-bit parity", sdr, {{6, 72}, {11, 0x01}},
       "256 = 256 + 0, parity, PC133 SDR133, 1 Micron"},
      {"registered", ddr, {{21, 0x26}},
       "512 = 256 + 256, none, registered, PC3200 DDR400, 1 Samsung"},
      {"registered SDR", sdr, {{21, 0x1F}},
       "256 = 256 + 0, none, registered, PC133 SDR133, 1 Micron"},
      // Cycle times between grades: the highest grade met.
      {"SDR 8.0 ns", sdr, {{9, 0x80}}, "256 = 256 + 0, none, PC100 SDR125, 1 Micron"},
      {"SDR 15.8 ns", sdr, {{9, 0xF8}, {23, 0}}, "256 = 256 + 0, none,  SDR63, 1 Micron"},
      // SDR takes tenths only: 0x7A is no cycle time, byte 23's 10 ns is the shortest.
      {"SDR 0x7A", sdr, {{9, 0x7A}}, "256 = 256 + 0, none, PC100 SDR100, 1 Micron"},
      {"DDR 3.75 ns", ddr, {{9, 0x3D}}, "512 = 256 + 256, none, PC4200 DDR533, 1 Samsung"},
      {"DDR 5.5 ns", ddr, {{9, 0x55}}, "512 = 256 + 256, none, PC2700 DDR363, 1 Samsung"},
      {"DDR 7.25 ns", ddr, {{9, 0x7A}, {23, 0}}, "512 = 256 + 256, none, PC2100 DDR275, 1 Samsung"},
      // A maker past bank 4, and a code whose parity bit is wrong.
      {"bank 6", ddr, WithMaker(5, 0x9B),
       "512 = 256 + 256, none, PC3200 DDR400, 6 Crucial Technology"},
      {"bank 1 parity wrong", ddr, WithMaker(0, 0x4E),
       "512 = 256 + 256, none, PC3200 DDR400, 1 (parity wrong)"},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow&) {
        EXPECT_EQ(f.Ecc, f.ErrorCheck == dimmio::SpdErrorCheck::Ecc);
        EXPECT_TRUE(f.ChecksumOk());
        const std::string text = dimmio::SpdDecodeText(f);
        EXPECT_NE(text.find(f.Maker.ParityOk ? f.Maker.Name : "parity bit wrong"),
                  std::string::npos)
            << text;
        return EdgeFacts(f);
      });
}

TEST(SpdDecode, ImagesNotDecoded) {
  const sim::DimmSpec dimm =
      sim::boards::Ddr(512, 2, "PC3200", "Samsung", {0xCE}, "M368L6423ETN", 9);
  const std::vector<uint8_t> blankFF(256, 0xFF), blank00(256, 0x00);
  const auto image = sim::BuildSpdImage(dimm);
  const auto ddr3 =
      sim::BuildSpdImage(sim::boards::Ddr3(2048, 2, "PC3-10600", "Hynix", {0xAD}, "H", 1));
  // LPDDR4 (as DDR4) keeps its CRC over bytes 0-125, whatever byte 0 bit 7 says.
  const auto lpddr4 = [&](bool sealed) {
    std::vector<uint8_t> b(ddr3.begin(), ddr3.end());
    b[2] = 0x10;
    sim::spd_fields::PutCrc(b.data(), 0, sealed ? 126 : 117, 126);
    return b;
  };
  using Rule = dimmio::SpdCheckRule;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* type;
    bool blank;
    Rule rule;
    bool checksumOk;
    // clang-format off
  } cases[] = {
      {"blank 0xFF", blankFF, "blank (every byte 0xFF)", true, Rule::None, false},
      {"blank 0x00", blank00, "blank (every byte 0x00)", true, Rule::Sum, true},
      {"LPDDR4", lpddr4(true), "LPDDR4 SDRAM", false, Rule::Crc16, true},
      {"LPDDR4 CRC over 0-116 only", lpddr4(false), "LPDDR4 SDRAM", false, Rule::Crc16, false},
      // No rule known: no checksum either way.
      {"DDR5", Patched(dimm, {{2, 0x12}}, true), "DDR5 SDRAM", false, Rule::None, false},
      {"unknown type", Patched(dimm, {{2, 0x42}}, true), "unknown (0x42)", false,
       Rule::None, false},
      // A read that stopped early: type and checksum only; DDR3's CRC sits beyond.
      {"first 100 bytes", {image.begin(), image.begin() + 100}, "DDR SDRAM", false, Rule::Sum,
       true},
      {"DDR3 first 100 bytes", {ddr3.begin(), ddr3.begin() + 100}, "DDR3 SDRAM", false, Rule::None,
       false},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SpdFacts f = DecodeSpd(c.bytes);
    EXPECT_FALSE(f.Decoded);
    EXPECT_EQ(f.Type, c.type);
    EXPECT_EQ(f.Blank, c.blank);
    EXPECT_EQ(f.CheckRule, c.rule);
    EXPECT_EQ(f.ChecksumOk(), c.checksumOk);
    const std::string text = dimmio::SpdDecodeText(f);
    EXPECT_EQ(text.find("checksum:") != std::string::npos, c.rule != Rule::None && !c.blank)
        << text;
    EXPECT_EQ(f.CapacityMb, 0u);
    EXPECT_EQ(f.Maker.Bank, 0);
  }
  EXPECT_EQ(DecodeSpd(std::span(image).first(40)).Type, "DDR SDRAM");
  EXPECT_EQ(DecodeSpd(std::span(image).first(40)).ComputedChecksum, 0);
  EXPECT_TRUE(DecodeSpd({}).Type.empty());

  // A timing byte changed, the checksum not.
  const SpdFacts f = DecodeSpd(Patched(dimm, {{9, 0x51}}, false));
  EXPECT_TRUE(f.Decoded);
  EXPECT_FALSE(f.ChecksumOk());
  EXPECT_EQ(f.StoredChecksum, image[63]);
  EXPECT_EQ(f.ComputedChecksum, static_cast<uint8_t>(image[63] + 1));
  EXPECT_NE(dimmio::SpdDecodeText(f).find("WRONG: stored"), std::string::npos);
}

// DDR2 and DDR3 images that state what the board modules do not: fine time
// base offsets below zero, DDR2's cycle-time fractions, clocks between
// grades, the CRC's two covers, makers in high banks, a CRC that fails.
TEST(SpdDecode, Ddr2AndDdr3EdgeImages) {
  // 1.071 ns (9 x 1/8 ns - 54 ps), tAA = tRCD = tRP 13.91 ns, CL5-CL13.
  const sim::DimmSpec ddr3 =
      sim::boards::Ddr3(4096, 2, "PC3-14900", "G.Skill", {0x7F, 0x7F, 0x7F, 0x7F, 0xCD}, "F3", 1);
  // 3 ns at CL5, 3.75 ns at CL4, 5 ns at CL3; tRCD = tRP 15 ns, tRAS 45 ns.
  const sim::DimmSpec ddr2 = sim::boards::Ddr2(2048, 2, "PC2-5300", "Samsung", {0xCE}, "M", 2);
  // clang-format off
  ExpectEdgeRows({
      {"DDR3 as built", ddr3, {}, "PC3-14900, 1071 ps, 13-13-13-32 DDR3-1866, ok"},
      // Signed fine offsets: -53 ps still rounds to DDR3-1866's 1.0714 ns, -52 does not.
      {"DDR3 fine -53", ddr3, {{34, 0xCB}}, "PC3-14900, 1072 ps, 13-13-13-32 DDR3-1866, ok"},
      {"DDR3 fine -52", ddr3, {{34, 0xCC}}, "PC3-12800, 1073 ps, 12-12-12-28 DDR3-1600, ok"},
      {"DDR3 1.255 ns", ddr3, {{12, 10}, {34, 0x05}},
       "PC3-10600, 1255 ps, 10-10-10-23 DDR3-1333, ok"},
      {"DDR3 2.625 ns", ddr3, {{12, 21}, {34, 0}}, "none, 2625 ps, none, ok"},
      // tAA 14 ns without its -90 ps: CL14 at DDR3-1866, which the module lacks.
      {"DDR3 tAA without fine", ddr3, {{35, 0}}, "PC3-14900, 1071 ps, 12-12-12-28 DDR3-1600, ok"},
      // The CRC covers the date (bytes 120-121) only when byte 0 bit 7 is clear.
      {"DDR3 CRC 0-116, date changed", ddr3, {},
       "PC3-14900, 1071 ps, 13-13-13-32 DDR3-1866, ok", {{120, 0x12}}},
      {"DDR3 CRC 0-125", ddr3, {{0, 0x12}}, "PC3-14900, 1071 ps, 13-13-13-32 DDR3-1866, ok"},
      {"DDR3 CRC 0-125, date changed", ddr3, {{0, 0x12}},
       "PC3-14900, 1071 ps, 13-13-13-32 DDR3-1866, WRONG", {{120, 0x12}}},
      {"DDR3 bad CRC", ddr3, {}, "PC3-14900, 1071 ps, 13-13-13-32 DDR3-1866, WRONG", {{30, 0x82}}},
      {"DDR2 as built", ddr2, {}, "PC2-5300, 3000 ps, 5-5-5-15 DDR2-667, ok"},
      // Byte 9's low nibble 0xA-0xD: 0.25, 0.33, 0.66, 0.75 ns.
      {"DDR2 2.25 ns", ddr2, {{9, 0x2A}}, "PC2-6400, 2250 ps, 5-6-6-18 DDR2-800, ok"},
      {"DDR2 3.33 ns", ddr2, {{9, 0x3B}}, "PC2-4200, 3330 ps, 4-4-4-12 DDR2-533, ok"},
      {"DDR2 2.66 ns", ddr2, {{9, 0x2C}}, "PC2-5300, 2660 ps, 5-5-5-15 DDR2-667, ok"},
      {"DDR2 3.75 ns", ddr2, {{9, 0x3D}}, "PC2-4200, 3750 ps, 4-4-4-12 DDR2-533, ok"},
      {"DDR2 2.6 ns", ddr2, {{9, 0x26}}, "PC2-5300, 2600 ps, 5-5-5-15 DDR2-667, ok"},
      {"DDR2 5.5 ns, CL5 only", ddr2, {{9, 0x55}, {18, 0x20}}, "none, 5500 ps, none, ok"},
      {"DDR2 bad checksum", ddr2, {}, "PC2-5300, 3000 ps, 5-5-5-17 DDR2-667, WRONG", {{30, 50}}},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow& row) {
        EXPECT_EQ(f.CapacityMb, row.base.capacityMb);
        EXPECT_EQ(f.Maker.Bank, row.base.jedecId.size());
        EXPECT_EQ(f.Maker.Name, row.base.manufacturer);
        EXPECT_NE(
            dimmio::SpdDecodeText(f).find(f.ChecksumOk() ? "checksum:             ok" : "WRONG"),
            std::string::npos);
        // The grade, the clock, CL-tRCD-tRP-tRAS at the fastest standard speed met, the check.
        std::string fastest = "none";
        if (!f.Ddr2.StandardSpeeds.empty()) {
          const dimmio::SpdCasTiming& t = f.Ddr2.StandardSpeeds.front();
          fastest = std::to_string(t.CasTenths / 10) + "-" + std::to_string(t.Trcd) + "-" +
                    std::to_string(t.Trp) + "-" + std::to_string(t.Tras) + " " + t.ChipSpeed;
        }
        return (f.SpeedGrade.empty() ? "none" : f.SpeedGrade) + ", " +
               std::to_string(f.CycleTimePs) + " ps, " + fastest + ", " +
               (f.ChecksumOk() ? "ok" : "WRONG");
      });

  // DDR2 byte 43, the longest clock (3.5 ns): no standard speed slower than it.
  const SpdFacts slow = DecodeSpd(Patched(ddr2, {{43, 0x35}}, true));
  ASSERT_EQ(slow.Ddr2.StandardSpeeds.size(), 1u);
  EXPECT_EQ(slow.Ddr2.StandardSpeeds[0].ChipSpeed, "DDR2-667");
  EXPECT_NE(dimmio::SpdDecodeText(slow).find("longest clock:        tCK 3.5"), std::string::npos);

  // DDR3 read to byte 127 only: all but the part number and the DRAM maker.
  const auto image = sim::BuildSpdImage(ddr3);
  const SpdFacts f = DecodeSpd(std::span(image).first(dimmio::kSpdDecodedBytes));
  EXPECT_TRUE(f.Decoded);
  EXPECT_TRUE(f.ChecksumOk());
  EXPECT_FALSE(f.IdentityRead);
  EXPECT_EQ(f.PartNumber, "");
  EXPECT_EQ(f.Maker.Name, "G.Skill");
  EXPECT_NE(dimmio::SpdDecodeText(f).find("part number:          not read"), std::string::npos);
}

// Each CAS latency with its clock, access time, delays in clocks (rounded up)
// and the grade its clock meets; setup and hold times, DDR byte 40's
// fractions of tRC and tRFC, and the date, from hand-made images that state
// them.
TEST(SpdDecode, TimesAndDateAsTheBytesStateThem) {
  // Each latency "CAS tCK tAC" in ps, "tRCD-tRP-tRAS", grade; then address
  // setup, hold, data setup, hold; then tRC and tRFC.
  const std::string ddr1 = "30 5000 650 3-3-8 PC3200", ddr2 = "25 6000 700 3-3-7 PC2700";
  const std::string ddr = ddr1 + ", " + ddr2, ddrSetupHold = "600 600 400 400";
  const std::string sdr = "30 7500 5400 3-3-6 PC133, 20 10000 6000 2-2-5 PC100";
  const std::string sdrSetupHold = "1500 800 1500 800";
  // clang-format off
  ExpectEdgeRows({
      {"DDR as built", kDdrBase, {}, ddr + "; " + ddrSetupHold + "; 55000 70000"},
      // Tenths and hundredths of a ns; a digit above 9 states nothing.
      {"DDR hundredths", kDdrBase, {{10, 0x45}, {24, 0x50}, {32, 0x75}, {33, 0x75}, {34, 0x45},
       {35, 0x45}}, "30 5000 450 3-3-8 PC3200, 25 6000 500 3-3-7 PC2700; 750 750 450 450; "
       "55000 70000"},
      {"DDR digit above 9", kDdrBase, {{10, 0xA0}, {32, 0x0F}},
       "30 5000 0 3-3-8 PC3200, " + ddr2 + "; 0 600 400 400; 55000 70000"},
      // Byte 40: tRC + 0.75 ns (bits 6-4 = 5), tRFC + 0.25 ns (bits 3-1 = 1).
      {"DDR byte 40 0x52", kDdrBase, {{40, 0x52}}, ddr + "; " + ddrSetupHold + "; 55750 70250"},
      {"DDR byte 40 reserved codes", kDdrBase, {{40, 0x7E}},
       ddr + "; " + ddrSetupHold + "; 55000 70000"},
      {"SDR as built", kSdrBase, {}, sdr + "; " + sdrSetupHold + "; 65000 0"},
      // CL1 too: bytes 25-26 in quarter ns, 15 ns and 8.5 ns; byte 40 means nothing on SDR.
      {"SDR CL1", kSdrBase, {{18, 0x07}, {25, 0x3C}, {26, 0x22}, {40, 0x35}},
       sdr + ", 10 15000 8500 2-2-3 PC66; " + sdrSetupHold + "; 65000 0"},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow& row) {
        if (row.patch.empty()) {  // the latencies byte 18 lists, timed or not
          EXPECT_EQ(f.CasTenths,
                    (row.base.type == sim::MemoryType::Ddr ? std::vector<uint16_t>{20, 25, 30}
                                                           : std::vector<uint16_t>{20, 30}));
        }
        std::string facts;
        for (const dimmio::SpdCasTiming& t : f.Timings) {
          facts += (facts.empty() ? "" : ", ") + std::to_string(t.CasTenths) + " " +
                   std::to_string(t.CycleTimePs) + " " + std::to_string(t.AccessTimePs) + " " +
                   std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
                   std::to_string(t.Tras) + " " + t.Grade;
        }
        facts += ";";
        for (uint32_t ps : {f.AddressSetupPs, f.AddressHoldPs, f.DataSetupPs, f.DataHoldPs})
          facts += " " + std::to_string(ps);
        return facts + "; " + std::to_string(f.TrcPs) + " " + std::to_string(f.TrfcPs);
      });

  // Dates: BCD year and week 1-53, else the bytes as stored.
  const std::string kStored = " as stored (not a BCD year and week 1-53)";
  // clang-format off
  ExpectEdgeRows({
      {"BCD", kDdrBase, {}, "2003 17: year 2003, week 17"},
      {"BCD 1999", kSdrBase, {{93, 0x99}, {94, 0x53}}, "1999 53: year 1999, week 53"},
      {"BCD 2089", kDdrBase, {{93, 0x89}, {94, 0x01}}, "2089 1: year 2089, week 1"},
      {"year not BCD", kDdrBase, {{93, 0x0A}}, "0 0: year 0x0A, week 0x17" + kStored},
      {"week 54", kDdrBase, {{94, 0x54}}, "0 0: year 0x03, week 0x54" + kStored},
      {"zeros", kSdrBase, {{93, 0x00}, {94, 0x00}}, "0 0: year 0x00, week 0x00" + kStored},
      },
      // clang-format on
      [](const SpdFacts& f, const EdgeRow&) {
        const std::string text = dimmio::SpdDecodeText(f);
        const size_t at = text.find("manufacturing date:   ") + 22;
        const std::string date = text.substr(at, text.find('\n', at) - at);
        EXPECT_EQ(f.DateBcd, f.Year != 0);
        return std::to_string(f.Year) + " " + std::to_string(f.Week) + ": " + date;
      });
}

// Makers in the banks the modules' makers (banks 1-4) do not reach, and codes
// whose parity is wrong.
TEST(JedecId, BankCountsContinuationCodesAndParityIsChecked) {
  const struct {
    std::vector<uint8_t> id;
    uint8_t bank;
    uint8_t code;
    bool parityOk;
    const char* name;
    bool bankCode = false;  // {count, code} as DDR3 and later store them
    // clang-format off
  } cases[] = {
      {{0x7F, 0x7F, 0x7F, 0x7F, 0xEF}, 5, 0xEF, true, "Team Group"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x51}, 6, 0x51, true, "Qimonda"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x01}, 7, 0x01, true, "MOVEKING"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xF1}, 7, 0xF1, true, "InnoDisk"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x13}, 8, 0x13, true, "Albatron Technology"},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xFE}, 8, 0xFE, true,
       "Intelligence Silicon Technology"},
      // One bit flipped: even parity, no name even where the number has one.
      {{0xCF}, 1, 0xCF, false, ""},
      {{0x7F, 0x18}, 2, 0x18, false, ""},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xA6}, 8, 0xA6, false, ""},
      {{0x00, 0x00}, 0, 0, false, ""},
      {{0x7F, 0xFF}, 0, 0, false, ""},
      {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}, 0, 0, false, ""},
      // DDR3 and later: the count of continuation codes with odd parity, and the code.
      {{0x07, 0x26}, 8, 0x26, true, "Goldenmars Technology", true},
      {{0x87, 0x26}, 8, 0x26, false, "", true},
  };
  // clang-format on
  for (const auto& c : cases) {
    const dimmio::JedecMaker maker =
        c.bankCode ? dimmio::DecodeJedecBankCode(c.id[0], c.id[1]) : dimmio::DecodeJedecId(c.id);
    SCOPED_TRACE(testing::PrintToString(c.id));
    EXPECT_EQ(maker.Bank, c.bank);
    EXPECT_EQ(maker.Code, c.code);
    EXPECT_EQ(maker.ParityOk, c.parityOk);
    EXPECT_EQ(maker.Name, c.name);
  }
  // Every code of a named bank with the right parity has a name, and none
  // with the wrong one.
  for (uint8_t bank = 1; bank <= 8; ++bank) {
    for (unsigned number = 1; number <= 126; ++number) {
      const auto code = static_cast<uint8_t>(number);
      const auto withParity =
          static_cast<uint8_t>(dimmio::JedecParityOk(code) ? code : code | 0x80);
      EXPECT_NE(dimmio::JedecMakerName(bank, withParity), nullptr) << int{bank} << ' ' << number;
      EXPECT_EQ(dimmio::JedecMakerName(bank, withParity ^ 0x80), nullptr)
          << int{bank} << ' ' << number;
    }
  }
}

// Saved dumps beyond what the tool's own dumps show: i2cdump's character
// column, CRLF line ends, half a dump, unreadable and repeated bytes.
TEST(SpdDump, ReadsEveryFormatAndNamesWhatIsWrong) {
  const auto image =
      sim::BuildSpdImage(sim::boards::Ddr(512, 2, "PC3200", "Samsung", {0xCE}, "M368L6423ETN", 9));
  const std::string dump =
      "SPD of slot 0 (SMBus address 0x50, segment 0): 256 bytes from offset 0x00\n" +
      dimmio::HexDump(image, 0, 256) + "256 of 256 bytes read; status: no error\n";
  // The character column holds what reads as hex too.
  const std::string i2cdump = "No size specified (using byte-data access)\n" +
                              std::regex_replace(testsupport::I2cdumpText(image),
                                                 std::regex("\\.{16}\n"), "..AB.12.....@..\n");
  const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  std::string half = dimmio::HexDump(std::span(image).first(128), 0, 256);
  std::string withXX = dump;
  withXX.replace(withXX.find("\n0000:") + 7 + 5 * 3, 2, "XX");
  const struct {
    const char* name;
    std::vector<uint8_t> file;
    size_t bytes;       // of the image, when read
    const char* error;  // part of the reason, when not
    // clang-format off
  } cases[] = {
      {"i2cdump", text(i2cdump), 256, ""},
      {"CRLF line ends", text(std::regex_replace(dump, std::regex("\n"), "\r\n")), 256, ""},
      {"first half", text(half), 128, ""},
      {"unreadable byte", text(withXX), 0, "byte 0x05 could not be read"},
      {"given twice", text(dump + "0010: 00\n"), 0, "byte 0x10 is given twice"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const dimmio::SpdDump read = dimmio::ParseSpdDump(c.file);
    if (c.bytes == 0) {
      EXPECT_NE(read.Error.find(c.error), std::string::npos) << read.Error;
      EXPECT_TRUE(read.Bytes.empty());
      continue;
    }
    EXPECT_EQ(read.Error, "");
    EXPECT_EQ(read.Bytes, std::vector<uint8_t>(image.begin(), image.begin() + c.bytes));
  }
}

TEST(PrintableText, KeepsUtf8AndEscapesTheRest) {
  const struct {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"Intel Corporation", "Intel Corporation"},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {std::string("a\0b\n\x1B[31m\x7F", 10), "a\\x00b\\x0A\\x1B[31m\\x7F"},
      {"\xFF\xFE", "\\xFF\\xFE"},
      {"\xC3", "\\xC3"},                          // cut short
      {"\xC0\xAF", "\\xC0\\xAF"},                // overlong '/'
      {"\xC2\x85", "\\xC2\\x85"},                // a C1 control character
      {"\x80" "abc", "\\x80abc"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(dimmio::PrintableText(c.in), c.out) << c.in;
}

}  // namespace
