// Only SYSTEM and administrators open the device, by any of its names; a
// read-only handle gets the writing requests refused before the driver; no
// caller queues more than its share.
#include "contract_test.h"

namespace contract {
namespace {

using host::Caller;
constexpr uint32_t kRead = host::kGenericRead;
constexpr uint32_t kReadWrite = host::kGenericRead | host::kGenericWrite;
const std::u16string kLink = u"\\??\\dimmio";
const std::u16string kDevice = u"\\Device\\dimmio0";

class AccessTest : public ContractTest {};

TEST_F(AccessTest, OnlySystemAndAdministratorsOpenTheDeviceByAnyName) {
  const struct {
    Caller caller;
    std::u16string name;
    uint32_t access;
    int32_t expected;
  } rows[] = {
      {Caller::StandardUser, kLink, kRead, host::kStatusAccessDenied},
      {Caller::StandardUser, kLink, kReadWrite, host::kStatusAccessDenied},
      {Caller::StandardUser, kDevice, kReadWrite, host::kStatusAccessDenied},
      {Caller::StandardUser, kLink + u"\\x", kReadWrite, host::kStatusAccessDenied},
      {Caller::FilteredAdministrator, kLink, kRead, host::kStatusAccessDenied},
      {Caller::FilteredAdministrator, kLink, kReadWrite, host::kStatusAccessDenied},
      {Caller::Administrator, kLink, kReadWrite, STATUS_SUCCESS},
      {Caller::Administrator, kDevice, kRead, STATUS_SUCCESS},
      {Caller::System, kLink, kReadWrite, STATUS_SUCCESS},
      // The device has no names below it.
      {Caller::Administrator, kDevice + u"\\x", kReadWrite, STATUS_OBJECT_NAME_NOT_FOUND},
      {Caller::System, kLink + u"\\x", kRead, STATUS_OBJECT_NAME_NOT_FOUND},
  };
  LoadOn("ich5");
  for (const auto& row : rows) {
    DriverUnderTest::Handle handle;
    EXPECT_EQ(driver_->Open(row.name, row.caller, row.access, &handle), row.expected)
        << static_cast<int>(row.caller) << " " << std::string(row.name.begin(), row.name.end());
  }
}

// Before its DACL is set the device has Windows' default security, which
// lets any user in: in that window the device is still initialising (a flag
// of the device object, which the driver leaves to the I/O manager), so its
// name opens for nobody, and the link, through which the tool finds it, does
// not exist yet. Until the entry routine has returned nobody gets in.
TEST_F(AccessTest, AnOpenWhileTheDriverStartsIsRefused) {
  using Point = DriverUnderTest::StartPoint;
  const int32_t kNoName = STATUS_OBJECT_NAME_NOT_FOUND;
  const struct {
    Point point;
    std::u16string name;
    Caller caller;
    int32_t expected;
  } rows[] = {
      {Point::BeforeSecurity, kLink, Caller::StandardUser, kNoName},
      {Point::BeforeSecurity, kLink + u"\\x", Caller::StandardUser, kNoName},
      {Point::BeforeSecurity, kDevice, Caller::StandardUser, host::kStatusNoSuchDevice},
      {Point::BeforeSecurity, kDevice + u"\\x", Caller::StandardUser, host::kStatusNoSuchDevice},
      {Point::AtLinkCreation, kDevice, Caller::StandardUser, host::kStatusNoSuchDevice},
      {Point::AtLinkCreation, kDevice, Caller::System, host::kStatusNoSuchDevice},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << (row.point == Point::BeforeSecurity ? "before the DACL " : "at the link ")
                 << std::string(row.name.begin(), row.name.end()));
    Rig rig("ich5");
    EXPECT_EQ(rig.driver->OpenWhileStarting(row.point, row.name, row.caller), row.expected);
    EXPECT_TRUE(rig.driver->Unload());
    rig.Done();
  }
}

TEST_F(AccessTest, AReadOnlyHandleGetsTheWritingRequestsRefusedBeforeTheDriver) {
  const struct {
    uint32_t code;
    std::vector<uint8_t> input;
    uint32_t outputLength;
    bool writes;  // its code asks for write access
  } rows[] = {
      {IOCTL_READ_SPD, {0, 0}, kSpdDataOffset + 256, false},
      {IOCTL_PROBE_SPD_WRITE, {0}, kProbeReplySize, true},
      {IOCTL_GET_MEMORY_SLOT_COUNT, {}, kCountReplySize, false},
      {IOCTL_GET_MEMORY_MODULE_COUNT, {}, kCountReplySize, false},
      {IOCTL_SET_SEGMENT, Words({0}), kSegmentReplySize, true},
      {IOCTL_GET_CHIPSET_INFO, {}, kChipsetInfoSize, false},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({4}), 4 * kPciRecordSize, true},
      {IOCTL_GET_PCI_DEVICE_COUNT, {}, kPciDeviceCountSize, false},
      {IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), kPciConfigSize, true},
      {IOCTL_GET_SYSTEM_INFO, {}, kSystemInfoSize, false},
  };
  LoadOn("ich5");
  DriverUnderTest::Handle full, readOnly;
  ASSERT_EQ(driver_->Open(kLink, Caller::Administrator, kReadWrite, &full), STATUS_SUCCESS);
  ASSERT_EQ(driver_->Open(kLink, Caller::Administrator, kRead, &readOnly), STATUS_SUCCESS);
  for (const auto& row : rows) {
    for (const bool writable : {true, false}) {
      const uint64_t before = driver_->Dispatched();
      const Reply r = driver_->Wait(
          driver_->SubmitOn(writable ? full : readOnly, row.code, row.input, row.outputLength));
      const bool refused = row.writes && !writable;
      EXPECT_EQ(r.status, refused ? host::kStatusAccessDenied : STATUS_SUCCESS)
          << std::hex << row.code << " writable " << writable;
      EXPECT_EQ(driver_->Dispatched() - before, refused ? 0u : 1u) << std::hex << row.code;
      EXPECT_TRUE(!refused || r.information == 0) << std::hex << row.code;
    }
  }
}

