// Start-up and unload as the driver's own state shows them: each load starts
// from cleared discovery results whatever the image's statics still hold,
// and the routines are installed only when the load succeeds.
#include <gtest/gtest.h>

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::Words;

constexpr NtStatus kLinkRefused = static_cast<NtStatus>(0xC0000022u);  // access denied

class LifecycleTest : public DriverTest {};

TEST_F(LifecycleTest, LoadCreatesTheDeviceOfTheDriversTypeAndAnyNumberOfOpensSucceed) {
  LoadOn("nosmbus");
  EXPECT_EQ(device_->DeviceType, kDimmioDeviceType);
  const host::IoManager::OpenResult second = io_.Open(kLinkName);
  EXPECT_EQ(second.Status, STATUS_SUCCESS);
  EXPECT_EQ(io_.Close(second.Device), STATUS_SUCCESS);
  EXPECT_EQ(io_.Close(device_), STATUS_SUCCESS);
}

TEST_F(LifecycleTest, EachLoadStartsFromClearedDiscoveryResults) {
  UseBoard("nosmbus");
  ASSERT_EQ(io_.Load(&DriverEntry), STATUS_SUCCESS);
  const uint32_t functions = PciDeviceCount;
  io_.Unload();

  // The image stays in memory between the loads: what the first load left,
  // and more, is still in its statics.
  ChipsetInfo = ChipsetInfoRecord{1, 2, 3, 4, 5, 6};
  PciDeviceCount = 12345;
  ASSERT_EQ(io_.Load(&DriverEntry, /*freshImage=*/false), STATUS_SUCCESS);
  EXPECT_EQ(PciDeviceCount, functions);
  const host::IoManager::OpenResult opened = io_.Open(kLinkName);
  ASSERT_EQ(opened.Status, STATUS_SUCCESS);
  const host::RequestResult info = io_.Send(opened.Device, IOCTL_GET_CHIPSET_INFO, {}, 24);
  EXPECT_EQ(info.Output, Words({0, 0, 0, 0, 0, 0})) << "no supported chipset on this board";
}

TEST_F(LifecycleTest, AFailedDiscoveryLeavesTheCountCleared) {
  UseBoard("ich5");
  ChipsetInfo = ChipsetInfoRecord{1, 2, 3, 4, 5, 6};
  PciDeviceCount = 12345;
  machine_.FailAllocation(1, sim::PoolType::Paged);
  EXPECT_EQ(io_.Load(&DriverEntry, /*freshImage=*/false), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(PciDeviceCount, 0u);
  EXPECT_EQ(ChipsetInfo.ChipTraits, 0u);
  EXPECT_EQ(ChipsetInfo.VendorId, 0u);
}

TEST_F(LifecycleTest, RoutinesAreInstalledOnlyOnSuccess) {
  UseBoard("ich5");
  host::FailNext(host::Fault::CreateLink, kLinkRefused);
  KernelDriver driver{};
  EXPECT_EQ(DriverEntry(&driver, nullptr), kLinkRefused);
  EXPECT_EQ(driver.DriverUnload, nullptr);
  for (auto routine : driver.MajorFunction) EXPECT_EQ(routine, nullptr);
  EXPECT_EQ(driver.DeviceObject, nullptr);
}

}  // namespace
