// Intel XMP profiles: DDR3's XMP 1.x after the JEDEC bytes of its one page
// (176-254), DDR4's XMP 2.0 in the end-user part of page 1 (384-486). Each
// profile is a clock beyond the JEDEC grades with its supply voltage and
// timings, the latencies at that clock worked out as for the JEDEC part.
#include "spd_decode_parts.h"

namespace dimmio::spd_parts {

namespace {

bool HasXmpId(std::span<const uint8_t> b, size_t at) {
  return b[at] == 0x0C && b[at + 1] == 0x4A;
}

uint32_t Count12(uint8_t high, unsigned shift, uint8_t low) {
  return ((high >> shift) & 0x0Fu) << 8 | low;
}

// At the profile's clock: the lowest supported latency covering tAA and the
// delays in clocks; the clock named by its data rate, to the nearest
// 200/3 MT/s (every rate in use is a multiple: 1866, 2133, 3600, 4266), and
// by its PC name (8 bytes a transfer, rounded down to 100 MB/s).
void AtProfileClock(spd_speed::Family family, SpdXmpProfile& p) {
  if (p.At.CycleTimePs == 0) return;
  const bool ddr4 = family == spd_speed::Family::Ddr4;
  const spd_speed::StandardClock clock{p.At.CycleTimePs, 1, "", ""};
  const auto clocksOf = [&](uint32_t ps) {
    return ddr4 ? clock.GuardedClocks(ps) : clock.Clocks(ps);
  };
  const uint32_t needed = clocksOf(p.TaaPs);
  for (uint16_t tenths : p.CasTenths) {
    if (tenths / 10u >= needed) {
      p.At.CasTenths = tenths;
      break;
    }
  }
  p.At.Trcd = clocksOf(p.TrcdPs);
  p.At.Trp = clocksOf(p.TrpPs);
  p.At.Tras = clocksOf(p.TrasPs);
  const uint32_t steps = (30000 + p.At.CycleTimePs / 2) / p.At.CycleTimePs;
  const uint32_t rate = steps * 200 / 3;
  p.At.ChipSpeed = (ddr4 ? "DDR4-" : "DDR3-") + std::to_string(rate);
  p.At.Grade = (ddr4 ? "PC4-" : "PC3-") + std::to_string(rate * 8 / 100 * 100);
}

}  // namespace

void DecodeDdr3Xmp(std::span<const uint8_t> b, SpdFacts& f) {
  if (b.size() < 255 || !HasXmpId(b, 176)) return;
  f.HasXmp = true;
  f.XmpRevision = b[179];
  Ddr3TimeBase fine;  // the fine time base of byte 184, shared by both profiles
  if ((b[184] & 0x0F) != 0) fine.FineFs = uint64_t{b[184]} / 16 * 1000 / (b[184] & 0x0F);
  for (unsigned n = 0; n < 2; ++n) {
    if ((b[178] & (1u << n)) == 0) continue;
    const size_t o = 35 * n;  // profile 2 lies 35 bytes after profile 1
    Ddr3TimeBase tb = fine;
    const uint8_t dividend = b[180 + 2 * n], divisor = b[181 + 2 * n];
    tb.MediumFs = divisor != 0 ? uint64_t{dividend} * 1000000 / divisor : 0;
    SpdXmpProfile p;
    p.Number = static_cast<uint8_t>(n + 1);
    p.DimmsPerChannel = static_cast<uint8_t>(((b[178] >> (2 + 2 * n)) & 0x03) + 1);
    p.VoltageMv =
        static_cast<uint16_t>(((b[185 + o] >> 5) & 0x03) * 1000 + (b[185 + o] & 0x1F) * 50);
    p.At.CycleTimePs = tb.Ps(b[186 + o], b[211 + o]);
    p.TaaPs = tb.Ps(b[187 + o], b[212 + o]);
    const uint16_t cas = static_cast<uint16_t>(b[189 + o] << 8 | b[188 + o]);
    for (unsigned bit = 0; bit < 15; ++bit) {
      if (cas & (1u << bit)) p.CasTenths.push_back(static_cast<uint16_t>(10 * (bit + 4)));
    }
    p.TcwlPs = tb.Ps(b[190 + o]);
    p.TrpPs = tb.Ps(b[191 + o], b[213 + o]);
    p.TrcdPs = tb.Ps(b[192 + o], b[214 + o]);
    p.TwrPs = tb.Ps(b[193 + o]);
    p.TrasPs = tb.Ps(Count12(b[194 + o], 0, b[195 + o]));
    p.TrcPs = tb.Ps(Count12(b[194 + o], 4, b[196 + o]), b[215 + o]);
    p.TrfcPs = tb.Ps(uint32_t{b[200 + o]} << 8 | b[199 + o]);
    p.TrtpPs = tb.Ps(b[201 + o]);
    p.TrrdPs = tb.Ps(b[202 + o]);
    p.TfawPs = tb.Ps(Count12(b[203 + o], 0, b[204 + o]));
    p.TwtrPs = tb.Ps(b[205 + o]);
    AtProfileClock(spd_speed::Family::Ddr3, p);
    f.Xmp.push_back(p);
  }
}

void DecodeDdr4Xmp(std::span<const uint8_t> b, SpdFacts& f) {
  if (b.size() < 487 || !HasXmpId(b, 384)) return;
  f.HasXmp = true;
  f.XmpRevision = b[387];
  for (unsigned n = 0; n < 2; ++n) {
    if ((b[386] & (1u << n)) == 0) continue;
    const size_t P = 393 + 47 * n;
    Ddr3TimeBase tb;  // byte 17's code: 0 is 125 ps and 1 ps, the only one defined
    if (b[388 + n] == 0) {
      tb.MediumFs = 125000;
      tb.FineFs = 1000;
    }
    SpdXmpProfile p;
    p.Number = static_cast<uint8_t>(n + 1);
    p.DimmsPerChannel = static_cast<uint8_t>(((b[386] >> (2 + 2 * n)) & 0x03) + 1);
    p.VoltageMv = static_cast<uint16_t>((b[P] >> 7) * 1000 + (b[P] & 0x7F) * 10);
    p.At.CycleTimePs = tb.Ps(b[P + 3], b[P + 38]);
    // As bytes 20-23: bit n is CL 7 + n, or CL 23 + n with bit 31 set.
    const uint32_t cas = uint32_t{b[P + 4]} | uint32_t{b[P + 5]} << 8 | uint32_t{b[P + 6]} << 16 |
                         uint32_t{b[P + 7]} << 24;
    const unsigned base = (cas & 0x80000000u) ? 23 : 7;
    for (unsigned bit = 0; bit < 30; ++bit) {
      if (cas & (1u << bit)) p.CasTenths.push_back(static_cast<uint16_t>(10 * (base + bit)));
    }
    p.TaaPs = tb.Ps(b[P + 8], b[P + 37]);
    p.TrcdPs = tb.Ps(b[P + 9], b[P + 36]);
    p.TrpPs = tb.Ps(b[P + 10], b[P + 35]);
    p.TrasPs = tb.Ps(Count12(b[P + 11], 0, b[P + 12]));
    p.TrcPs = tb.Ps(Count12(b[P + 11], 4, b[P + 13]), b[P + 34]);
    p.TrfcPs = tb.Ps(uint32_t{b[P + 15]} << 8 | b[P + 14]);
    p.Trfc2Ps = tb.Ps(uint32_t{b[P + 17]} << 8 | b[P + 16]);
    p.Trfc4Ps = tb.Ps(uint32_t{b[P + 19]} << 8 | b[P + 18]);
    p.TfawPs = tb.Ps(Count12(b[P + 20], 0, b[P + 21]));
    p.TrrdPs = tb.Ps(b[P + 22], b[P + 33]);
    p.TrrdLPs = tb.Ps(b[P + 23], b[P + 32]);
    AtProfileClock(spd_speed::Family::Ddr4, p);
    f.Xmp.push_back(p);
  }
}

}  // namespace dimmio::spd_parts
