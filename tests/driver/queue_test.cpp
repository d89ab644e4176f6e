// The order of unload from inside: the controller goes after the worker and
// the device. The queue's order, stop winning over queued work and the
// cancelling of what is left are the contract suite's.
#include <gtest/gtest.h>

#include <atomic>

#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::Words;

// What the controller's release saw: whether the worker had ended.
std::atomic<int> g_threadsAtRelease{-1};
std::atomic<int> g_devicesAtRelease{-1};
SmbusReleaseFn g_backEndRelease = nullptr;
void RecordRelease(void* context) {
  g_threadsAtRelease = static_cast<int>(host::LiveThreadObjects());
  g_devicesAtRelease = static_cast<int>(host::IoManager::Current()->DeviceCount());
  if (g_backEndRelease != nullptr) g_backEndRelease(context);
}

TEST_F(DriverTest, UnloadReleasesTheControllerAfterTheWorkerAndTheDevice) {
  LoadOn("ich5");
  g_backEndRelease = Extension()->Controller->ReleaseDevice;
  Extension()->Controller->ReleaseDevice = &RecordRelease;
  g_threadsAtRelease = g_devicesAtRelease = -1;
  EXPECT_EQ(Send(IOCTL_SET_SEGMENT, Words({1}), 76).Status, STATUS_SUCCESS);
  io_.Unload();
  EXPECT_EQ(g_threadsAtRelease, 0) << "controller released while the worker lived";
  EXPECT_EQ(g_devicesAtRelease, 0) << "controller released before the device was deleted";
}

}  // namespace
