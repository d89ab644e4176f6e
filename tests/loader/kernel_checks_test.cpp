// The kernel's checks catch a driver that breaks the rules of requests: the
// probe image has request codes that break one rule each.
#include <gtest/gtest.h>

#include <string>

#include "driver/status.h"
#include "image_test.h"
#include "images/probe_driver.h"

namespace {

using testsupport::TestImage;

class KernelChecksTest : public testsupport::ImageTest {};

TEST_F(KernelChecksTest, EachBrokenRuleIsReportedByName) {
  const struct {
    uint32_t code;
    const char* fault;
  } rows[] = {
      {probe::kCompleteTwice, "completed more than once"},
      {probe::kPendingUnmarked, "returned STATUS_PENDING without marking it pending"},
      {probe::kMarkAfterPublish, "took the queue lock before marking the request pending"},
      {probe::kRefuseAfterWrite, "wrote into the buffer of a request it refused"},
      {probe::kTouchAfterComplete, "request packet changed after completion"},
  };
  ASSERT_EQ(Start(TestImage("probe_driver.sys")), STATUS_SUCCESS);
  for (const auto& row : rows) {
    Call(probe::kLinkName, row.code, {1, 2, 3, 4}, 4);
    const std::vector<std::string> faults = kernel_.TakeFaults();
    bool found = false;
    for (const std::string& f : faults) found = found || f.find(row.fault) != std::string::npos;
    EXPECT_TRUE(found) << row.fault << " not among " << ::testing::PrintToString(faults);
  }
}

// Its thread may end after it completed (the kernel then leaves the packet
// alone): no fault either.
TEST_F(KernelChecksTest, AWellBehavedRequestRaisesNoFault) {
  ASSERT_EQ(Start(TestImage("probe_driver.sys")), STATUS_SUCCESS);
  const auto request = kernel_.DeviceControl(probe::kLinkName, 0x81230000u | (0x9FFu << 2), {}, 4);
  const loader::Completion refused = request->Wait();
  kernel_.Cancel(*request);
  EXPECT_EQ(refused.status, STATUS_NOT_IMPLEMENTED);
  EXPECT_EQ(refused.dispatchStatus, STATUS_NOT_IMPLEMENTED);
  EXPECT_TRUE(refused.completedInDispatch);
  EXPECT_EQ(kernel_.Faults(), std::vector<std::string>{});
}

TEST_F(KernelChecksTest, RequestKindsTheDriverDoesNotServeFailByDefault) {
  ASSERT_EQ(Start(TestImage("probe_driver.sys")), STATUS_SUCCESS);
  constexpr uint8_t kIrpMjRead = 0x03;
  const loader::Completion c = kernel_.CreateOrClose(probe::kLinkName, kIrpMjRead)->Wait();
  EXPECT_EQ(c.status, static_cast<int32_t>(0xC0000010u));  // STATUS_INVALID_DEVICE_REQUEST
  EXPECT_EQ(kernel_.CreateOrClose(probe::kLinkName, 0x00)->Wait().status, STATUS_SUCCESS);
}

}  // namespace
