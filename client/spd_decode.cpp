// Decoding of SDR, DDR, DDR2 and DDR3 SDRAM SPD contents (DDR4: spd_ddr4.cpp).
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "dimmio/spd.h"
#include "spd_decode_parts.h"
#include "spd_speed.h"

namespace dimmio {

namespace spd_parts {

std::string Hex2(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string PartNumber(std::span<const uint8_t> field) {
  size_t length = field.size();
  while (length > 0 &&
         (field[length - 1] == ' ' || field[length - 1] == 0x00 || field[length - 1] == 0xFF)) {
    --length;
  }
  return PrintableText({reinterpret_cast<const char*>(field.data()), length});
}

bool Bcd(uint8_t value) {
  return (value >> 4) <= 9 && (value & 0x0F) <= 9;
}

uint8_t FromBcd(uint8_t value) {
  return static_cast<uint8_t>((value >> 4) * 10 + (value & 0x0F));
}

// Bytes 93-94 as most makers write them: the year's last two digits and the
// week, both in BCD.
void DecodeDate(uint8_t year, uint8_t week, SpdFacts& f) {
  f.YearByte = year;
  f.WeekByte = week;
  if (!Bcd(year) || !Bcd(week) || FromBcd(week) < 1 || FromBcd(week) > 53) return;
  f.DateBcd = true;
  f.Year = static_cast<uint16_t>((FromBcd(year) >= 90 ? 1900 : 2000) + FromBcd(year));
  f.Week = FromBcd(week);
}

std::string Ddr3ModuleType(uint8_t value) {
  static constexpr const char* kTypes[] = {
      "undefined",    "RDIMM",      "UDIMM",       "SO-DIMM",      "Micro-DIMM",
      "Mini-RDIMM",   "Mini-UDIMM", "Mini-CDIMM",  "72b-SO-UDIMM", "72b-SO-RDIMM",
      "72b-SO-CDIMM", "LRDIMM",     "16b-SO-DIMM", "32b-SO-DIMM"};
  const uint8_t type = value & 0x0F;
  return type < std::size(kTypes) ? kTypes[type] : "reserved (0x" + Hex2(type) + ")";
}

void DecodeSerial(std::span<const uint8_t> four, SpdFacts& f) {
  for (size_t i = 0; i < 4; ++i) {
    f.SerialNumber |= static_cast<uint32_t>(four[i]) << (8 * i);
    f.SerialHex += Hex2(four[i]);
  }
}

void DecodeGradeAndSpeeds(spd_speed::Family family, SpdFacts& f) {
  const bool ddr4 = family == spd_speed::Family::Ddr4;
  if (f.CycleTimePs != 0) {
    f.MaxClockKHz = 1000000000u / f.CycleTimePs;
    const spd_speed::StandardClock* met = spd_speed::FastestMet(f.CycleTimePs, family);
    f.SpeedGrade = met != nullptr ? met->Grade : "";
    f.ChipSpeed = met != nullptr
                      ? met->ChipSpeed
                      : (ddr4 ? "DDR4-" : "DDR3-") + std::to_string(2000000u / f.CycleTimePs);
  }
  // The lowest supported latency that covers tAA at the standard clock.
  DecodeStandardSpeeds(
      family,
      [&](const spd_speed::StandardClock& clock) {
        const uint32_t needed =
            ddr4 ? clock.GuardedClocks(f.Ddr3.TaaPs) : clock.Clocks(f.Ddr3.TaaPs);
        for (uint16_t tenths : f.CasTenths) {
          if (tenths / 10u >= needed) return tenths;
        }
        return uint16_t{0};
      },
      f);
}

}  // namespace spd_parts

namespace {

using namespace spd_parts;

// Byte offsets in the module maker's part of the EEPROM.
constexpr size_t kBytesWritten = 0;
constexpr size_t kEepromSize = 1;  // log2 of the EEPROM's bytes
constexpr size_t kMemoryType = 2;
constexpr size_t kRowBits = 3;     // low nibble: rank 1; high nibble: rank 2 when different
constexpr size_t kColumnBits = 4;  // the same
constexpr size_t kRanks = 5;       // physical banks on the module
constexpr size_t kDataWidthLow = 6;
constexpr size_t kDataWidthHigh = 7;
constexpr size_t kVoltage = 8;       // interface level
constexpr size_t kCycleTime = 9;     // tCK at the highest CAS latency
constexpr size_t kAccessTime = 10;   // tAC there
constexpr size_t kConfigType = 11;   // error checking
constexpr size_t kRefresh = 12;      // bit 7 self refresh, bits 6-0 the period
constexpr size_t kDeviceWidth = 13;  // bits 6-0: width of the devices
constexpr size_t kBurstLengths = 16;
constexpr size_t kDeviceBanks = 17;  // internal banks of each device
constexpr size_t kCasLatencies = 18;
constexpr size_t kModuleAttributes = 21;
constexpr size_t kCycleTime2 = 23;   // tCK one supported CAS latency lower
constexpr size_t kAccessTime2 = 24;  // tAC there
constexpr size_t kCycleTime3 = 25;   // tCK two lower; SDR in quarter ns
constexpr size_t kAccessTime3 = 26;  // tAC there; SDR in quarter ns
constexpr size_t kTrp = 27;          // SDR whole ns; DDR bits 7-2 ns, 1-0 quarters
constexpr size_t kTrrd = 28;
constexpr size_t kTrcd = 29;
constexpr size_t kTras = 30;          // whole ns
constexpr size_t kRankDensity = 31;   // one bit per rank size on the module
constexpr size_t kAddressSetup = 32;  // address and command inputs
constexpr size_t kAddressHold = 33;
constexpr size_t kDataSetup = 34;  // data inputs
constexpr size_t kDataHold = 35;
constexpr size_t kTrcTrfcExtension = 40;  // DDR: fractions of tRC and tRFC, tRFC's 256 ns
constexpr size_t kTrc = 41;               // DDR, whole ns
constexpr size_t kTrfc = 42;              // DDR, whole ns
constexpr size_t kSpdRevision = 62;
constexpr size_t kChecksum = 63;  // sum of bytes 0-62
constexpr size_t kJedecId = 64;   // 8 bytes
constexpr size_t kJedecIdLength = 8;
constexpr size_t kLocation = 72;
constexpr size_t kPartNumber = 73;  // 18 bytes of ASCII, blank padded
constexpr size_t kPartNumberLength = 18;
constexpr size_t kRevision = 91;  // 2 bytes
constexpr size_t kYear = 93;
constexpr size_t kWeek = 94;
constexpr size_t kSerialNumber = 95;  // 4 bytes

std::string VoltageName(uint8_t value) {
  switch (value) {
    case 0: return "TTL (5V)";
    case 1: return "LVTTL (3.3V)";
    case 2: return "HSTL 1.5V";
    case 3: return "SSTL 3.3V";
    case 4: return "SSTL 2.5V";
    case 5: return "SSTL 1.8V";
  }
  return "unknown (0x" + Hex2(value) + ")";
}

std::string RefreshText(uint8_t value) {
  static constexpr const char* kPeriods[] = {"15.625 us", "3.9 us",  "7.8 us",
                                             "31.3 us",   "62.5 us", "125 us"};
  const uint8_t period = value & 0x7F;
  std::string text =
      period < std::size(kPeriods) ? kPeriods[period] : "unknown period (0x" + Hex2(period) + ")";
  if (value & 0x80) text += ", self refresh";
  return text;
}

// Byte 21, bit by bit.
std::vector<std::string> AttributeWords(uint8_t value, bool ddr) {
  static constexpr const char* kSdr[8] = {"buffered address and control inputs",
                                          "registered address and control inputs",
                                          "on-card PLL (clock)",
                                          "buffered DQMB inputs",
                                          "registered DQMB inputs",
                                          "differential clock input",
                                          "redundant row address",
                                          "undefined bit 7"};
  static constexpr const char* kDdr[8] = {"buffered address and control inputs",
                                          "registered address and control inputs",
                                          "on-card PLL (clock)",
                                          "FET switch on-card enable",
                                          "FET switch external enable",
                                          "differential clock input",
                                          "undefined bit 6",
                                          "undefined bit 7"};
  std::vector<std::string> words;
  for (int bit = 0; bit < 8; ++bit) {
    if (value & (1u << bit)) words.emplace_back(ddr ? kDdr[bit] : kSdr[bit]);
  }
  return words;
}

// Supported CAS latencies of byte 18 in tenths of a clock, lowest first.
// DDR2: bits 2-7 are CL2-CL7.
std::vector<uint16_t> CasLatencies(uint8_t value, SpdMemoryType type) {
  static constexpr uint8_t kDdr[7] = {10, 15, 20, 25, 30, 35, 40};
  const bool ddr = type == SpdMemoryType::DdrSdram;
  std::vector<uint16_t> tenths;
  if (type == SpdMemoryType::Ddr2Sdram) {
    for (int bit = 2; bit < 8; ++bit) {
      if (value & (1u << bit)) tenths.push_back(static_cast<uint8_t>(10 * bit));
    }
    return tenths;
  }
  for (int bit = 0; bit < 7; ++bit) {
    if (value & (1u << bit))
      tenths.push_back(ddr ? kDdr[bit] : static_cast<uint8_t>(10 * (bit + 1)));
  }
  return tenths;
}

// Whole ns in bits 7-2, quarters in bits 1-0.
uint32_t QuarterNsPs(uint8_t value) {
  return (value >> 2) * 1000u + (value & 3u) * 250u;
}

// Row-precharge, row-to-row and RAS-to-CAS delays: SDR whole ns; DDR
// quarter ns in the low two bits.
uint32_t DelayPs(uint8_t value, bool ddr) {
  return ddr ? QuarterNsPs(value) : value * 1000u;
}

// Access time from the clock (bytes 10 and 24) and setup and hold times
// (bytes 32-35): SDR whole ns in the high nibble and tenths in the low; DDR
// tenths in the high nibble and hundredths in the low. 0 for a decimal digit
// above 9.
uint32_t FineTimePs(uint8_t value, bool ddr) {
  const unsigned high = value >> 4, low = value & 0x0Fu;
  if (low > 9 || (ddr && high > 9)) return 0;
  return ddr ? high * 100u + low * 10u : high * 1000u + low * 100u;
}

// DDR byte 40: a fraction of a ns added to tRC (bits 6-4) and to tRFC (bits
// 3-1); bit 0 adds 256 ns to tRFC. Codes 6 and 7 are reserved and add nothing.
uint32_t ExtensionPs(uint8_t code) {
  static constexpr uint32_t kFractionPs[] = {0, 250, 330, 500, 660, 750};
  return code < std::size(kFractionPs) ? kFractionPs[code] : 0;
}

uint32_t Clocks(uint32_t ps, uint32_t cycleTimePs) {
  return cycleTimePs == 0 ? 0 : (ps + cycleTimePs - 1) / cycleTimePs;
}

// Size in MB of a rank of 2^(rows + columns) addresses, each one word of
// `dataBits` in each of `banks` internal banks; 0 for a geometry no module has.
uint32_t RankMb(uint8_t rows, uint8_t columns, uint8_t banks, uint32_t dataBits) {
  const unsigned addressBits = rows + columns;
  if (rows == 0 || columns == 0 || banks == 0 || addressBits < 12 || addressBits > 40) return 0;
  return static_cast<uint32_t>(((uint64_t{1} << addressBits) * banks * dataBits / 8) >> 20);
}

// The bit of byte 31 for a rank of `mb`: SDR bit n = 4 MB << n; DDR bits
// 0-2 = 1, 2, 4 GB and bits 3-7 = 32 ... 512 MB. 0 for a size with no bit.
uint8_t DensityBit(uint32_t mb, bool ddr) {
  for (int bit = 0; bit < 8; ++bit) {
    const uint32_t size = ddr ? (bit < 3 ? 1024u << bit : 32u << (bit - 3)) : 4u << bit;
    if (size == mb) return static_cast<uint8_t>(1u << bit);
  }
  return 0;
}

bool PowerOfTwo(uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// Bytes 6-7 and 11: the data width and error checking; returns the bits
// that hold data.
uint32_t DecodeWidth(std::span<const uint8_t> b, SpdFacts& f) {
  f.DataWidth = static_cast<uint16_t>(b[kDataWidthLow] | b[kDataWidthHigh] << 8);
  const uint8_t config = b[kConfigType];
  f.ErrorCheck = (config & 0x02)   ? SpdErrorCheck::Ecc
                 : (config & 0x01) ? SpdErrorCheck::Parity
                                   : SpdErrorCheck::None;
  f.Ecc = f.ErrorCheck == SpdErrorCheck::Ecc;
  // The check bits of a module with error checking: 8 on top of a power of two.
  uint32_t dataBits = f.DataWidth;
  if (f.ErrorCheck != SpdErrorCheck::None && f.DataWidth > 8 && PowerOfTwo(f.DataWidth - 8u)) {
    dataBits -= 8;
  }
  return dataBits;
}

void DecodeOrganisation(std::span<const uint8_t> b, bool ddr, SpdFacts& f) {
  f.Ranks = b[kRanks];
  f.RowBits[0] = b[kRowBits] & 0x0F;
  f.ColumnBits[0] = b[kColumnBits] & 0x0F;
  f.RowBits[1] = (b[kRowBits] >> 4) != 0 ? b[kRowBits] >> 4 : f.RowBits[0];
  f.ColumnBits[1] = (b[kColumnBits] >> 4) != 0 ? b[kColumnBits] >> 4 : f.ColumnBits[0];
  f.Asymmetric =
      f.Ranks >= 2 && (f.RowBits[1] != f.RowBits[0] || f.ColumnBits[1] != f.ColumnBits[0]);
  f.DeviceBanks = b[kDeviceBanks];
  f.DeviceWidth = b[kDeviceWidth] & 0x7F;
  const uint32_t dataBits = DecodeWidth(b, f);

  f.RankMb[0] = RankMb(f.RowBits[0], f.ColumnBits[0], f.DeviceBanks, dataBits);
  if (f.Ranks >= 2) f.RankMb[1] = RankMb(f.RowBits[1], f.ColumnBits[1], f.DeviceBanks, dataBits);
  // Ranks alternate between the two geometries.
  for (unsigned rank = 0; rank < f.Ranks; ++rank) f.CapacityMb += f.RankMb[rank % 2];

  f.DensityByte = b[kRankDensity];
  uint8_t expected = 0;
  bool named = f.Ranks > 0;
  for (unsigned rank = 0; rank < f.Ranks && rank < 2; ++rank) {
    const uint8_t bit = DensityBit(f.RankMb[rank], ddr);
    named = named && bit != 0;
    expected |= bit;
  }
  f.DensityMatches = named && expected == f.DensityByte;
}

// The grade and chip speed a clock period meets: SDR and DDR from the
// period's own rate, DDR2 the standard clock met.
void GradeOf(uint32_t cycleTimePs, SpdMemoryType type, std::string& grade, std::string& chip) {
  if (type != SpdMemoryType::Ddr2Sdram) {
    grade = spd_speed::GradeMet(cycleTimePs, type == SpdMemoryType::DdrSdram);
    chip = spd_speed::ChipSpeed(cycleTimePs, type == SpdMemoryType::DdrSdram);
    return;
  }
  const spd_speed::StandardClock* met = spd_speed::FastestMet(cycleTimePs, spd_speed::Family::Ddr2);
  grade = met != nullptr ? met->Grade : "";
  chip = met != nullptr ? met->ChipSpeed : "DDR2-" + std::to_string(2000000u / cycleTimePs);
}

// SDR, DDR and DDR2 (`type`): DDR and DDR2 keep their delays in quarter ns
// and their fine times in tenths and hundredths.
void DecodeTimings(std::span<const uint8_t> b, SpdMemoryType type, SpdFacts& f) {
  const bool ddr = type != SpdMemoryType::SdrSdram;
  f.CasTenths = CasLatencies(b[kCasLatencies], type);
  f.TrpPs = DelayPs(b[kTrp], ddr);
  f.TrrdPs = DelayPs(b[kTrrd], ddr);
  f.TrcdPs = DelayPs(b[kTrcd], ddr);
  f.TrasPs = b[kTras] * 1000u;
  if (ddr) {
    const uint8_t extension = b[kTrcTrfcExtension];
    f.TrcPs = b[kTrc] * 1000u + ExtensionPs((extension >> 4) & 7u);
    f.TrfcPs =
        (b[kTrfc] + ((extension & 1u) ? 256u : 0u)) * 1000u + ExtensionPs((extension >> 1) & 7u);
  } else if (f.TrasPs != 0 && f.TrpPs != 0) {
    f.TrcPs = f.TrasPs + f.TrpPs;
    f.TrcDerived = true;
  }

  f.AddressSetupPs = FineTimePs(b[kAddressSetup], ddr);
  f.AddressHoldPs = FineTimePs(b[kAddressHold], ddr);
  f.DataSetupPs = FineTimePs(b[kDataSetup], ddr);
  f.DataHoldPs = FineTimePs(b[kDataHold], ddr);

  // The highest supported latency runs at byte 9's clock, the next lower
  // ones at bytes 23 and 25's; SDR states the third in quarter ns.
  const size_t cycleBytes[3] = {kCycleTime, kCycleTime2, kCycleTime3};
  const size_t accessBytes[3] = {kAccessTime, kAccessTime2, kAccessTime3};
  for (size_t i = 0; i < 3 && i < f.CasTenths.size(); ++i) {
    const bool quarters = !ddr && i == 2;
    SpdCasTiming t;
    t.CasTenths = f.CasTenths[f.CasTenths.size() - 1 - i];
    t.CycleTimePs =
        quarters ? QuarterNsPs(b[cycleBytes[i]]) : spd_speed::CycleTimePs(b[cycleBytes[i]], ddr);
    if (t.CycleTimePs == 0) continue;
    t.AccessTimePs = quarters ? QuarterNsPs(b[accessBytes[i]]) : FineTimePs(b[accessBytes[i]], ddr);
    t.Trcd = Clocks(f.TrcdPs, t.CycleTimePs);
    t.Trp = Clocks(f.TrpPs, t.CycleTimePs);
    t.Tras = Clocks(f.TrasPs, t.CycleTimePs);
    GradeOf(t.CycleTimePs, type, t.Grade, t.ChipSpeed);
    f.Timings.push_back(t);
  }

  f.CycleTimePs = spd_speed::CycleTimePs(b[kCycleTime], ddr);
  for (const SpdCasTiming& t : f.Timings) {
    if (t.CycleTimePs != 0 && (f.CycleTimePs == 0 || t.CycleTimePs < f.CycleTimePs)) {
      f.CycleTimePs = t.CycleTimePs;
    }
  }
  if (f.CycleTimePs != 0) {
    GradeOf(f.CycleTimePs, type, f.SpeedGrade, f.ChipSpeed);
    f.MaxClockKHz = 1000000000u / f.CycleTimePs;
  }
  f.Refresh = RefreshText(b[kRefresh]);
  for (int bit = 0; bit < 4; ++bit) {
    if (b[kBurstLengths] & (1u << bit)) f.BurstLengths.push_back(static_cast<uint8_t>(1u << bit));
  }
  f.BurstFullPage = !ddr && (b[kBurstLengths] & 0x80) != 0;
}

void DecodeIdentity(std::span<const uint8_t> b, SpdFacts& f) {
  f.Maker = DecodeJedecId(b.subspan(kJedecId, kJedecIdLength));
  f.Location = b[kLocation];
  f.PartNumber = PartNumber(b.subspan(kPartNumber, kPartNumberLength));
  f.Revision = static_cast<uint16_t>(b[kRevision] << 8 | b[kRevision + 1]);
  DecodeDate(b[kYear], b[kWeek], f);
  DecodeSerial(b.subspan(kSerialNumber, 4), f);
}

// DDR2 byte 20: one bit per module type.
std::string Ddr2ModuleTypes(uint8_t value) {
  static constexpr const char* kTypes[6] = {"RDIMM",      "UDIMM",      "SO-DIMM",
                                            "Micro-DIMM", "Mini-RDIMM", "Mini-UDIMM"};
  std::string text;
  for (int bit = 0; bit < 6; ++bit) {
    if (value & (1u << bit)) text += (text.empty() ? "" : ", ") + std::string(kTypes[bit]);
  }
  return text.empty() ? "not stated (0x" + Hex2(value) + ")" : text;
}

// DDR2: the module maker's bytes 0-98 in the DDR layout, with 5-bit row
// counts, ranks - 1 in byte 5, CL2-CL7, tWR/tWTR/tRTP in bytes 36-38, the
// longest clock period in byte 43 and the module type in byte 20.
void DecodeDdr2(std::span<const uint8_t> b, SpdFacts& f) {
  f.Ddr2.ModuleType = Ddr2ModuleTypes(b[20]);
  f.Registered = (b[20] & 0x11) != 0;  // RDIMM, Mini-RDIMM
  f.Voltage = VoltageName(b[kVoltage]);
  if (b[kVoltage] == 5) f.Ddr2.VoltagesMv = {1800};

  f.Ranks = static_cast<uint8_t>((b[kRanks] & 0x07) + 1);
  f.RowBits[0] = f.RowBits[1] = b[kRowBits] & 0x1F;
  f.ColumnBits[0] = f.ColumnBits[1] = b[kColumnBits] & 0x0F;
  f.DeviceBanks = b[kDeviceBanks];
  f.DeviceWidth = b[kDeviceWidth] & 0x7F;
  const uint32_t dataBits = DecodeWidth(b, f);
  f.RankMb[0] = RankMb(f.RowBits[0], f.ColumnBits[0], f.DeviceBanks, dataBits);
  f.RankMb[1] = f.Ranks > 1 ? f.RankMb[0] : 0;
  f.CapacityMb = f.RankMb[0] * f.Ranks;
  // Byte 31: bits 0-4 = 1 ... 16 GB, bits 5-7 = 128 ... 512 MB.
  f.DensityByte = b[kRankDensity];
  for (int bit = 0; bit < 8; ++bit) {
    const uint32_t size = bit < 5 ? 1024u << bit : 128u << (bit - 5);
    if (size == f.RankMb[0]) f.DensityMatches = f.DensityByte == (1u << bit);
  }

  DecodeTimings(b, SpdMemoryType::Ddr2Sdram, f);
  f.Ddr2.TwrPs = QuarterNsPs(b[36]);
  f.Ddr2.TwtrPs = QuarterNsPs(b[37]);
  f.Ddr2.TrtpPs = QuarterNsPs(b[38]);
  f.Ddr2.MaxCycleTimePs = spd_speed::CycleTimePs(b[43], true);
  // The lowest latency whose clock period is no longer than the standard one.
  DecodeStandardSpeeds(
      spd_speed::Family::Ddr2,
      [&](const spd_speed::StandardClock& clock) {
        uint16_t cas = 0;
        for (const SpdCasTiming& t : f.Timings) {
          if (t.CycleTimePs <= clock.PeriodPs()) cas = t.CasTenths;
        }
        return cas;
      },
      f);
  DecodeIdentity(b, f);
}

// DDR3: the layout of bytes 0-175, the maker as a bank and a code.
void DecodeDdr3(std::span<const uint8_t> b, SpdFacts& f) {
  const uint8_t used = b[0] & 0x0F;
  f.BytesWritten = used == 1 ? 128 : used == 2 ? 176 : used == 3 ? 256 : 0;
  f.EepromBytes = ((b[0] >> 4) & 0x07) == 1 ? 256 : 0;
  f.SpdRevision = b[1];
  f.Ddr2.ModuleType = Ddr3ModuleType(b[3]);
  const uint8_t form = b[3] & 0x0F;
  f.Registered = form == 1 || form == 5 || form == 9;
  f.Buffered = form == 11;

  // Voltages: bit 0 says the module does NOT run at 1.5 V.
  static constexpr uint16_t kVolts[3] = {1500, 1350, 1250};
  for (int bit = 0; bit < 3; ++bit) {
    if (((b[6] >> bit) & 1) == (bit == 0 ? 0 : 1)) {
      f.Ddr2.VoltagesMv.push_back(kVolts[bit]);
      f.Voltage += (f.Voltage.empty() ? "" : ", ") + std::string(bit == 0   ? "1.5V"
                                                                 : bit == 1 ? "1.35V"
                                                                            : "1.25V");
    }
  }
  if (f.Voltage.empty()) f.Voltage = "none stated (0x" + Hex2(b[6]) + ")";

  // Organisation: device density, banks, rows and columns; device and bus widths.
  f.Ranks = static_cast<uint8_t>(((b[7] >> 3) & 0x07) + 1);
  f.DeviceWidth = static_cast<uint8_t>(4u << (b[7] & 0x03));
  f.DeviceBanks = static_cast<uint8_t>(8u << ((b[4] >> 4) & 0x03));
  f.RowBits[0] = f.RowBits[1] = static_cast<uint8_t>(((b[5] >> 3) & 0x07) + 12);
  f.ColumnBits[0] = f.ColumnBits[1] = static_cast<uint8_t>((b[5] & 0x07) + 9);
  const uint32_t busBits = (b[8] & 0x07) <= 3 ? 8u << (b[8] & 0x07) : 0;
  const bool ecc = ((b[8] >> 3) & 0x03) == 1;
  f.DataWidth = static_cast<uint16_t>(busBits + (ecc ? 8 : 0));
  f.ErrorCheck = ecc ? SpdErrorCheck::Ecc : SpdErrorCheck::None;
  f.Ecc = ecc;
  f.DensityByte = b[4];
  const uint8_t densityCode = b[4] & 0x0F;
  const uint64_t deviceMbit = densityCode <= 7 ? 256ull << densityCode : 0;
  f.RankMb[0] = static_cast<uint32_t>(deviceMbit / 8 * busBits / f.DeviceWidth);
  f.RankMb[1] = f.Ranks > 1 ? f.RankMb[0] : 0;
  f.CapacityMb = f.RankMb[0] * f.Ranks;
  // Rows, columns and banks of a device of this width hold what byte 4 says.
  f.DensityMatches = deviceMbit != 0 && (uint64_t{1} << (f.RowBits[0] + f.ColumnBits[0])) *
                                                f.DeviceBanks * f.DeviceWidth ==
                                            deviceMbit << 20;

  Ddr3TimeBase tb;
  if (b[11] != 0) tb.MediumFs = uint64_t{b[10]} * 1000000 / b[11];
  if ((b[9] & 0x0F) != 0) tb.FineFs = uint64_t{b[9]} / 16 * 1000 / (b[9] & 0x0F);
  f.CycleTimePs = tb.Ps(b[12], b[34]);
  f.Ddr3.TaaPs = tb.Ps(b[16], b[35]);
  f.Ddr2.TwrPs = tb.Ps(b[17]);
  f.TrcdPs = tb.Ps(b[18], b[36]);
  f.TrrdPs = tb.Ps(b[19]);
  f.TrpPs = tb.Ps(b[20], b[37]);
  f.TrasPs = tb.Ps((b[21] & 0x0Fu) << 8 | b[22]);
  f.TrcPs = tb.Ps((b[21] & 0xF0u) << 4 | b[23], b[38]);
  f.TrfcPs = tb.Ps(uint32_t{b[25]} << 8 | b[24]);
  f.Ddr2.TwtrPs = tb.Ps(b[26]);
  f.Ddr2.TrtpPs = tb.Ps(b[27]);
  f.Ddr3.TfawPs = tb.Ps((b[28] & 0x0Fu) << 8 | b[29]);
  const uint16_t cas = static_cast<uint16_t>(b[15] << 8 | b[14]);
  for (int bit = 0; bit < 15; ++bit) {
    if (cas & (1u << bit)) f.CasTenths.push_back(static_cast<uint8_t>(10 * (bit + 4)));
  }
  DecodeGradeAndSpeeds(spd_speed::Family::Ddr3, f);
  f.Ddr3.MaxTemperatureC = (b[31] & 0x01) ? 95 : 85;
  f.Ddr3.ThermalSensor = (b[32] & 0x80) != 0;

  f.Maker = DecodeJedecBankCode(b[117], b[118]);
  f.Location = b[119];
  DecodeDate(b[120], b[121], f);
  DecodeSerial(b.subspan(122, 4), f);
  f.IdentityEnd = kSpdDdr3DecodedBytes;
  f.IdentityRead = b.size() >= kSpdDdr3DecodedBytes;
  if (!f.IdentityRead) return;
  f.PartNumber = PartNumber(b.subspan(128, kPartNumberLength));
  f.Revision = static_cast<uint16_t>(b[146] << 8 | b[147]);
  f.Ddr3.DramMaker = DecodeJedecBankCode(b[148], b[149]);
  DecodeDdr3Xmp(b, f);
}

// The type's rule for protecting its bytes, applied where the bytes it
// covers were read.
void Check(std::span<const uint8_t> bytes, SpdFacts& f) {
  unsigned sum = 0;
  for (size_t i = 0; i < kChecksum; ++i) sum += bytes[i];
  f.ComputedChecksum = static_cast<uint8_t>(sum);
  f.StoredChecksum = bytes[kChecksum];
  switch (static_cast<uint8_t>(f.Memory)) {
    case 0x09:
    case 0x0B:
    case 0x0F:  // FB-DIMM, DDR3, LPDDR3: byte 0 bit 7 sets the cover
      f.CrcLastByte = (bytes[0] & 0x80) ? 116 : 125;
      break;
    case 0x0C:
    case 0x0E:
    case 0x10:
    case 0x11:  // DDR4, DDR4E, LPDDR4, LPDDR4X
      f.CrcLastByte = 125;
      break;
    default:
      // FPM to DDR2: the sum in byte 63.
      if (static_cast<uint8_t>(f.Memory) <= 0x08) f.CheckRule = SpdCheckRule::Sum;
      f.SumUnwritten =
          f.CheckRule == SpdCheckRule::Sum && f.StoredChecksum == 0 && f.ComputedChecksum == 0;
      return;
  }
  if (bytes.size() < 128) return;
  f.CheckRule = SpdCheckRule::Crc16;
  f.ComputedCrc = SpdCrc16(bytes.first(f.CrcLastByte + 1u));
  f.StoredCrc = static_cast<uint16_t>(bytes[127] << 8 | bytes[126]);
}

}  // namespace

uint16_t SpdCrc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0;
  for (uint8_t byte : bytes) {
    crc = static_cast<uint16_t>(crc ^ byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

std::string SpdMemoryTypeName(uint8_t type) {
  switch (type) {
    case 0x01: return "FPM DRAM";
    case 0x02: return "EDO DRAM";
    case 0x03: return "Pipelined Nibble";
    case 0x04: return "SDR SDRAM";
    case 0x05: return "Multiplexed ROM";
    case 0x06: return "DDR SGRAM";
    case 0x07: return "DDR SDRAM";
    case 0x08: return "DDR2 SDRAM";
    case 0x09: return "DDR2 SDRAM FB-DIMM";
    case 0x0A: return "DDR2 SDRAM FB-DIMM PROBE";
    case 0x0B: return "DDR3 SDRAM";
    case 0x0C: return "DDR4 SDRAM";
    case 0x0E: return "DDR4E SDRAM";
    case 0x0F: return "LPDDR3 SDRAM";
    case 0x10: return "LPDDR4 SDRAM";
    case 0x11: return "LPDDR4X SDRAM";
    case 0x12: return "DDR5 SDRAM";
    case 0x13: return "LPDDR5 SDRAM";
    case 0x14: return "DDR5 NVDIMM-P";
    case 0x15: return "LPDDR5X SDRAM";
  }
  return "unknown (0x" + Hex2(type) + ")";
}

SpdFacts DecodeSpd(std::span<const uint8_t> bytes) {
  SpdFacts f;
  if (bytes.size() <= kMemoryType) return f;
  f.Memory = static_cast<SpdMemoryType>(bytes[kMemoryType]);
  f.Type = SpdMemoryTypeName(bytes[kMemoryType]);
  if (bytes.size() <= kChecksum) return f;

  Check(bytes, f);
  f.BytesWritten = bytes[kBytesWritten];
  f.EepromBytes = bytes[kEepromSize] <= 15 ? 1u << bytes[kEepromSize] : 0;
  f.SpdRevision = bytes[kSpdRevision];

  const std::span<const uint8_t> maker = bytes.first(std::min(bytes.size(), kSpdDecodedBytes));
  f.Blank = (maker.front() == 0x00 || maker.front() == 0xFF);
  for (uint8_t byte : maker) f.Blank = f.Blank && byte == maker.front();
  if (f.Blank) {
    f.Type = "blank (every byte 0x" + Hex2(maker.front()) + ")";
    return f;
  }

  const SpdMemoryType type = f.Memory;
  if (type != SpdMemoryType::SdrSdram && type != SpdMemoryType::DdrSdram &&
      type != SpdMemoryType::Ddr2Sdram && type != SpdMemoryType::Ddr3Sdram &&
      type != SpdMemoryType::Ddr4Sdram) {
    return f;
  }
  if (bytes.size() < kSpdDecodedBytes) return f;
  f.Decoded = true;
  if (type == SpdMemoryType::Ddr4Sdram) {
    DecodeDdr4(bytes, f);
    return f;
  }
  if (type == SpdMemoryType::Ddr2Sdram) {
    DecodeDdr2(bytes, f);
    return f;
  }
  if (type == SpdMemoryType::Ddr3Sdram) {
    DecodeDdr3(bytes, f);
    return f;
  }
  const bool ddr = type == SpdMemoryType::DdrSdram;
  f.Voltage = VoltageName(bytes[kVoltage]);
  f.Attributes = AttributeWords(bytes[kModuleAttributes], ddr);
  f.Buffered = bytes[kModuleAttributes] & 0x01;
  f.Registered = bytes[kModuleAttributes] & 0x02;
  DecodeOrganisation(bytes, ddr, f);
  DecodeTimings(bytes, type, f);
  DecodeIdentity(bytes, f);
  return f;
}

std::string CasText(uint16_t tenths) {
  // Appended piece by piece: "." + std::to_string() trips a false
  // -Wrestrict of g++ 12 at -O3.
  std::string text = "CL";
  text += std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    text += '.';
    text += std::to_string(tenths % 10);
  }
  return text;
}

}  // namespace dimmio
