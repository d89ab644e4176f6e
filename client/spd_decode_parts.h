// Pieces the decoders of the SPD types share: hex bytes, the part number,
// the BCD date, the module type byte of DDR3 and later, the DDR3/DDR4 time
// bases, and the timings at each standard clock a module meets.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dimmio/spd.h"
#include "spd_speed.h"

namespace dimmio::spd_parts {

std::string Hex2(uint8_t value);

// Printable, trailing blanks (0x20, 0x00, 0xFF) removed.
std::string PartNumber(std::span<const uint8_t> field);

bool Bcd(uint8_t value);
uint8_t FromBcd(uint8_t value);

// The year's last two digits and the week, both in BCD.
void DecodeDate(uint8_t year, uint8_t week, SpdFacts& f);

// The four serial number bytes: a number, lowest byte first, and hex in byte order.
void DecodeSerial(std::span<const uint8_t> four, SpdFacts& f);

// DDR3 byte 3, bits 3-0.
std::string Ddr3ModuleType(uint8_t value);

// DDR3 and DDR4 times: a count of medium time base units plus a signed
// count of fine time base units, in whole ps, rounded; 0 when the time bases
// are not valid.
struct Ddr3TimeBase {
  uint64_t MediumFs = 0, FineFs = 0;
  uint32_t Ps(uint32_t medium, uint8_t fine = 0) const {
    if (MediumFs == 0) return 0;
    const int64_t fs = static_cast<int64_t>(medium * MediumFs) +
                       static_cast<int8_t>(fine) * static_cast<int64_t>(FineFs);
    return fs <= 0 ? 0 : static_cast<uint32_t>((fs + 500) / 1000);
  }
};

// At each standard clock the module meets (its shortest period no longer
// than the clock's, the clock no slower than a stated longest period), the
// latency `pick` chooses there and the delays in clocks (DDR4 with its guard
// band); the fastest first. A clock where `pick` finds no supported latency
// is left out.
template <typename Pick>
void DecodeStandardSpeeds(spd_speed::Family family, Pick pick, SpdFacts& f) {
  const auto clocks = spd_speed::StandardClocks(family);
  const bool guarded = family == spd_speed::Family::Ddr4;
  for (auto clock = clocks.rbegin(); clock != clocks.rend(); ++clock) {
    const uint32_t period = clock->PeriodPs();
    if (f.CycleTimePs == 0 || f.CycleTimePs > period) continue;
    if (f.Ddr2.MaxCycleTimePs != 0 && period > f.Ddr2.MaxCycleTimePs) continue;
    const uint16_t cas = pick(*clock);
    if (cas == 0) continue;
    const auto clocksOf = [&](uint32_t ps) {
      return guarded ? clock->GuardedClocks(ps) : clock->Clocks(ps);
    };
    SpdCasTiming t;
    t.CasTenths = cas;
    t.CycleTimePs = clock->NominalPs();
    t.Trcd = clocksOf(f.TrcdPs);
    t.Trp = clocksOf(f.TrpPs);
    t.Tras = clocksOf(f.TrasPs);
    t.Grade = clock->Grade;
    t.ChipSpeed = clock->ChipSpeed;
    f.Ddr2.StandardSpeeds.push_back(t);
  }
}

// DDR3, DDR4: the grade of the shortest clock period and, at each standard
// clock met, the lowest supported latency that covers tAA (DDR4 with the
// guard band), with the delays in clocks. Needs CycleTimePs, Ddr2.MaxCycleTimePs,
// Ddr3.TaaPs, TrcdPs, TrpPs, TrasPs and CasTenths.
void DecodeGradeAndSpeeds(spd_speed::Family family, SpdFacts& f);

// DDR4 bytes 0-383 (manufacturing data from 352 bytes on) and the second CRC.
void DecodeDdr4(std::span<const uint8_t> b, SpdFacts& f);

// Intel XMP: DDR3 XMP 1.x in bytes 176-254, DDR4 XMP 2.0 in 384-486, where
// the bytes reach that far and hold its identifier.
void DecodeDdr3Xmp(std::span<const uint8_t> b, SpdFacts& f);
void DecodeDdr4Xmp(std::span<const uint8_t> b, SpdFacts& f);

}  // namespace dimmio::spd_parts
