// The kernel's sleep takes a 64-bit interval in 100-ns units, negative for a
// relative wait. The driver computes it as a signed 32-bit product and widens
// it with its sign, so delays up to 214748 ms come out exact.
#pragma once

#include <stdint.h>

constexpr uint32_t kIntervalUnitsPerMs = 10000;  // 100-ns units in a millisecond

constexpr int64_t RelativeDelayInterval(int32_t milliseconds) {
  // Multiplied unsigned so that a longer delay wraps like the 32-bit product
  // instead of being undefined; the conversion back to signed is modular.
  const auto product = static_cast<int32_t>(static_cast<uint32_t>(milliseconds) *
                                            (0u - kIntervalUnitsPerMs));
  return static_cast<int64_t>(product);
}
