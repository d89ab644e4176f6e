// What the driver's own state shows of start-up and unload: what requests
// cannot see.
#include <gtest/gtest.h>

#include <atomic>

#include "discovery/pci_walk.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::Words;

// A failed load installs no routines: the link refused (the device made and
// deleted again), or no pool for the controller (a failed discovery, which
// leaves the count cleared).
TEST_F(DriverTest, AFailedLoadInstallsNoRoutines) {
  constexpr NtStatus kLinkRefused = static_cast<NtStatus>(0xC0000022u);  // access denied
  UseBoard("ich5");
  for (const bool linkRefused : {true, false}) {
    SCOPED_TRACE(linkRefused ? "link refused" : "no controller");
    PciDeviceCount = 12345;
    if (linkRefused) host::FailNext(host::Fault::CreateLink, kLinkRefused);
    if (!linkRefused) machine_.FailAllocation(1, sim::PoolType::Paged);
    KernelDriver driver{};
    EXPECT_EQ(DriverEntry(&driver, nullptr), linkRefused ? kLinkRefused : STATUS_UNSUCCESSFUL);
    EXPECT_EQ(driver.DriverUnload, nullptr);
    for (auto routine : driver.MajorFunction) EXPECT_EQ(routine, nullptr);
    EXPECT_EQ(driver.DeviceObject, nullptr);
    if (!linkRefused) {
      EXPECT_EQ(PciDeviceCount, 0u);
    }
  }
}

// What the controller's release saw: whether the worker had ended.
std::atomic<int> g_threadsAtRelease{-1};
std::atomic<int> g_devicesAtRelease{-1};
SmbusReleaseFn g_backEndRelease = nullptr;
void RecordRelease(void* context) {
  g_threadsAtRelease = static_cast<int>(host::LiveThreadObjects());
  g_devicesAtRelease = static_cast<int>(host::IoManager::Current()->DeviceCount());
  if (g_backEndRelease != nullptr) g_backEndRelease(context);
}

// The device is of the driver's type; unload releases the controller after
// the worker and the device are gone.
TEST_F(DriverTest, UnloadReleasesTheControllerAfterTheWorkerAndTheDevice) {
  LoadOn("ich5");
  EXPECT_EQ(device_->DeviceType, kDimmioDeviceType);
  g_backEndRelease = Extension()->Controller->ReleaseDevice;
  Extension()->Controller->ReleaseDevice = &RecordRelease;
  g_threadsAtRelease = g_devicesAtRelease = -1;
  EXPECT_EQ(Send(IOCTL_SET_SEGMENT, Words({1}), 76).Status, STATUS_SUCCESS);
  io_.Unload();
  EXPECT_EQ(g_threadsAtRelease, 0) << "controller released while the worker lived";
  EXPECT_EQ(g_devicesAtRelease, 0) << "controller released before the device was deleted";
}

}  // namespace