// The DACL is set on every kernel: through a handle of the kernel's own
// table where the kernel has one (5.0 on), through the system process's
// table on NT 4.0, which refuses the attribute (the loader's kernel faults
// either mistake).
TEST_F(AccessTest, TheDaclIsSetOnEveryKernelVersion) {
  const uint32_t versions[][3] = {
      {4, 0, 1381}, {5, 0, 2195}, {5, 1, 2600}, {6, 1, 7601}, {10, 0, 19045}};
  for (const auto& v : versions) {
    SCOPED_TRACE(testing::Message() << v[0] << "." << v[1] << "." << v[2]);
    Rig rig("ich5");
    rig.driver->ReportKernelVersion(v[0], v[1], v[2]);
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(rig.driver->DeviceDacl(),
              (std::vector<host::Ace>{{host::kAccessAllowedAce, 0x001F01FF, "S-1-5-18"},
                                      {host::kAccessAllowedAce, 0x001F01FF, "S-1-5-32-544"}}));
    rig.Done();
  }
}

// Behind a busy worker: 16 a handle, 64 in all; past either the request is
// refused at once, and everything queued is still served.
TEST_F(AccessTest, RequestsPastTheQueueBoundsAreRefused) {
  LoadOn("ich5");
  std::vector<DriverUnderTest::Handle> handles(5);
  for (auto& h : handles) h = OpenHandle();
  machine_.HoldNext(sim::Access::ConfigRead);
  const auto busy =
      driver_->SubmitOn(handles[4], IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 256);
  ASSERT_TRUE(machine_.WaitHeld()) << "the request never reached the held access";
  auto count = [&](size_t h) {
    return driver_->SubmitOn(handles[h], IOCTL_GET_MEMORY_SLOT_COUNT, {}, kCountReplySize);
  };
  auto refusedAtOnce = [&](DriverUnderTest::Ticket t) {
    return driver_->Completed(t) && driver_->Wait(t).status == STATUS_INSUFFICIENT_RESOURCES;
  };
  std::vector<DriverUnderTest::Ticket> queued;
  for (size_t h = 0; h < 4; ++h) {
    for (int i = 0; i < 16; ++i) queued.push_back(count(h));
    if (h == 0) queued.push_back(count(0));
  }
  queued.push_back(count(4));
  EXPECT_TRUE(refusedAtOnce(queued[16])) << "the 17th of one handle";
  EXPECT_TRUE(refusedAtOnce(queued.back())) << "the 65th in all";
  queued.erase(queued.begin() + 16);
  queued.pop_back();
  machine_.ReleaseHeld();
  EXPECT_EQ(driver_->Wait(busy).status, STATUS_SUCCESS);
  for (auto t : queued) EXPECT_EQ(driver_->Wait(t).status, STATUS_SUCCESS);
}

}  // namespace
}  // namespace contract
