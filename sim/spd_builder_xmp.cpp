#include "sim/spd_builder_xmp.h"

#include <stdexcept>

namespace sim {

namespace {

// A time as 125 ps units rounded up and the fine offset (ps, <= 0) that
// makes it exact.
void PutFine(uint8_t* b, size_t medium, size_t fine, uint32_t ps) {
  const uint32_t units = (ps + 124) / 125;
  if (units > 0xFF) throw std::invalid_argument("XMP time out of range");
  b[medium] = static_cast<uint8_t>(units);
  b[fine] = static_cast<uint8_t>(static_cast<int8_t>(ps - units * 125));
}

uint32_t UnitsUp(uint32_t ps) {
  return (ps + 124) / 125;
}

// tRAS, which has no fine offset: whole clocks in 125 ps units rounded down,
// still longer than one clock fewer, so a reader rounds it up to the clocks.
uint32_t UnitsDown(uint32_t ps) {
  return ps / 125;
}

// tRAS (low nibble) and tRC (high nibble, with its fine offset) as 12-bit counts.
void PutTrasTrc(uint8_t* b, size_t nibbles, size_t tras, size_t trc, size_t trcFine,
                const XmpProfile& p) {
  const uint32_t rasUnits = UnitsDown(p.tras * p.tckPs);
  const uint32_t rcPs = (p.tras + p.trp) * p.tckPs;
  const uint32_t rcUnits = UnitsUp(rcPs);
  b[nibbles] = static_cast<uint8_t>((rcUnits >> 8) << 4 | (rasUnits >> 8));
  b[tras] = static_cast<uint8_t>(rasUnits);
  b[trc] = static_cast<uint8_t>(rcUnits);
  b[trcFine] = static_cast<uint8_t>(static_cast<int8_t>(rcPs - rcUnits * 125));
}

// The profile's latency and the ones below it, down to `lowest`, as a bit map
// whose bit 0 is CL `lowest`.
uint32_t CasMap(uint8_t cl, unsigned span, unsigned lowest) {
  uint32_t map = 0;
  for (unsigned c = cl > lowest + span ? cl - span : lowest; c <= cl; ++c)
    map |= 1u << (c - lowest);
  return map;
}

// Profile 1 and 2 enabled, each with its DIMMs per channel less one.
uint8_t Organisation(const DimmSpec& dimm) {
  uint8_t org = 0;
  for (size_t i = 0; i < dimm.xmp.size(); ++i) {
    const uint8_t dpc = dimm.xmp[i].dimmsPerChannel;
    if (dpc < 1 || dpc > 4) throw std::invalid_argument("XMP DIMMs per channel");
    org = static_cast<uint8_t>(org | 1u << i | (dpc - 1u) << (2 + 2 * i));
  }
  return org;
}

void PutDdr3(const DimmSpec& dimm, uint8_t* b) {
  b[176] = 0x0C;
  b[177] = 0x4A;
  b[178] = Organisation(dimm);
  b[179] = 0x13;  // XMP 1.3
  b[184] = 0x11;  // fine time base 1 ps
  for (size_t i = 0; i < dimm.xmp.size(); ++i) {
    const XmpProfile& p = dimm.xmp[i];
    const size_t o = 35 * i;  // profile 2 lies 35 bytes after profile 1
    if (p.cl < 4 || p.cl > 18) throw std::invalid_argument("DDR3 XMP CAS latency");
    if (p.millivolts % 50 != 0 || p.millivolts >= 4000)
      throw std::invalid_argument("DDR3 XMP voltage");
    b[180 + 2 * i] = 1;  // medium time base 1/8 ns
    b[181 + 2 * i] = 8;
    b[185 + o] = static_cast<uint8_t>((p.millivolts / 1000) << 5 | p.millivolts % 1000 / 50);
    PutFine(b, 186 + o, 211 + o, p.tckPs);
    PutFine(b, 187 + o, 212 + o, p.cl * p.tckPs);
    const uint32_t cas = CasMap(p.cl, 4, 4);
    b[188 + o] = static_cast<uint8_t>(cas);
    b[189 + o] = static_cast<uint8_t>(cas >> 8);
    // CWL: 5 clocks at 2.5 ns, one more for each step of the standard clocks.
    b[190 + o] = static_cast<uint8_t>(UnitsDown((7500 / p.tckPs + 2) * p.tckPs));
    PutFine(b, 191 + o, 213 + o, p.trp * p.tckPs);
    PutFine(b, 192 + o, 214 + o, p.trcd * p.tckPs);
    b[193 + o] = static_cast<uint8_t>(UnitsUp(15000));  // tWR
    PutTrasTrc(b, 194 + o, 195 + o, 196 + o, 215 + o, p);
    b[199 + o] = b[24];  // tRFC of the JEDEC part
    b[200 + o] = b[25];
    b[201 + o] = static_cast<uint8_t>(UnitsUp(7500));  // tRTP
    b[202 + o] = static_cast<uint8_t>(UnitsUp(6000));  // tRRD
    b[203 + o] = b[28];                                // tFAW of the JEDEC part
    b[204 + o] = b[29];
    b[205 + o] = static_cast<uint8_t>(UnitsUp(7500));  // tWTR
  }
}

void PutDdr4(const DimmSpec& dimm, uint8_t* b) {
  b[384] = 0x0C;
  b[385] = 0x4A;
  b[386] = Organisation(dimm);
  b[387] = 0x20;  // XMP 2.0; time bases 388-389 zero: 125 ps and 1 ps
  for (size_t i = 0; i < dimm.xmp.size(); ++i) {
    const XmpProfile& p = dimm.xmp[i];
    const size_t P = 393 + 47 * i;
    if (p.cl < 7 || p.cl > 36) throw std::invalid_argument("DDR4 XMP CAS latency");
    if (p.millivolts % 10 != 0 || p.millivolts >= 2000)
      throw std::invalid_argument("DDR4 XMP voltage");
    b[P] = static_cast<uint8_t>((p.millivolts / 1000) << 7 | p.millivolts % 1000 / 10);
    PutFine(b, P + 3, P + 38, p.tckPs);
    const uint32_t cas = CasMap(p.cl, 8, 7);
    for (int k = 0; k < 4; ++k) b[P + 4 + k] = static_cast<uint8_t>(cas >> (8 * k));
    PutFine(b, P + 8, P + 37, p.cl * p.tckPs);
    PutFine(b, P + 9, P + 36, p.trcd * p.tckPs);
    PutFine(b, P + 10, P + 35, p.trp * p.tckPs);
    PutTrasTrc(b, P + 11, P + 12, P + 13, P + 34, p);
    for (int k = 0; k < 6; ++k) b[P + 14 + k] = b[30 + k];  // tRFC1, 2, 4 of the JEDEC part
    b[P + 20] = b[36] & 0x0F;                               // tFAW
    b[P + 21] = b[37];
    b[P + 22] = b[38];  // tRRD_S, tRRD_L
    b[P + 33] = b[119];
    b[P + 23] = b[39];
    b[P + 32] = b[118];
  }
}

}  // namespace

void PutXmpProfiles(const DimmSpec& dimm, uint8_t* image) {
  if (dimm.xmp.empty()) return;
  if (dimm.xmp.size() > 2) throw std::invalid_argument("XMP profiles");
  for (const XmpProfile& p : dimm.xmp) {
    if (p.tckPs < 300 || p.tckPs > 2500 || p.trcd == 0 || p.trp == 0 || p.tras == 0) {
      throw std::invalid_argument("XMP profile");
    }
  }
  if (dimm.type == MemoryType::Ddr3) {
    PutDdr3(dimm, image);
  } else if (dimm.type == MemoryType::Ddr4) {
    PutDdr4(dimm, image);
  } else {
    throw std::invalid_argument("XMP on a module other than DDR3 or DDR4");
  }
}

}  // namespace sim
