// The rules every request is held to, by both kernels: a small driver image
// (images/probe_driver.cpp) breaks one with each of its request codes, and
// the loader's kernel must name it. What a whole driver does on this kernel
// is the contract suite's, run here against dimmio.sys.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver/status.h"
#include "images/probe_driver.h"
#include "loader/kernel.h"
#include "loader/loaded_driver.h"
#include "sim/machine.h"

namespace {

TEST(KernelChecksTest, EachBrokenRuleIsReportedByName) {
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
  sim::Machine machine;
  std::unique_ptr<loader::LoadedDriver> driver;
  loader::Kernel kernel(machine);
  std::string error;
  driver = loader::LoadedDriver::Load(kernel, DIMMIO_TEST_IMAGE_DIR "/probe_driver.sys", &error);
  ASSERT_NE(driver, nullptr) << error;
  ASSERT_EQ(driver->Start(), STATUS_SUCCESS);
  for (const auto& row : rows) kernel.DeviceControl(probe::kLinkName, row.code, {1}, 4)->Wait();
  const std::vector<std::string> faults = kernel.Faults();
  for (const auto& row : rows) {
    char request[32];
    std::snprintf(request, sizeof request, "request 0x%X ", row.code);
    bool found = false;
    for (const std::string& f : faults) {
      found = found || (f.rfind(request, 0) == 0 && f.find(row.fault) != std::string::npos);
    }
    EXPECT_TRUE(found) << request << row.fault << " not among " << ::testing::PrintToString(faults);
  }
  EXPECT_TRUE(driver->Unload());
  EXPECT_EQ(kernel.LeftBehind(driver->Driver()), std::vector<std::string>{});
}

}  // namespace
