// The kernel's sleep takes a 64-bit interval in 100-ns units, negative for a
// relative wait. The product is taken in 64 bits, so every delay comes out
// exact; a negative delay is no wait at all (a positive interval would be an
// absolute time in the past).
#pragma once

#include <stdint.h>

constexpr int64_t kIntervalUnitsPerMs = 10000;  // 100-ns units in a millisecond

constexpr int64_t RelativeDelayInterval(int32_t milliseconds) {
  return milliseconds <= 0 ? 0 : -(milliseconds * kIntervalUnitsPerMs);
}
