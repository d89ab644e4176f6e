// Start-up and unload: every failure on the way up leaves nothing behind
// (devices, links, threads, pool), and each load starts from cleared
// discovery results.
#include <gtest/gtest.h>

#include <optional>

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::Words;

constexpr NtStatus kLinkRefused = static_cast<NtStatus>(0xC0000022u);  // access denied

struct StartFailure {
  const char* name;
  std::optional<host::Fault> fault;
  NtStatus faultStatus;
  bool controllerAllocationFails;
  bool linkExists;
  NtStatus expected;
  size_t threadsStarted;  // worker threads that ran (and must be gone)
};

const StartFailure kStartFailures[] = {
    {"discovery_without_controller", std::nullopt, 0, true, false, STATUS_UNSUCCESSFUL, 0},
    {"device_creation", host::Fault::CreateDevice, STATUS_INSUFFICIENT_RESOURCES, false, false,
     STATUS_UNSUCCESSFUL, 0},
    {"thread_creation", host::Fault::CreateThread, STATUS_INSUFFICIENT_RESOURCES, false, false,
     STATUS_UNSUCCESSFUL, 0},
    {"thread_reference", host::Fault::ReferenceThread, STATUS_INSUFFICIENT_RESOURCES, false,
     false, STATUS_UNSUCCESSFUL, 1},
    {"link_creation", host::Fault::CreateLink, kLinkRefused, false, false, kLinkRefused, 1},
    {"link_exists", std::nullopt, 0, false, true, STATUS_OBJECT_NAME_COLLISION, 1},
};

class StartFailureTest : public DriverTest,
                         public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, LeavesNothingBehind) {
  const StartFailure& c = GetParam();
  UseBoard("ich5");
  if (c.fault) host::FailNext(*c.fault, c.faultStatus);
  if (c.controllerAllocationFails) machine_.FailAllocation(1, sim::PoolType::Paged);
  if (c.linkExists) {
    ASSERT_EQ(io_.AddForeignLink(kLinkName, u"\\Device\\other"), STATUS_SUCCESS);
  }
  const size_t threadsBefore = host::ThreadsCreated();

  EXPECT_EQ(io_.Load(&DriverEntry), c.expected);
  EXPECT_FALSE(io_.Loaded());
  EXPECT_EQ(io_.DeviceCount(), 0u);
  EXPECT_EQ(io_.LinkCount(), c.linkExists ? 1u : 0u);
  EXPECT_EQ(host::ThreadsCreated() - threadsBefore, c.threadsStarted);
  EXPECT_EQ(host::LiveThreadObjects(), 0u);
  EXPECT_EQ(machine_.LeakReport(), "");
  // The fault was the one that struck.
  NtStatus unused;
  if (c.fault) {
    EXPECT_FALSE(host::TakeFault(*c.fault, &unused));
  }
  EXPECT_EQ(io_.Open(kLinkName).Device, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, StartFailureTest, ::testing::ValuesIn(kStartFailures),
                         [](const auto& info) { return std::string(info.param.name); });

class LifecycleTest : public DriverTest {};

TEST_F(LifecycleTest, LoadCreatesTheDeviceAndLinkAndUnloadRemovesThem) {
  LoadOn("ich5");
  EXPECT_TRUE(io_.HasDevice(kDeviceName));
  EXPECT_TRUE(io_.HasLink(kLinkName));
  EXPECT_EQ(device_->DeviceType, kDimmioDeviceType);
  EXPECT_EQ(host::LiveThreadObjects(), 1u);
  io_.Unload();
  EXPECT_FALSE(io_.HasDevice(kDeviceName));
  EXPECT_FALSE(io_.HasLink(kLinkName));
  EXPECT_EQ(host::LiveThreadObjects(), 0u);
  EXPECT_EQ(machine_.LeakReport(), "");
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
  EXPECT_EQ(ChipsetInfo.Reserved, 0u);
  EXPECT_EQ(ChipsetInfo.VendorId, 0u);
}

TEST_F(LifecycleTest, QueueEntryExhaustionRefusesTheRequestAtOnce) {
  LoadOn("nosmbus");
  machine_.FailAllocation(1, sim::PoolType::NonPaged);
  const host::RequestResult refused = Send(IOCTL_READ_SPD, {0, 0}, 80);
  EXPECT_EQ(refused.Returned, STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(refused.Status, STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(refused.Information, 0u);
  // The next one is queued as usual.
  const host::RequestResult served = Send(IOCTL_READ_SPD, {0, 0}, 80);
  EXPECT_EQ(served.Status, STATUS_SUCCESS);
  EXPECT_EQ(served.Information, 76u);
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
