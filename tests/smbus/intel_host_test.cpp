// The Intel back-end against its host controller model: a controller that
// never leaves busy, the error bits that decide a transfer, and setting up.
#include <vector>

#include "smbus/intel.h"
#include "support/smbus_fixture.h"

namespace {

using testsupport::SmbusBoardTest;

class IntelHostTest : public SmbusBoardTest {};

TEST_F(IntelHostTest, StuckBusyWaitsEndAfterTheirPollLimitAndTheErrorBitsDecide) {
  Boot("ich5");
  struct Case {
    uint8_t errorBits;
    int32_t wordResult;
    uint32_t hwStatus;
  };
  for (const Case c : {Case{0x00, 0, 0}, Case{0x04, -1, 0x05}, Case{0x10, -1, 0x11}}) {
    SCOPED_TRACE(int(c.errorBits));
    models_.intelHost->SetStuckBusy(true, c.errorBits);
    const uint32_t base = models_.intelHost->IoBase();
    uint64_t start = machine_.NowMs();
    EXPECT_EQ(intel::WaitForBusReady(base) & 0x01, 0x01);
    EXPECT_EQ(machine_.NowMs() - start, 3000u);

    OpStatus status = Fresh();
    uint16_t word = 0;
    start = machine_.NowMs();
    const uint64_t transactions = models_.intelHost->Transactions();
    EXPECT_EQ(intel::ReadWord(controller_->Context, &status, 0x50, 0, &word), c.wordResult);
    // Two idle waits of 3000 polls each around the 1 ms read settle time.
    EXPECT_EQ(machine_.NowMs() - start, 6001u);
    EXPECT_EQ(word, 0xCACA) << "the data registers hold the filler";
    EXPECT_EQ(models_.intelHost->Transactions(), transactions) << "a busy host starts nothing";
    EXPECT_EQ(status.HwCode, c.wordResult == 0 ? 0u : OpError::ReadWordFailed);
    if (c.wordResult != 0) {
      EXPECT_EQ(status.HwDetail[0], c.hwStatus);
    }

    start = machine_.NowMs();
    EXPECT_EQ(intel::WriteByte(controller_->Context, &status, 0x50, 74, 0x11), c.wordResult);
    EXPECT_EQ(machine_.NowMs() - start, 6100u);  // the write settles 100 ms

    models_.intelHost->SetStuckBusy(false);
    // Once the host recovers, so does the bus.
    std::vector<uint8_t> data(32);
    OpStatus ok = Fresh();
    EXPECT_EQ(ReadSpdBlock(controller_, &ok, 0, data.data(), 0, 32), 32u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
  }
}

TEST_F(IntelHostTest, EveryTransferLeavesTheHostStatusClear) {
  Boot("ich4-mixed");
  struct Case {
    uint8_t slot;
    uint32_t count;
  };
  // Slot 0 answers; slot 1 is empty, so its transfers end in a device error.
  for (const Case c : {Case{0, 2}, Case{0, 1}, Case{1, 2}, Case{1, 1}}) {
    uint8_t data[2];
    OpStatus status = Fresh();
    ReadSpdBlock(controller_, &status, c.slot, data, 0, c.count);
    EXPECT_EQ(models_.intelHost->StatusRegister(), 0x00) << int(c.slot) << " " << c.count;
  }
  for (uint8_t slot : {0, 1}) {
    OpStatus status = Fresh();
    ProbeSpdWrite(controller_, &status, slot);
    EXPECT_EQ(models_.intelHost->StatusRegister(), 0x00) << int(slot);
  }
}

TEST_F(IntelHostTest, AcquireWithoutPoolMemoryLeavesTheControllerAsItWas) {
  machine_.FailAllocation(1);
  SmbusController controller{};
  controller.Segment = 7;
  EXPECT_EQ(intel::AcquireDevice(&controller, 0x400, 1), -1);
  EXPECT_EQ(controller.Context, nullptr);
  EXPECT_EQ(controller.ReadWord, nullptr);
  EXPECT_EQ(controller.ReleaseDevice, nullptr);
  EXPECT_EQ(controller.Segment, 7u);
}

TEST_F(IntelHostTest, AcquireClearsLeftoverStatusBits) {
  UseBoard("ich5");
  // A transfer the firmware left behind with its device-error bit.
  machine_.Out8(0x404, 0xAF);  // slot 7 is empty
  machine_.Out8(0x402, 0x48);
  machine_.Delay(5);
  ASSERT_EQ(machine_.In8(0x400), 0x04);
  SmbusController controller{};
  ASSERT_EQ(intel::AcquireDevice(&controller, 0x400, 1), 0);
  EXPECT_EQ(machine_.In8(0x400), 0x00);
  controller.ReleaseDevice(controller.Context);
}

}  // namespace
