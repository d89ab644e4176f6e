#include "sim/spd_builder_ddr4.h"

#include <stdexcept>

#include "sim/spd_builder_xmp.h"
#include "sim/spd_fields.h"

namespace sim {

namespace {

using spd_fields::Log2;
using spd_fields::WithOddParity;

// A DDR4 grade: tCK = 7.5 / n ns, its encoding (medium units of 125 ps and a
// signed fine offset in ps), the usual bin's CL and the highest CL of the
// grade's bins, and the core timings in ps (tRRD and tFAW for x4/x8 and x16
// devices; tFAW x4, x8, x16).
struct Ddr4Grade {
  const char* name;
  uint8_t n;  // tCK = 7500 / n ps
  uint8_t tCK;
  int8_t tCKFine;
  uint8_t cl, maxCl;
  uint32_t tRAS;
  uint32_t tRRD_S[2], tRRD_L[2], tCCD_L;
  uint32_t tFAW[3];
};

constexpr Ddr4Grade kDdr4Grades[] = {
    {"PC4-12800", 6, 10, 0, 11, 12, 35000, {5000, 6000}, {6000, 7500}, 6250, {20000, 25000, 35000}},
    {"PC4-14900",
     7,
     9,
     -54,
     13,
     14,
     34000,
     {4200, 5300},
     {5300, 6400},
     5355,
     {17000, 23000, 30000}},
    {"PC4-17000",
     8,
     8,
     -62,
     15,
     16,
     33000,
     {3700, 5300},
     {5300, 6400},
     5355,
     {15000, 21000, 30000}},
    {"PC4-19200",
     9,
     7,
     -42,
     17,
     18,
     32000,
     {3300, 5300},
     {4900, 6400},
     5000,
     {13000, 21000, 30000}},
    {"PC4-21300", 10, 6, 0, 19, 20, 32000, {3000, 5300}, {4900, 6400}, 5000, {12000, 21000, 30000}},
    {"PC4-23400",
     11,
     6,
     -68,
     21,
     22,
     32000,
     {2700, 5300},
     {4900, 6400},
     5000,
     {10875, 21000, 30000}},
    {"PC4-25600", 12, 5, 0, 22, 24, 32000, {2500, 5300}, {4900, 6400}, 5000, {10000, 21000, 30000}},
};

const Ddr4Grade& FindGrade(const std::string& name) {
  for (const Ddr4Grade& g : kDdr4Grades) {
    if (name == g.name) return g;
  }
  throw std::invalid_argument("no such DDR4 speed grade: " + name);
}

// A time as a medium count (125 ps, rounded up) and a fine offset (ps, <= 0)
// at `medium` and `fine`; `fine` may be null for the times without one.
void PutTime(uint8_t* b, size_t medium, size_t fine, uint32_t ps) {
  const uint32_t units = (ps + 124) / 125;
  if (units > 0xFF) throw std::invalid_argument("DDR4 time out of range");
  b[medium] = static_cast<uint8_t>(units);
  if (fine != 0) b[fine] = static_cast<uint8_t>(static_cast<int8_t>(ps - units * 125));
}

// A 12-bit medium count: low byte at `low`, bits 11-8 into the nibble at
// `high` (shift 0 or 4).
void PutTime12(uint8_t* b, size_t high, unsigned shift, size_t low, uint32_t ps) {
  const uint32_t units = (ps + 124) / 125;
  b[low] = static_cast<uint8_t>(units);
  b[high] = static_cast<uint8_t>(b[high] | ((units >> 8) & 0x0F) << shift);
}

void Put16(uint8_t* b, size_t at, uint32_t ps) {
  const uint32_t units = (ps + 124) / 125;
  b[at] = static_cast<uint8_t>(units);
  b[at + 1] = static_cast<uint8_t>(units >> 8);
}

// Byte 3 for each ModuleForm (0: none in DDR4).
constexpr uint8_t kForm[] = {2, 1, 3, 0, 5, 6, 4, 9, 8};

void PutModuleSection(uint8_t* b, const DimmSpec& dimm) {
  const bool small = dimm.form == ModuleForm::SoDimm || dimm.form == ModuleForm::SoUdimm72 ||
                     dimm.form == ModuleForm::SoRdimm72;
  const bool buffered = dimm.form == ModuleForm::Rdimm || dimm.form == ModuleForm::MiniRdimm ||
                        dimm.form == ModuleForm::SoRdimm72 || dimm.form == ModuleForm::Lrdimm;
  b[128] = small ? 0x0F : 0x11;           // 30 or 32 mm high
  b[129] = 0x11;                          // 2 mm front and back
  b[130] = dimm.ranks > 1 ? 0x01 : 0x00;  // raw card B or A, revision 0
  if (!buffered) {
    b[131] = dimm.ranks > 1 ? 0x01 : 0x00;  // rank 1 mirrored
    return;
  }
  b[131] = 0x05;  // one register, one row of devices
  b[133] = 0x80;  // register maker: bank 1, 0xB3
  b[134] = 0xB3;
  b[135] = 0x31;
  b[136] = dimm.ranks > 1 ? 0x01 : 0x00;
  b[137] = 0x55;  // moderate drive on CKE, ODT, C/A, CS
  b[138] = 0x05;
  if (dimm.form == ModuleForm::Lrdimm) {
    b[139] = 0x01;                                    // data buffer revision
    for (size_t i = 140; i <= 144; ++i) b[i] = 0x1D;  // VrefDQ
    b[145] = 0x11;
    b[146] = 0x11;
    b[147] = 0x11;
    b[148] = 0x00;
  }
}

}  // namespace

std::vector<uint8_t> BuildDdr4Contents(const DimmSpec& dimm) {
  const Ddr4Grade& g = FindGrade(dimm.speedGrade);
  const size_t form = static_cast<size_t>(dimm.form);
  if (form >= sizeof kForm || kForm[form] == 0) throw std::invalid_argument("DDR4 form");
  if (dimm.ranks > 8) throw std::invalid_argument("ranks");
  if (dimm.dies != 1 && dimm.dies != 2 && dimm.dies != 4 && dimm.dies != 8) {
    throw std::invalid_argument("dies");
  }
  const SpdGeometry geo = GeometryOf(dimm);
  const unsigned dieLog = spd_fields::DeviceBitsLog2(dimm, dimm.dies);
  if (dieLog < 31 || dieLog > 34) throw std::invalid_argument("DDR4 die density");  // 2-16 Gb
  const uint8_t cl = dimm.casLatency != 0 ? dimm.casLatency : g.cl;
  const uint8_t maxCl = cl > g.maxCl ? cl : g.maxCl;
  if (cl < 9 || maxCl > 36) throw std::invalid_argument("DDR4 CAS latency");
  const uint32_t tCK = 7500 / g.n;
  const uint32_t tAA = cl * 7500u / g.n;  // = tRCD = tRP
  const bool x16 = dimm.deviceWidth == 16;
  const bool ecc = dimm.dataWidth == 72;
  // tRFC1, tRFC2, tRFC4 in ns by die density, 2 Gb ... 16 Gb.
  static constexpr uint32_t kTrfcNs[4][3] = {
      {160, 110, 90}, {260, 160, 110}, {350, 260, 160}, {550, 350, 260}};
  const uint32_t* tRFC = kTrfcNs[dieLog - 31];
  const std::vector<uint8_t>& dram = dimm.dramJedecId.empty() ? dimm.jedecId : dimm.dramJedecId;

  std::vector<uint8_t> image(512, 0x00);
  uint8_t* b = image.data();
  b[0] = 0x23;  // 384 bytes used of 512
  b[1] = 0x11;  // SPD revision 1.1
  b[2] = static_cast<uint8_t>(MemoryType::Ddr4);
  b[3] = kForm[form];
  // Bank groups (4, x16 2) of 4 banks, die density 256 Mb << n.
  b[4] = static_cast<uint8_t>((x16 ? 0x40 : 0x80) | (dieLog - 28));
  b[5] = static_cast<uint8_t>(((geo.rowBits - 12) << 3) | (geo.columnBits - 9));
  if (dimm.dies > 1) b[6] = static_cast<uint8_t>(0x82 | (dimm.dies - 1) << 4);  // 3DS stack
  b[7] = 0x08;   // unlimited activations
  b[9] = 0x60;   // post-package repair, soft repair
  b[11] = 0x03;  // 1.2 V operable and endurant
  b[12] = static_cast<uint8_t>(((dimm.ranks - 1) << 3) | (Log2(dimm.deviceWidth) - 2));
  b[13] = static_cast<uint8_t>(0x03 | (ecc ? 0x08 : 0));
  b[14] = dimm.thermalSensor ? 0x80 : 0x00;
  b[18] = g.tCK;
  b[125] = static_cast<uint8_t>(g.tCKFine);
  b[19] = 12;  // tCK max 1.5 ns
  // CAS latencies 9 up to the grade's highest: bit n = CL 7 + n.
  uint32_t cas = 0;
  for (unsigned c = 9; c <= maxCl; ++c) cas |= 1u << (c - 7);
  for (int i = 0; i < 4; ++i) b[20 + i] = static_cast<uint8_t>(cas >> (8 * i));
  PutTime(b, 24, 123, tAA);
  PutTime(b, 25, 122, tAA);
  PutTime(b, 26, 121, tAA);
  PutTime12(b, 27, 0, 28, g.tRAS);
  PutTime12(b, 27, 4, 29, g.tRAS + tAA);
  b[120] = static_cast<uint8_t>(
      static_cast<int8_t>((g.tRAS + tAA) - ((g.tRAS + tAA + 124) / 125) * 125));
  Put16(b, 30, tRFC[0] * 1000);
  Put16(b, 32, tRFC[1] * 1000);
  Put16(b, 34, tRFC[2] * 1000);
  PutTime12(b, 36, 0, 37, g.tFAW[x16 ? 2 : dimm.deviceWidth == 8 ? 1 : 0]);
  PutTime(b, 38, 119, g.tRRD_S[x16] > 4 * tCK ? g.tRRD_S[x16] : 4 * tCK);
  PutTime(b, 39, 118, g.tRRD_L[x16] > 4 * tCK ? g.tRRD_L[x16] : 4 * tCK);
  PutTime(b, 40, 117, g.tCCD_L);
  PutTime12(b, 41, 0, 42, 15000);  // tWR
  PutTime12(b, 43, 0, 44, 2500);   // tWTR_S
  PutTime12(b, 43, 4, 45, 7500);   // tWTR_L
  spd_fields::PutCrc(b, 0, 126, 126);

  PutModuleSection(b, dimm);
  spd_fields::PutCrc(b, 128, 126, 254);

  b[320] = WithOddParity(static_cast<uint8_t>(dimm.jedecId.size() - 1));
  b[321] = dimm.jedecId.back();
  b[322] = 0x01;
  spd_fields::PutDate(&b[323], dimm, 18, 12);
  spd_fields::PutSerial(&b[325], dimm.serial);
  spd_fields::PutPartNumber(&b[329], dimm.partNumber, 20);
  b[350] = WithOddParity(static_cast<uint8_t>(dram.size() - 1));
  b[351] = dram.back();
  b[352] = 0xFF;  // DRAM stepping not given
  PutXmpProfiles(dimm, b);
  return image;
}

}  // namespace sim
