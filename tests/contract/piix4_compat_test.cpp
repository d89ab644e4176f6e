// The ServerWorks and ATI/AMD hosts that firmware shares: a read leaves the
// port select, the power-management index and the semaphore as it found
// them and never starts a transfer without the semaphore; firmware that
// holds the host delays a read, or, holding it for ever, fails it with its
// own hardware code until it lets go; a host the BIOS disabled is found out
// through the power-management registers alone.
#include <set>

#include "contract_test.h"

namespace contract {
namespace {

constexpr uint32_t kHostHeldByFirmware = 32;
constexpr uint64_t kSemaphoreTries = 500;  // 1 ms apart

struct SharedHost {
  const char* board;
  uint64_t firmwareHoldsMs;  // from power-on
};

void PrintTo(const SharedHost& c, std::ostream* os) { *os << c.board; }

class SharedHostTest : public ContractTest, public ::testing::WithParamInterface<SharedHost> {
 protected:
  void SetUp() override { LoadOn(GetParam().board); }

  Reply ReadSlot() {
    return Send(IOCTL_READ_SPD, {board_->smbus->segment0.front().slot, 0}, 76 + 256);
  }
  bool ReadsTheModule(const Reply& reply) {
    const sim::SpdEeprom* eeprom = models_.eeproms[0][board_->smbus->segment0.front().slot];
    return reply.information == 76 + 256 && WordAt(reply.output, kOpCode) == 0 &&
           std::equal(reply.output.begin() + 76, reply.output.end(), eeprom->Bytes().begin());
  }
};

TEST_P(SharedHostTest, AReadLeavesPortIndexAndSemaphoreAsFirmwareLeftThem) {
  sim::Piix4CompatHost& host = *models_.Host<sim::Piix4CompatHost>();
  const sim::AmdPmRegisters& pm = *models_.amdPm;
  std::array<uint8_t, 256> registers;
  for (int r = 0; r < 256; ++r) registers[r] = pm.Reg(static_cast<uint8_t>(r));
  const uint8_t index = pm.Index();
  const uint8_t port = host.SelectedPort();

  EXPECT_TRUE(ReadsTheModule(ReadSlot()));
  EXPECT_GE(machine_.NowMs(), GetParam().firmwareHoldsMs) << "the read waited for firmware";
  EXPECT_EQ(host.SelectedPort(), port);
  EXPECT_EQ(pm.Index(), index);
  for (int r = 0; r < 256; ++r) EXPECT_EQ(pm.Reg(static_cast<uint8_t>(r)), registers[r]) << r;
  EXPECT_FALSE(host.HostOwnsSemaphore()) << "released after the transfers";
  EXPECT_EQ(host.StartsWithoutSemaphore(), 0u);
}

TEST_P(SharedHostTest, FirmwareThatNeverLetsGoFailsTheReadAndTheNextOneAfterReleaseReads) {
  sim::Piix4CompatHost& host = *models_.Host<sim::Piix4CompatHost>();
  ASSERT_TRUE(ReadsTheModule(ReadSlot()));  // past any hold at power-on
  host.FirmwareHoldsUntil(sim::Piix4CompatHost::kForever);
  const sim::SpdEeprom* eeprom = models_.eeproms[0][board_->smbus->segment0.front().slot];
  const uint64_t transfers = eeprom->Transfers();
  const uint8_t port = host.SelectedPort();
  const uint64_t start = machine_.NowMs();

  const Reply held = ReadSlot();
  EXPECT_EQ(held.status, STATUS_SUCCESS);
  ASSERT_EQ(held.information, 76u);
  EXPECT_EQ(WordAt(held.output, kOpCode), kSpdBlockRead);
  EXPECT_EQ(WordAt(held.output, kOpHwCode), kHostHeldByFirmware);
  EXPECT_EQ(WordAt(held.output, kOpHwDetailCount), 1u);
  EXPECT_EQ(WordAt(held.output, kOpHwDetail) & sim::Piix4CompatHost::kTake, 0u);
  const uint64_t waited = machine_.NowMs() - start;
  EXPECT_GE(waited, kSemaphoreTries - 1);
  // Under Windows' clock a 1 ms wait ends on the second tick of the finest
  // resolution (0.977 ms): up to twice the tries in milliseconds.
  EXPECT_LE(waited, 2 * kSemaphoreTries + 10);
  EXPECT_EQ(eeprom->Transfers(), transfers) << "nothing started on firmware's host";
  EXPECT_EQ(host.SelectedPort(), port);
  EXPECT_EQ(host.StartsWithoutSemaphore(), 0u);

  host.FirmwareHoldsUntil(0);
  EXPECT_TRUE(ReadsTheModule(ReadSlot()));
}

INSTANTIATE_TEST_SUITE_P(Boards, SharedHostTest,
                         ::testing::Values(SharedHost{"sb800", 0}, SharedHost{"hudson2", 0},
                                           SharedHost{"fch790b", 0},
                                           SharedHost{"sb800-fw-hold", 40}),
                         [](const ::testing::TestParamInfo<SharedHost>& info) {
                           return TestName(info.param.board);
                         });

// The disabled host is found out by reading the power-management registers
// through their index and data ports; nothing else is touched, then or later,
// and the index port is left as it was.
TEST_F(ContractTest, DisabledSharedHostIsUnavailableAfterThePowerManagementReadsAlone) {
  UseBoard("sb800-off");
  const uint8_t index = models_.amdPm->Index();
  machine_.SetTracing(true);
  ASSERT_EQ(driver_->Start(), STATUS_SUCCESS);
  started_ = true;
  const Reply read = Send(IOCTL_READ_SPD, {0, 0}, 76 + 8);
  ASSERT_EQ(read.information, 76u);
  EXPECT_EQ(WordAt(read.output, kOpCode), kUnavailable);
  std::set<uint32_t> ports;
  for (const sim::TraceEntry& e : machine_.Trace()) {
    if (e.kind != sim::Access::ConfigRead && e.kind != sim::Access::ConfigWrite)
      ports.insert(e.where);
  }
  EXPECT_EQ(ports, (std::set<uint32_t>{0xCD6, 0xCD7}));
  EXPECT_EQ(models_.amdPm->Index(), index);
}

}  // namespace
}  // namespace contract
