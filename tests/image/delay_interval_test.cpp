// The sleep interval the driver hands the kernel for a delay in milliseconds.
#include <gtest/gtest.h>

#include "platform/nt/delay_interval.h"

namespace {

TEST(DelayInterval, IsTheSignedProductWidenedWithItsSign) {
  struct Case {
    int32_t milliseconds;
    int64_t interval;
  };
  const Case cases[] = {
      {0, 0},
      {1, -10000},
      {35, -350000},
      {214748, -2147480000},  // the longest delay that is exact
      // One more wraps the 32-bit product to a positive value (an absolute
      // time in the past for the kernel: no sleep at all). No caller asks for
      // so long; this pins down that the wrap is not undefined behaviour.
      {214749, 2147477296},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RelativeDelayInterval(c.milliseconds), c.interval) << c.milliseconds;
  }
}

}  // namespace
