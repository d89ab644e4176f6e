// Start-up: a link someone else made fails the load, the device is made for
// secure opens, a second load starts from scratch and looks for the SMBIOS
// table again, and a failed scan mapping reaches the count reply.
#include "contract_test.h"
#include "sim/smbios_builder.h"

namespace contract {
namespace {

class LifecycleTest : public ContractTest {};

TEST_F(LifecycleTest, AnExistingLinkFailsTheLoadWithTheCollision) {
  UseBoard("ich5");
  driver_->AddForeignLink();
  EXPECT_EQ(driver_->Start(), STATUS_OBJECT_NAME_COLLISION);
  EXPECT_FALSE(driver_->HasDevice());
  driver_->RemoveForeignLink();
}

// Opens of the device, and of any name below it, are checked against the
// device's security: without it any local user could open
// \\.\dimmio\anything for writing and send the write probe, the segment
// switch and the PCI requests.
TEST_F(LifecycleTest, TheDeviceIsCreatedForSecureOpens) {
  constexpr uint32_t kFileDeviceSecureOpen = 0x00000100;
  LoadOn(sim::kUnsupportedChipsetBoard);
  EXPECT_EQ(driver_->DeviceCharacteristics(), kFileDeviceSecureOpen);
}

TEST_F(LifecycleTest, ASecondLoadStartsFromClearedDiscoveryAndFindsTheTableAgain) {
  LoadOn(sim::kUnsupportedChipsetBoard);
  EXPECT_TRUE(driver_->HasDevice());
  EXPECT_TRUE(driver_->HasLink());
  const uint32_t first = WordAt(Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4).output, 0);
  EXPECT_EQ(Send(IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80).output[0], 0u) << "no table yet";
  UnloadNow();
  EXPECT_FALSE(driver_->HasDevice());
  EXPECT_FALSE(driver_->HasLink());

  sim::InstallSmbios(machine_, sim::FindBoard("ich5")->smbios);
  ASSERT_EQ(driver_->Start(), STATUS_SUCCESS);
  started_ = true;
  EXPECT_EQ(WordAt(Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4).output, 0), first);
  EXPECT_EQ(Send(IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80).output[0], 8u);
  EXPECT_EQ(Send(IOCTL_GET_MEMORY_MODULE_COUNT, {}, 80).output[0], 6u);
}

// The scan of the BIOS area cannot be mapped: the count reply says so, with
// the range it tried.
TEST_F(LifecycleTest, AFailedScanMappingReachesTheCountReply) {
  constexpr uint32_t kSmbiosScanMap = 33;
  machine_.FailMapAt(0xF0000);
  LoadOn("ich5");
  const Reply r = Send(IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80);
  ASSERT_EQ(r.information, 80u);
  EXPECT_EQ(r.output[0], 0u);
  EXPECT_EQ(WordAt(r.output, 4 + 4), kSmbiosScanMap);
  EXPECT_EQ(std::vector<uint32_t>(
                {WordAt(r.output, 4 + 8), WordAt(r.output, 4 + 12), WordAt(r.output, 4 + 16)}),
            std::vector<uint32_t>({2, 0xF0000, 0x10000}));
}

}  // namespace
}  // namespace contract
