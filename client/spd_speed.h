// Clock periods as SPD bytes state them, and the standard speed grades a
// clock period meets.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dimmio::spd_speed {

// A cycle-time byte (9, 23, and DDR's 25): whole nanoseconds in the high nibble; the
// low nibble gives tenths, and for DDR also 0.25, 0.33, 0.66 and 0.75
// (0xA-0xD). 0 when the byte states no valid period.
uint32_t CycleTimePs(uint8_t value, bool ddr);

// The highest standard grade a module with clock period `cycleTimePs` meets
// ("PC100" for an 8.0 ns SDR module); "" when it meets none.
std::string GradeMet(uint32_t cycleTimePs, bool ddr);

// "DDR400", "SDR133": the data rate of the clock period in MT/s, truncated.
std::string ChipSpeed(uint32_t cycleTimePs, bool ddr);

// A standard DDR2, DDR3 or DDR4 clock. Every one is a whole fraction of a
// round period (DDR2 15 ns / n, DDR3 and DDR4 7.5 ns / n), so delays convert
// to clocks exactly.
struct StandardClock {
  uint32_t BasePs;
  uint32_t Divisor;
  const char* Grade;      // "PC3-10600"
  const char* ChipSpeed;  // "DDR3-1333"
  // The period in whole ps, rounded up as SPD bytes round it (0.938 ns for
  // 0.9375): a module whose tCK is at most this meets the clock.
  uint32_t PeriodPs() const { return (BasePs + Divisor - 1) / Divisor; }
  // The period to the nearest ps, as people write it (1.071 ns for DDR3-1866).
  uint32_t NominalPs() const { return (BasePs + Divisor / 2) / Divisor; }
  // A delay in clocks at this period, rounded up.
  uint32_t Clocks(uint32_t ps) const {
    return static_cast<uint32_t>((uint64_t{ps} * Divisor + BasePs - 1) / BasePs);
  }
  // DDR4: a delay in clocks with the guard band of 2.5 % of a clock that
  // DDR4 modules' rounded times rely on (a delay up to 0.025 clocks above a
  // whole count rounds down to it), in integers.
  uint32_t GuardedClocks(uint32_t ps) const {
    return static_cast<uint32_t>((uint64_t{ps} * Divisor * 1000 / BasePs + 974) / 1000);
  }
};

enum class Family : uint8_t { Ddr2, Ddr3, Ddr4 };

// The standard clocks of DDR2 (type byte 0x08), DDR3 (0x0B) or DDR4 (0x0C),
// slowest first.
std::span<const StandardClock> StandardClocks(Family family);

// The fastest standard clock a module of clock period `cycleTimePs` meets;
// nullptr when it meets none.
const StandardClock* FastestMet(uint32_t cycleTimePs, Family family);

}  // namespace dimmio::spd_speed
