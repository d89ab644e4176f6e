// Decoding of DDR4 SDRAM SPD contents: the base configuration (bytes 0-127),
// the CRC of the module-specific bytes (128-253), the manufacturing data
// (320-351, in the EEPROM's second page), the XMP profiles (384-486).
#include "spd_decode_parts.h"

namespace dimmio::spd_parts {

namespace {

std::string Ddr4ModuleType(uint8_t value) {
  static constexpr const char* kTypes[16] = {
      "extended",    "RDIMM",       "UDIMM",        "SO-DIMM",       "LRDIMM", "Mini-RDIMM",
      "Mini-UDIMM",  nullptr,       "72b-SO-RDIMM", "72b-SO-UDIMM",  nullptr,  nullptr,
      "16b-SO-DIMM", "32b-SO-DIMM", nullptr,        "no base memory"};
  const uint8_t type = value & 0x0F;
  return kTypes[type] != nullptr ? kTypes[type] : "reserved (0x" + Hex2(type) + ")";
}

// Byte 6: the package, its dies and how they load the bus.
std::string PackageText(uint8_t value, uint8_t dies) {
  if ((value & 0x80) == 0) return "monolithic";
  const std::string count = " (" + std::to_string(dies) + " dies)";
  switch (value & 0x03) {
    case 1: return "multi-load stack" + count;
    case 2: return "3DS" + count;
  }
  return "non-monolithic" + count;
}

// Byte 4 bits 3-0: the density of each die in Mbit; 0 for a reserved code.
uint64_t DieMbit(uint8_t code) {
  if (code <= 7) return 256ull << code;
  return code == 8 ? 12288 : code == 9 ? 24576 : 0;
}

uint32_t Ps12(const Ddr3TimeBase& tb, uint8_t high, unsigned shift, uint8_t low) {
  return tb.Ps(((high >> shift) & 0x0Fu) << 8 | low);
}

void DecodeManufacturing(std::span<const uint8_t> b, SpdFacts& f) {
  f.IdentityEnd = kSpdDdr4DecodedBytes;
  f.IdentityRead = b.size() >= kSpdDdr4DecodedBytes;
  if (!f.IdentityRead) return;
  f.Maker = DecodeJedecBankCode(b[320], b[321]);
  f.Location = b[322];
  DecodeDate(b[323], b[324], f);
  DecodeSerial(b.subspan(325, 4), f);
  f.PartNumber = PartNumber(b.subspan(329, 20));
  f.Revision = b[349];
  f.Ddr3.DramMaker = DecodeJedecBankCode(b[350], b[351]);
}

}  // namespace

void DecodeDdr4(std::span<const uint8_t> b, SpdFacts& f) {
  const uint8_t used = b[0] & 0x0F;
  f.BytesWritten = static_cast<uint16_t>(used <= 4 ? used * 128u : 0);
  const uint8_t total = (b[0] >> 4) & 0x07;
  f.EepromBytes = total == 1 ? 256 : total == 2 ? 512 : 0;
  f.SpdRevision = b[1];
  f.Ddr2.ModuleType = Ddr4ModuleType(b[3]);
  const uint8_t form = b[3] & 0x0F;
  f.Registered = form == 1 || form == 5 || form == 8;
  f.Buffered = form == 4;

  if (b[11] & 0x01) {
    f.Ddr2.VoltagesMv.push_back(1200);
    f.Voltage = "1.2V";
  } else {
    f.Voltage = "none stated (0x" + Hex2(b[11]) + ")";
  }

  // Organisation: package ranks of devices of one width, dies of one density.
  f.Ranks = static_cast<uint8_t>(((b[12] >> 3) & 0x07) + 1);
  f.DeviceWidth = static_cast<uint8_t>(4u << (b[12] & 0x07));
  f.DeviceBanks = static_cast<uint8_t>((1u << ((b[4] >> 6) & 0x03)) * (4u << ((b[4] >> 4) & 0x03)));
  f.RowBits[0] = f.RowBits[1] = static_cast<uint8_t>(((b[5] >> 3) & 0x07) + 12);
  f.ColumnBits[0] = f.ColumnBits[1] = static_cast<uint8_t>((b[5] & 0x07) + 9);
  f.Ddr4.Dies = static_cast<uint8_t>(((b[6] >> 4) & 0x07) + 1);
  f.Ddr4.Package = PackageText(b[6], f.Ddr4.Dies);
  const bool stacked3ds = (b[6] & 0x80) && (b[6] & 0x03) == 2;
  const uint32_t busBits = (b[13] & 0x07) <= 3 ? 8u << (b[13] & 0x07) : 0;
  f.Ecc = ((b[13] >> 3) & 0x03) == 1;
  f.DataWidth = static_cast<uint16_t>(busBits + (f.Ecc ? 8 : 0));
  f.ErrorCheck = f.Ecc ? SpdErrorCheck::Ecc : SpdErrorCheck::None;
  f.DensityByte = b[4];
  const uint64_t dieMbit = DieMbit(b[4] & 0x0F);
  f.RankMb[0] =
      static_cast<uint32_t>(dieMbit / 8 * busBits / f.DeviceWidth * (stacked3ds ? f.Ddr4.Dies : 1));
  f.RankMb[1] = f.Ranks > 1 ? f.RankMb[0] : 0;
  f.CapacityMb = f.RankMb[0] * f.Ranks;
  f.DensityMatches = dieMbit != 0 && (uint64_t{1} << (f.RowBits[0] + f.ColumnBits[0])) *
                                             f.DeviceBanks * f.DeviceWidth ==
                                         dieMbit << 20;

  // Time bases: byte 17 0 is 125 ps and 1 ps, the only ones defined.
  Ddr3TimeBase tb;
  if (b[17] == 0) {
    tb.MediumFs = 125000;
    tb.FineFs = 1000;
  }
  f.CycleTimePs = tb.Ps(b[18], b[125]);
  f.Ddr2.MaxCycleTimePs = tb.Ps(b[19], b[124]);
  f.Ddr3.TaaPs = tb.Ps(b[24], b[123]);
  f.TrcdPs = tb.Ps(b[25], b[122]);
  f.TrpPs = tb.Ps(b[26], b[121]);
  f.TrasPs = Ps12(tb, b[27], 0, b[28]);
  f.TrcPs = tb.Ps((b[27] & 0xF0u) << 4 | b[29], b[120]);
  f.TrfcPs = tb.Ps(uint32_t{b[31]} << 8 | b[30]);
  f.Ddr4.Trfc2Ps = tb.Ps(uint32_t{b[33]} << 8 | b[32]);
  f.Ddr4.Trfc4Ps = tb.Ps(uint32_t{b[35]} << 8 | b[34]);
  f.Ddr3.TfawPs = Ps12(tb, b[36], 0, b[37]);
  f.TrrdPs = tb.Ps(b[38], b[119]);
  f.Ddr4.TrrdLPs = tb.Ps(b[39], b[118]);
  f.Ddr4.TccdLPs = tb.Ps(b[40], b[117]);
  f.Ddr2.TwrPs = Ps12(tb, b[41], 0, b[42]);
  f.Ddr2.TwtrPs = Ps12(tb, b[43], 0, b[44]);
  f.Ddr4.TwtrLPs = Ps12(tb, b[43], 4, b[45]);

  // Bit n of bytes 20-23 is CL 7 + n, or CL 23 + n with bit 31 set.
  const uint32_t cas =
      uint32_t{b[20]} | uint32_t{b[21]} << 8 | uint32_t{b[22]} << 16 | uint32_t{b[23]} << 24;
  const unsigned base = (cas & 0x80000000u) ? 23 : 7;
  for (unsigned bit = 0; bit < 30; ++bit) {
    if (cas & (1u << bit)) f.CasTenths.push_back(static_cast<uint16_t>(10 * (base + bit)));
  }
  DecodeGradeAndSpeeds(spd_speed::Family::Ddr4, f);
  f.Ddr3.ThermalSensor = (b[14] & 0x80) != 0;

  f.Ddr4.Crc2Checked = b.size() >= 256;
  if (f.Ddr4.Crc2Checked) {
    f.Ddr4.ComputedCrc2 = SpdCrc16(b.subspan(128, 126));
    f.Ddr4.StoredCrc2 = static_cast<uint16_t>(b[255] << 8 | b[254]);
  }
  DecodeManufacturing(b, f);
  DecodeDdr4Xmp(b, f);
}

}  // namespace dimmio::spd_parts
