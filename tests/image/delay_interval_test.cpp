// The sleep interval the driver hands the kernel for a delay in milliseconds.
#include <gtest/gtest.h>

#include "platform/nt/delay_interval.h"

namespace {

// Relative (negative) and exact for every delay, the longest included; a
// negative delay does not wait.
TEST(DelayInterval, IsTheExactRelativeIntervalAndNeverWraps) {
  const std::pair<int32_t, int64_t> cases[] = {
      {0, 0},  {1, -10000},   {35, -350000}, {214749, -2147490000}, {INT32_MAX, -21474836470000},
      {-1, 0}, {INT32_MIN, 0}};
  for (const auto& [milliseconds, interval] : cases) {
    EXPECT_EQ(RelativeDelayInterval(milliseconds), interval) << milliseconds;
  }
}

}  // namespace
