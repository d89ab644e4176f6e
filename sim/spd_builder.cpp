#include "sim/spd_builder.h"

#include <algorithm>
#include <stdexcept>

#include "sim/spd_builder_ddr4.h"
#include "sim/spd_builder_xmp.h"
#include "sim/spd_fields.h"

namespace sim {

namespace {

using spd_fields::DeviceBitsLog2;
using spd_fields::Log2;
using spd_fields::PutSerial;
using spd_fields::WithOddParity;

struct SpeedGrade {
  const char* name;
  MemoryType type;
  uint8_t cycleTime;              // byte 9: tCK at the highest CAS latency
  uint8_t accessTime;             // byte 10: tAC
  uint8_t cycleTime2;             // byte 23: tCK one CAS latency lower
  uint8_t accessTime2;            // byte 24
  uint8_t casLatencies;           // byte 18
  uint8_t tRP, tRRD, tRCD, tRAS;  // bytes 27-30
  uint8_t frequency;              // SDR byte 126 (MHz); unused for DDR
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

uint8_t RankDensityBits(MemoryType type, uint32_t rankMb) {
  const unsigned log = Log2(rankMb);  // 2 = 4 MB ... 9 = 512 MB, 10 = 1 GB
  if (type == MemoryType::Sdr) {
    if (log < 2 || log > 9) throw std::invalid_argument("SDR rank size out of range");
    return static_cast<uint8_t>(1u << (log - 2));  // bit 0 = 4 MB ... bit 7 = 512 MB
  }
  if (type == MemoryType::Ddr2) {
    // DDR2: bit 0 = 1 GB ... 4 = 16 GB, 5 = 128 MB ... 7 = 512 MB.
    if (log >= 7 && log <= 9) return static_cast<uint8_t>(1u << (log - 2));
    if (log >= 10 && log <= 14) return static_cast<uint8_t>(1u << (log - 10));
    throw std::invalid_argument("DDR2 rank size out of range");
  }
  // DDR: bit 0 = 1 GB, 1 = 2 GB, 2 = 4 GB, 3 = 32 MB ... 7 = 512 MB.
  if (log >= 5 && log <= 9) return static_cast<uint8_t>(1u << (log - 2));
  if (log >= 10 && log <= 12) return static_cast<uint8_t>(1u << (log - 10));
  throw std::invalid_argument("DDR rank size out of range");
}

// DDR2 grades: the cycle times of the three highest CAS latencies (bytes 9,
// 23, 25, 0 where the module has fewer) and their access times, the latencies
// (byte 18), and the core timings in quarter ns (tRP, tRRD, tRCD, tWR, tWTR,
// tRTP) or ns (tRAS, tRC).
struct Ddr2Grade {
  const char* name;
  uint8_t cycle[3], access[3];
  uint8_t casLatencies;
  uint8_t tRP, tRRD, tRCD, tRAS, tWR, tWTR, tRTP, tRC;
};

// clang-format off
constexpr Ddr2Grade kDdr2Grades[] = {
    {"PC2-3200", {0x50, 0, 0}, {0x60, 0, 0}, 0x08, 0x3C, 0x1E, 0x3C, 40, 0x3C, 0x28, 0x1E, 55},
    {"PC2-4200", {0x3D, 0x50, 0}, {0x50, 0x60, 0}, 0x18, 0x3C, 0x1E, 0x3C, 45, 0x3C, 0x1E, 0x1E,
     60},
    {"PC2-5300", {0x30, 0x3D, 0x50}, {0x45, 0x50, 0x60}, 0x38, 0x3C, 0x1E, 0x3C, 45, 0x3C, 0x1E,
     0x1E, 60},
    {"PC2-6400", {0x25, 0x30, 0x3D}, {0x40, 0x45, 0x50}, 0x70, 0x32, 0x1E, 0x32, 45, 0x3C, 0x1E,
     0x1E, 58},
    // 1.875 ns has no DDR2 code: such modules state 1.8 ns.
    {"PC2-8500", {0x18, 0x25, 0x30}, {0x35, 0x40, 0x45}, 0x70, 0x2D, 0x1E, 0x2D, 45, 0x3C, 0x1E,
     0x1E, 57},
};
// clang-format on

// DDR3 grades in medium time base units (0.125 ns) with their fine offsets
// (ps, signed): tCK, tAA, tRCD = tRP, tRC; then tRAS, tRRD, tFAW; the CAS
// latencies (bytes 14-15).
struct Ddr3Grade {
  const char* name;
  uint8_t tCK;
  int8_t tCKFine;
  uint8_t tAA;
  int8_t tAAFine;
  uint16_t tRAS, tRC;
  int8_t tRCFine;
  uint8_t tRRD;
  uint16_t tFAW;
  uint16_t casLatencies;
};

constexpr Ddr3Grade kDdr3Grades[] = {
    {"PC3-6400", 20, 0, 120, 0, 300, 420, 0, 80, 320, 0x0006},        // 6-6-6
    {"PC3-8500", 15, 0, 105, 0, 300, 405, 0, 60, 300, 0x001E},        // 7-7-7
    {"PC3-10600", 12, 0, 108, 0, 288, 396, 0, 48, 240, 0x003E},       // 9-9-9
    {"PC3-12800", 10, 0, 110, 0, 280, 390, 0, 48, 240, 0x00FE},       // 11-11-11
    {"PC3-14900", 9, -54, 112, -90, 272, 384, -90, 40, 216, 0x03FE},  // 13-13-13, 1.071 ns
    {"PC3-17000", 8, -62, 105, -35, 264, 369, -35, 40, 200, 0x07FE},  // 14-14-14, 0.938 ns
};

template <typename Grade, size_t N>
const Grade& Find(const Grade (&grades)[N], const std::string& name) {
  for (const Grade& g : grades) {
    if (name == g.name) return g;
  }
  throw std::invalid_argument("no such speed grade for this memory type: " + name);
}

void CheckCommonFacts(const DimmSpec& dimm) {
  if (dimm.dataWidth != 64 && dimm.dataWidth != 72) throw std::invalid_argument("width");
  const size_t partLength = dimm.type == MemoryType::Ddr4 ? 20 : spd::kPartNumberLength;
  if (dimm.partNumber.size() > partLength) throw std::invalid_argument("part");
  if (dimm.jedecId.empty() || dimm.jedecId.size() > 8) throw std::invalid_argument("jedec id");
}

std::array<uint8_t, 256> BuildDdr2Image(const DimmSpec& dimm) {
  const Ddr2Grade& g = Find(kDdr2Grades, dimm.speedGrade);
  const SpdGeometry geo = GeometryOf(dimm);
  const bool ecc = dimm.dataWidth == 72;
  if (dimm.ranks > 8) throw std::invalid_argument("ranks");
  // tRFC in half ns by the device's density: 256 Mb 75 ns ... 4 Gb 327.5 ns.
  static constexpr uint16_t kTrfcHalfNs[] = {150, 210, 255, 395, 655};
  const unsigned deviceLog = DeviceBitsLog2(dimm);
  if (deviceLog < 28 || deviceLog > 32) throw std::invalid_argument("DDR2 device density");
  const uint16_t tRfcNs = kTrfcHalfNs[deviceLog - 28] / 2;
  const bool tRfcHalf = kTrfcHalfNs[deviceLog - 28] % 2 != 0;
  static constexpr uint8_t kForm[] = {0x02, 0x01, 0x04, 0x08, 0x10, 0x20};  // byte 20
  if (static_cast<size_t>(dimm.form) >= sizeof kForm) throw std::invalid_argument("DDR2 form");

  std::array<uint8_t, 256> b{};
  b.fill(0xFF);
  for (int i = 0; i < 128; ++i) b[i] = 0x00;
  b[0] = 128;
  b[1] = 8;
  b[2] = static_cast<uint8_t>(MemoryType::Ddr2);
  b[3] = geo.rowBits;
  b[4] = geo.columnBits;
  b[5] = static_cast<uint8_t>(0x60 | (dimm.ranks - 1));  // 30 mm high, planar
  b[6] = dimm.dataWidth;
  b[8] = 0x05;  // SSTL 1.8 V
  b[9] = g.cycle[0];
  b[10] = g.access[0];
  b[11] = ecc ? 0x02 : 0x00;
  b[12] = 0x82;  // 7.8 us, self refresh
  b[13] = dimm.deviceWidth;
  b[14] = ecc ? dimm.deviceWidth : 0;
  b[16] = 0x0C;  // bursts of 4 and 8
  b[17] = geo.deviceBanks;
  b[18] = g.casLatencies;
  b[19] = 0x01;
  b[20] = kForm[static_cast<int>(dimm.form)];
  const bool registered = dimm.form == ModuleForm::Rdimm || dimm.form == ModuleForm::MiniRdimm;
  b[21] = registered ? 0x11 : 0x00;  // one register, one PLL
  b[22] = 0x03;                      // weak driver, 50 ohm ODT
  b[23] = g.cycle[1];
  b[24] = g.access[1];
  b[25] = g.cycle[2];
  b[26] = g.access[2];
  b[27] = g.tRP;
  b[28] = g.tRRD;
  b[29] = g.tRCD;
  b[30] = g.tRAS;
  b[31] = RankDensityBits(MemoryType::Ddr2, dimm.capacityMb / dimm.ranks);
  b[32] = 0x20;  // tIS, tIH, tDS, tDH
  b[33] = 0x27;
  b[34] = 0x10;
  b[35] = 0x17;
  b[36] = g.tWR;
  b[37] = g.tWTR;
  b[38] = g.tRTP;
  // Byte 40: tRFC's 256 ns bit and fraction (3 = 0.5 ns) in bits 0-3.
  b[40] = static_cast<uint8_t>((tRfcNs >= 256 ? 0x01 : 0) | (tRfcHalf ? 0x06 : 0));
  b[41] = g.tRC;
  b[42] = static_cast<uint8_t>(tRfcNs & 0xFF);
  b[43] = 0x80;  // tCK max 8 ns
  b[44] = 0x18;  // tDQSQ, tQHS
  b[45] = 0x22;
  b[62] = 0x12;  // SPD revision 1.2
  for (size_t i = 0; i < dimm.jedecId.size(); ++i) b[spd::kJedecId + i] = dimm.jedecId[i];
  b[72] = 0x01;
  spd_fields::PutPartNumber(&b[spd::kPartNumber], dimm.partNumber, spd::kPartNumberLength);
  b[93] = 0x07;  // 2007, week 14
  b[94] = 0x14;
  PutSerial(&b[spd::kSerial], dimm.serial);
  b[spd::kChecksum] = SpdChecksum(b);
  return b;
}

std::array<uint8_t, 256> BuildDdr3Image(const DimmSpec& dimm) {
  const Ddr3Grade& g = Find(kDdr3Grades, dimm.speedGrade);
  const SpdGeometry geo = GeometryOf(dimm);
  const bool ecc = dimm.dataWidth == 72;
  if (dimm.ranks > 4) throw std::invalid_argument("ranks");
  const unsigned deviceLog = DeviceBitsLog2(dimm);
  if (deviceLog < 28 || deviceLog > 33) throw std::invalid_argument("DDR3 device density");
  // tRFC by density: 256 Mb 90 ns, 512 Mb 90, 1 Gb 110, 2 Gb 160, 4 Gb 260, 8 Gb 350.
  static constexpr uint16_t kTrfcNs[] = {90, 90, 110, 160, 260, 350};
  const uint16_t tRfc = static_cast<uint16_t>(kTrfcNs[deviceLog - 28] * 8);
  static constexpr uint8_t kForm[] = {2, 1, 3, 4, 5, 6, 11, 8, 9};  // byte 3
  const std::vector<uint8_t>& dram = dimm.dramJedecId.empty() ? dimm.jedecId : dimm.dramJedecId;

  std::array<uint8_t, 256> b{};
  // Bit 7: CRC coverage; 256 bytes in the EEPROM, 176 written.
  b[0] = static_cast<uint8_t>((dimm.crcOver126Bytes ? 0x00 : 0x80) | 0x12);
  b[1] = 0x11;  // SPD revision 1.1
  b[2] = static_cast<uint8_t>(MemoryType::Ddr3);
  b[3] = kForm[static_cast<int>(dimm.form)];
  b[4] = static_cast<uint8_t>(deviceLog - 28);  // 8 banks, density
  b[5] = static_cast<uint8_t>(((geo.rowBits - 12) << 3) | (geo.columnBits - 9));
  b[6] = dimm.lowVoltage ? 0x02 : 0x00;
  b[7] = static_cast<uint8_t>(((dimm.ranks - 1) << 3) | (Log2(dimm.deviceWidth) - 2));
  b[8] = static_cast<uint8_t>(0x03 | (ecc ? 0x08 : 0));
  b[9] = 0x11;  // fine time base 1 ps
  b[10] = 1;    // medium time base 1/8 ns
  b[11] = 8;
  b[12] = g.tCK;
  b[14] = static_cast<uint8_t>(g.casLatencies);
  b[15] = static_cast<uint8_t>(g.casLatencies >> 8);
  b[16] = g.tAA;
  b[17] = 120;    // tWR 15 ns
  b[18] = g.tAA;  // tRCD = tRP = tAA
  b[19] = g.tRRD;
  b[20] = g.tAA;
  b[21] = static_cast<uint8_t>(((g.tRC >> 8) << 4) | (g.tRAS >> 8));
  b[22] = static_cast<uint8_t>(g.tRAS);
  b[23] = static_cast<uint8_t>(g.tRC);
  b[24] = static_cast<uint8_t>(tRfc);
  b[25] = static_cast<uint8_t>(tRfc >> 8);
  b[26] = 60;  // tWTR, tRTP 7.5 ns
  b[27] = 60;
  b[28] = static_cast<uint8_t>(g.tFAW >> 8);
  b[29] = static_cast<uint8_t>(g.tFAW);
  b[30] = 0x83;  // RZQ/6, RZQ/7, DLL off
  b[31] = dimm.extendedTemperature ? 0x03 : 0x00;
  b[32] = dimm.thermalSensor ? 0x80 : 0x00;
  b[34] = static_cast<uint8_t>(g.tCKFine);
  b[35] = static_cast<uint8_t>(g.tAAFine);
  b[36] = static_cast<uint8_t>(g.tAAFine);
  b[37] = static_cast<uint8_t>(g.tAAFine);
  b[38] = static_cast<uint8_t>(g.tRCFine);
  b[60] = 0x0F;  // 30 mm high
  b[61] = 0x11;
  b[62] = 0x01;  // raw card B
  if (dimm.form == ModuleForm::Rdimm || dimm.form == ModuleForm::MiniRdimm) {
    b[63] = 0x05;  // one register, one row of devices
    b[65] = 0x00;  // register maker
    b[66] = 0x00;
  }
  b[117] = WithOddParity(static_cast<uint8_t>(dimm.jedecId.size() - 1));
  b[118] = dimm.jedecId.back();
  b[119] = 0x01;
  spd_fields::PutDate(&b[120], dimm, 11, 22);
  PutSerial(&b[122], dimm.serial);
  spd_fields::PutPartNumber(&b[128], dimm.partNumber, spd::kPartNumberLength);
  b[148] = WithOddParity(static_cast<uint8_t>(dram.size() - 1));
  b[149] = dram.back();
  spd_fields::PutCrc(b.data(), 0, (b[0] & 0x80) ? 117 : 126, 126);
  PutXmpProfiles(dimm, b.data());
  return b;
}

}  // namespace

SpdGeometry GeometryOf(const DimmSpec& dimm) {
  if (dimm.ranks == 0 || dimm.capacityMb % dimm.ranks != 0) {
    throw std::invalid_argument("capacity does not split into the ranks");
  }
  const bool ddr4 = dimm.type == MemoryType::Ddr4;
  if (dimm.type == MemoryType::Ddr2 || dimm.type == MemoryType::Ddr3 || ddr4) {
    if (dimm.deviceWidth != 4 && dimm.deviceWidth != 8 && dimm.deviceWidth != 16) {
      throw std::invalid_argument("device width");
    }
    // Each device (DDR4: each die) holds the rank's share of bits; DDR2
    // devices up to 512 Mb have 4 internal banks, larger ones and DDR3 8;
    // x4 devices 11 columns. DDR4: 10 columns, 4 bank groups of 4 banks (x16: 2).
    const unsigned deviceLog = DeviceBitsLog2(dimm, ddr4 ? dimm.dies : 1);
    const uint8_t banks = ddr4 ? (dimm.deviceWidth == 16 ? 8 : 16)
                          : dimm.type == MemoryType::Ddr2 && deviceLog <= 29 ? 4
                                                                             : 8;
    const uint8_t columns = dimm.deviceWidth == 4 && !ddr4 ? 11 : 10;
    const int rows = static_cast<int>(deviceLog) - static_cast<int>(Log2(banks)) - columns -
                     static_cast<int>(Log2(dimm.deviceWidth));
    if (rows < 12 || rows > (ddr4 ? 18 : 16)) throw std::invalid_argument("row bits out of range");
    return {static_cast<uint8_t>(rows), columns, banks};
  }
  // A rank of 64 data bits: each row/column address selects 8 bytes per bank.
  const uint64_t rankBytes = static_cast<uint64_t>(dimm.capacityMb / dimm.ranks) << 20;
  const unsigned addressBits = Log2(rankBytes / (4 * 8));
  const uint8_t columns = rankBytes <= (64ull << 20) ? 9 : rankBytes <= (256ull << 20) ? 10 : 11;
  return {static_cast<uint8_t>(addressBits - columns), columns, 4};
}

std::vector<uint8_t> BuildSpdContents(const DimmSpec& dimm) {
  if (dimm.type == MemoryType::Ddr4) {
    CheckCommonFacts(dimm);
    return BuildDdr4Contents(dimm);
  }
  const std::array<uint8_t, 256> image = BuildSpdImage(dimm);
  return {image.begin(), image.end()};
}

std::array<uint8_t, 256> BuildSpdImage(const DimmSpec& dimm) {
  CheckCommonFacts(dimm);
  if (dimm.type == MemoryType::Ddr4) {
    const std::vector<uint8_t> all = BuildDdr4Contents(dimm);
    std::array<uint8_t, 256> page0{};
    std::copy(all.begin(), all.begin() + 256, page0.begin());
    return page0;
  }
  if (dimm.type == MemoryType::Ddr2) return BuildDdr2Image(dimm);
  if (dimm.type == MemoryType::Ddr3) return BuildDdr3Image(dimm);
  const SpeedGrade& g = GradeOf(dimm);
  const SpdGeometry geo = GeometryOf(dimm);
  const bool ddr = dimm.type == MemoryType::Ddr;
  const bool ecc = dimm.dataWidth == 72;

  std::array<uint8_t, 256> b{};
  b.fill(0xFF);  // bytes 128-255 are open for the system's use
  for (int i = 0; i < 128; ++i) b[i] = 0x00;
  b[0] = 128;  // bytes written by the module maker
  b[1] = 8;    // log2 of the EEPROM size
  b[2] = static_cast<uint8_t>(dimm.type);
  b[3] = geo.rowBits;
  b[4] = geo.columnBits;
  b[5] = dimm.ranks;
  b[6] = dimm.dataWidth;
  b[7] = 0;
  b[8] = ddr ? 0x04 : 0x01;  // SSTL 2.5 V or LVTTL
  b[9] = g.cycleTime;
  b[10] = g.accessTime;
  b[11] = ecc ? 0x02 : 0x00;  // ECC or none
  b[12] = ddr ? 0x82 : 0x80;  // refresh 7.8 or 15.6 us, self refresh
  b[13] = 8;                  // x8 devices
  b[14] = ecc ? 8 : 0;
  b[15] = 1;                  // tCCD
  b[16] = ddr ? 0x0E : 0x8F;  // burst lengths
  b[17] = geo.deviceBanks;
  b[18] = g.casLatencies;
  b[19] = ddr ? 0x01 : 0x01;  // CS latency
  b[20] = ddr ? 0x02 : 0x01;  // WE latency
  // Module attributes: differential clock; a registered module adds its
  // registered address and control inputs and the on-card PLL.
  const bool registered = ddr && dimm.form == ModuleForm::Rdimm;
  b[21] = ddr ? (registered ? 0x26 : 0x20) : 0x00;
  b[22] = ddr ? 0xC0 : 0x0E;  // device attributes
  b[23] = g.cycleTime2;
  b[24] = g.accessTime2;
  b[27] = g.tRP;
  b[28] = g.tRRD;
  b[29] = g.tRCD;
  b[30] = g.tRAS;
  b[31] = RankDensityBits(dimm.type, dimm.capacityMb / dimm.ranks);
  b[32] = ddr ? 0x60 : 0x15;  // address/command setup and hold
  b[33] = ddr ? 0x60 : 0x08;
  b[34] = ddr ? 0x40 : 0x15;  // data setup and hold
  b[35] = ddr ? 0x40 : 0x08;
  if (ddr) {
    b[41] = 0x37;  // tRC 55 ns
    b[42] = 0x46;  // tRFC 70 ns
    b[43] = 0x30;  // tCK max 12 ns
    b[44] = 0x28;  // tDQSQ
    b[45] = 0x50;  // tQHS
  }
  b[62] = ddr ? 0x10 : 0x02;  // SPD revision
  for (size_t i = 0; i < dimm.jedecId.size(); ++i) b[spd::kJedecId + i] = dimm.jedecId[i];
  b[72] = 0x01;  // manufacturing location
  spd_fields::PutPartNumber(&b[spd::kPartNumber], dimm.partNumber, spd::kPartNumberLength);
  b[93] = 0x03;  // year, week of manufacture
  b[94] = 0x17;
  PutSerial(&b[spd::kSerial], dimm.serial);
  if (!ddr) {
    b[126] = g.frequency;
    b[127] = 0xAD;  // clock and attribute details
  }
  b[spd::kChecksum] = SpdChecksum(b);
  return b;
}

uint8_t SpdChecksum(const std::array<uint8_t, 256>& image) {
  unsigned sum = 0;
  for (int i = 0; i < spd::kChecksum; ++i) sum += image[i];
  return static_cast<uint8_t>(sum & 0xFF);
}

uint16_t SpdCrc16(const std::array<uint8_t, 256>& image) {
  return spd_fields::Crc16(image.data(), (image[0] & 0x80) ? 117 : 126);
}

uint32_t SpdCapacityMb(const std::array<uint8_t, 256>& image) {
  if (image[spd::kMemoryType] == static_cast<uint8_t>(MemoryType::Ddr4)) {
    // Ranks * (bus width / device width) * die density / 8, times the dies of a 3DS stack.
    const uint64_t dieMbit = 256ull << (image[4] & 0x0F);
    const unsigned busWidth = 8u << (image[13] & 0x07);
    const unsigned deviceWidth = 4u << (image[12] & 0x07);
    const unsigned ranks = ((image[12] >> 3) & 0x07) + 1;
    const unsigned dies = (image[6] & 0x03) == 2 ? ((image[6] >> 4) & 0x07) + 1 : 1;
    return static_cast<uint32_t>(dieMbit / 8 * (busWidth / deviceWidth) * ranks * dies);
  }
  if (image[spd::kMemoryType] == static_cast<uint8_t>(MemoryType::Ddr3)) {
    // Device density (256 Mb << n) / 8 * (bus width / device width) * ranks.
    const uint64_t deviceMbit = 256ull << (image[4] & 0x0F);
    const unsigned busWidth = 8u << (image[8] & 0x07);
    const unsigned deviceWidth = 4u << (image[7] & 0x07);
    const unsigned ranks = ((image[7] >> 3) & 0x07) + 1;
    return static_cast<uint32_t>(deviceMbit / 8 * (busWidth / deviceWidth) * ranks);
  }
  if (image[spd::kMemoryType] == static_cast<uint8_t>(MemoryType::Ddr2)) {
    const uint64_t rank = (1ull << ((image[3] & 0x1F) + (image[4] & 0x0F))) * image[17] * 8;
    return static_cast<uint32_t>((rank * ((image[5] & 0x07) + 1)) >> 20);
  }
  const uint64_t width = image[spd::kDataWidthLow] == 72 ? 64 : image[spd::kDataWidthLow];
  const uint64_t rank = (1ull << (image[spd::kRowBits] + image[spd::kColumnBits])) *
                        image[spd::kDeviceBanks] * width / 8;
  return static_cast<uint32_t>((rank * image[spd::kRanks]) >> 20);
}

}  // namespace sim
