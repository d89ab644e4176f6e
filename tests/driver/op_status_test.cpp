// The status record helpers: what a second failure leaves of the first.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/op_status.h"

namespace {

// A later failure with fewer detail words clears the ones the earlier left:
// no stale detail reaches the caller.
TEST(OpStatusTest, DetailWordsBeyondTheCountAreZero) {
  OpStatus status;
  std::memset(&status, 0xCC, sizeof status);
  InitOpStatus(&status);
  SetOpFailure(&status, OpError::SmbiosScanMap, 2, 0xF0000, 0x10000);
  SetOpFailure(&status, OpError::ControllerAlloc, 1, 36);
  SetHwFailure(&status, OpError::ReadByteFailed, 0x44);
  EXPECT_EQ(status.Detail[0], 36u);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(status.Detail[i], 0u) << "detail word " << i;
  for (int i = 1; i < 8; ++i) EXPECT_EQ(status.HwDetail[i], 0u) << "hardware detail word " << i;
}

}  // namespace
