// Clock periods as SPD bytes state them, and the standard speed grades a
// clock period meets.
#pragma once

#include <cstdint>
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

}  // namespace dimmio::spd_speed
