#include "sim/spd_builder.h"

#include <stdexcept>

namespace sim {

namespace {

struct SpeedGrade {
  const char* name;
  MemoryType type;
  uint8_t cycleTime;    // byte 9: tCK at the highest CAS latency
  uint8_t accessTime;   // byte 10: tAC
  uint8_t cycleTime2;   // byte 23: tCK one CAS latency lower
  uint8_t accessTime2;  // byte 24
  uint8_t casLatencies; // byte 18
  uint8_t tRP, tRRD, tRCD, tRAS;  // bytes 27-30
  uint8_t frequency;    // SDR byte 126 (MHz); unused for DDR
};

// Timings of common parts; DDR bytes 27 and 29 in quarter ns, SDR in ns.
constexpr SpeedGrade kGrades[] = {
    {"PC66", MemoryType::Sdr, 0xF0, 0x90, 0xF0, 0x90, 0x06, 0x1E, 0x14, 0x1E, 0x3C, 0x66},
    {"PC100", MemoryType::Sdr, 0xA0, 0x60, 0xF0, 0x70, 0x06, 0x14, 0x10, 0x14, 0x32, 0x64},
    {"PC133", MemoryType::Sdr, 0x75, 0x54, 0xA0, 0x60, 0x06, 0x14, 0x0F, 0x14, 0x2D, 0x85},
    {"PC1600", MemoryType::Ddr, 0xA0, 0x80, 0xA0, 0x80, 0x0C, 0x50, 0x3C, 0x50, 0x32, 0},
    {"PC2100", MemoryType::Ddr, 0x75, 0x75, 0xA0, 0x75, 0x0C, 0x50, 0x3C, 0x50, 0x2D, 0},
    {"PC2700", MemoryType::Ddr, 0x60, 0x70, 0x75, 0x75, 0x0C, 0x48, 0x30, 0x48, 0x2A, 0},
    {"PC3200", MemoryType::Ddr, 0x50, 0x65, 0x60, 0x70, 0x1C, 0x3C, 0x28, 0x3C, 0x28, 0},
};

const SpeedGrade& GradeOf(const DimmSpec& dimm) {
  for (const SpeedGrade& g : kGrades) {
    if (dimm.speedGrade == g.name && g.type == dimm.type) return g;
  }
  throw std::invalid_argument("no such speed grade for this memory type: " + dimm.speedGrade);
}

unsigned Log2(uint64_t value) {
  unsigned n = 0;
  while ((1ull << n) < value) ++n;
  if ((1ull << n) != value) throw std::invalid_argument("not a power of two");
  return n;
}

uint8_t RankDensityBits(MemoryType type, uint32_t rankMb) {
  const unsigned log = Log2(rankMb);  // 2 = 4 MB ... 9 = 512 MB, 10 = 1 GB
  if (type == MemoryType::Sdr) {
    if (log < 2 || log > 9) throw std::invalid_argument("SDR rank size out of range");
    return static_cast<uint8_t>(1u << (log - 2));  // bit 0 = 4 MB ... bit 7 = 512 MB
  }
  // DDR: bit 0 = 1 GB, 1 = 2 GB, 2 = 4 GB, 3 = 32 MB ... 7 = 512 MB.
  if (log >= 5 && log <= 9) return static_cast<uint8_t>(1u << (log - 2));
  if (log >= 10 && log <= 12) return static_cast<uint8_t>(1u << (log - 10));
  throw std::invalid_argument("DDR rank size out of range");
}

}  // namespace

SpdGeometry GeometryOf(const DimmSpec& dimm) {
  if (dimm.ranks == 0 || dimm.capacityMb % dimm.ranks != 0) {
    throw std::invalid_argument("capacity does not split into the ranks");
  }
  // A rank of 64 data bits: each row/column address selects 8 bytes per bank.
  const uint64_t rankBytes = static_cast<uint64_t>(dimm.capacityMb / dimm.ranks) << 20;
  const unsigned addressBits = Log2(rankBytes / (4 * 8));
  const uint8_t columns = rankBytes <= (64ull << 20) ? 9 : rankBytes <= (256ull << 20) ? 10 : 11;
  return {static_cast<uint8_t>(addressBits - columns), columns, 4};
}

std::array<uint8_t, 256> BuildSpdImage(const DimmSpec& dimm) {
  const SpeedGrade& g = GradeOf(dimm);
  const SpdGeometry geo = GeometryOf(dimm);
  const bool ddr = dimm.type == MemoryType::Ddr;
  const bool ecc = dimm.dataWidth == 72;
  if (dimm.dataWidth != 64 && dimm.dataWidth != 72) throw std::invalid_argument("width");
  if (dimm.partNumber.size() > spd::kPartNumberLength) throw std::invalid_argument("part");
  if (dimm.jedecId.empty() || dimm.jedecId.size() > 8) throw std::invalid_argument("jedec id");

  std::array<uint8_t, 256> b{};
  b.fill(0xFF);  // bytes 128-255 are open for the system's use
  for (int i = 0; i < 128; ++i) b[i] = 0x00;
  b[0] = 128;                           // bytes written by the module maker
  b[1] = 8;                             // log2 of the EEPROM size
  b[2] = static_cast<uint8_t>(dimm.type);
  b[3] = geo.rowBits;
  b[4] = geo.columnBits;
  b[5] = dimm.ranks;
  b[6] = dimm.dataWidth;
  b[7] = 0;
  b[8] = ddr ? 0x04 : 0x01;             // SSTL 2.5 V or LVTTL
  b[9] = g.cycleTime;
  b[10] = g.accessTime;
  b[11] = ecc ? 0x02 : 0x00;            // ECC or none
  b[12] = ddr ? 0x82 : 0x80;            // refresh 7.8 or 15.6 us, self refresh
  b[13] = 8;                            // x8 devices
  b[14] = ecc ? 8 : 0;
  b[15] = 1;                            // tCCD
  b[16] = ddr ? 0x0E : 0x8F;            // burst lengths
  b[17] = geo.deviceBanks;
  b[18] = g.casLatencies;
  b[19] = ddr ? 0x01 : 0x01;            // CS latency
  b[20] = ddr ? 0x02 : 0x01;            // WE latency
  b[21] = ddr ? 0x20 : 0x00;            // module attributes
  b[22] = ddr ? 0xC0 : 0x0E;            // device attributes
  b[23] = g.cycleTime2;
  b[24] = g.accessTime2;
  b[27] = g.tRP;
  b[28] = g.tRRD;
  b[29] = g.tRCD;
  b[30] = g.tRAS;
  b[31] = RankDensityBits(dimm.type, dimm.capacityMb / dimm.ranks);
  b[32] = ddr ? 0x60 : 0x15;            // address/command setup and hold
  b[33] = ddr ? 0x60 : 0x08;
  b[34] = ddr ? 0x40 : 0x15;            // data setup and hold
  b[35] = ddr ? 0x40 : 0x08;
  if (ddr) {
    b[41] = 0x37;                       // tRC 55 ns
    b[42] = 0x46;                       // tRFC 70 ns
    b[43] = 0x30;                       // tCK max 12 ns
    b[44] = 0x28;                       // tDQSQ
    b[45] = 0x50;                       // tQHS
  }
  b[62] = ddr ? 0x10 : 0x02;            // SPD revision
  for (size_t i = 0; i < dimm.jedecId.size(); ++i) b[spd::kJedecId + i] = dimm.jedecId[i];
  b[72] = 0x01;                         // manufacturing location
  for (uint8_t i = 0; i < spd::kPartNumberLength; ++i) {
    b[spd::kPartNumber + i] =
        i < dimm.partNumber.size() ? static_cast<uint8_t>(dimm.partNumber[i]) : 0x20;
  }
  b[93] = 0x03;                         // year, week of manufacture
  b[94] = 0x17;
  for (int i = 0; i < 4; ++i) b[spd::kSerial + i] = static_cast<uint8_t>(dimm.serial >> (8 * i));
  if (!ddr) {
    b[126] = g.frequency;
    b[127] = 0xAD;                      // clock and attribute details
  }
  b[spd::kChecksum] = SpdChecksum(b);
  return b;
}

uint8_t SpdChecksum(const std::array<uint8_t, 256>& image) {
  unsigned sum = 0;
  for (int i = 0; i < spd::kChecksum; ++i) sum += image[i];
  return static_cast<uint8_t>(sum & 0xFF);
}

uint32_t SpdCapacityMb(const std::array<uint8_t, 256>& image) {
  const uint64_t width = image[spd::kDataWidthLow] == 72 ? 64 : image[spd::kDataWidthLow];
  const uint64_t rank = (1ull << (image[spd::kRowBits] + image[spd::kColumnBits])) *
                        image[spd::kDeviceBanks] * width / 8;
  return static_cast<uint32_t>((rank * image[spd::kRanks]) >> 20);
}

}  // namespace sim
