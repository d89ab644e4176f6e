// Guest time from PIT counter 0, which nothing else here uses (interrupts
// stay off, so its IRQ 0 is never taken): it runs as a free 16-bit rate
// generator, and every reading adds the ticks since the one before. A
// reading must come at least once per wrap (54.9 ms); DelayMs takes one
// after every count it waits for, so code that sleeps keeps it honest.
#pragma once

#include <stdint.h>

namespace baremetal {

constexpr uint32_t kPitTicksPerMs = 1193;  // of the 1.193182 MHz input clock

// Ticks since the first reading (at most about an hour before they wrap).
uint32_t PitTicks();

}  // namespace baremetal
