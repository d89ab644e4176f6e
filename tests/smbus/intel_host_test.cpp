// The Intel back-end against its host controller model: a controller that
// never leaves busy, what the status register holds after each step
// (including ICH's INUSE_STS semaphore), setting up, and bases that must not
// be used.
#include <vector>

#include "smbus/intel.h"
#include "support/smbus_fixture.h"

namespace {

using sim::IntelSmbusHost;
using testsupport::SmbusBoardTest;

class IntelHostTest : public SmbusBoardTest {};

// What the status reads as from the back-end's side: ICH shows the semaphore
// its own polls took.
uint8_t AsRead(const sim::BoardModels& models, uint8_t bits) {
  return models.intelHost->Family() == sim::IntelHostFamily::Ich
             ? static_cast<uint8_t>(bits | IntelSmbusHost::kInUse)
             : bits;
}

struct StuckCase {
  const char* board;
  uint8_t errorBits;
};

TEST_F(IntelHostTest, AHostThatStaysBusyStartsNothingAndFailsTheTransfer) {
  for (const StuckCase c : {StuckCase{"ich5", 0x00}, StuckCase{"ich5", 0x04},
                            StuckCase{"piix4", 0x00}, StuckCase{"piix4", 0x10}}) {
    SCOPED_TRACE(testing::Message() << c.board << " error bits " << int(c.errorBits));
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::BoardModels models;
    SmbusController* controller = BootOn(machine, *sim::FindBoard(c.board), &models);
    ASSERT_NE(controller, nullptr);
    models.intelHost->SetStuckBusy(true, c.errorBits);
    const uint8_t stuck = AsRead(models, static_cast<uint8_t>(0x01 | c.errorBits));
    const uint64_t transactions = models.intelHost->Transactions();

    OpStatus status = Fresh();
    uint16_t word = 0x1234;
    uint64_t start = machine.NowMs();
    EXPECT_EQ(intel::ReadWord(controller->Context, &status, 0x50, 0, &word), -1);
    EXPECT_EQ(machine.NowMs() - start, 3000u) << "one idle wait of 3000 polls, then nothing";
    EXPECT_EQ(word, 0x1234) << "no data from a transfer that never ran";
    EXPECT_EQ(status.HwCode, OpError::ReadWordFailed);
    EXPECT_EQ(status.HwDetail[0], stuck);

    OpStatus write = Fresh();
    EXPECT_EQ(intel::WriteByte(controller->Context, &write, 0x50, 74, 0x11), -1);
    EXPECT_EQ(write.HwCode, OpError::WriteByteFailed);
    EXPECT_EQ(models.intelHost->Transactions(), transactions) << "a busy host starts nothing";
    EXPECT_EQ(models.eeproms[0][0]->CommittedWrites(), 0u);

    // Once the host recovers, so does the bus.
    models.intelHost->SetStuckBusy(false);
    std::vector<uint8_t> data(32);
    OpStatus ok = Fresh();
    EXPECT_EQ(ReadSpdBlock(controller, &ok, 0, data.data(), 0, 32), 32u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), models.eeproms[0][0]->Bytes().begin()));
    ReleaseController(controller);
  }
}

// After start-up and after every transfer, answered or not, the status
// register is clear: no error bit left, and on ICH the semaphore handed back
// to the firmware that shares the host.
TEST_F(IntelHostTest, StartUpAndEveryTransferLeaveTheStatusClearAndTheSemaphoreFree) {
  for (const char* board : {"ich4-mixed", "piix4"}) {
    SCOPED_TRACE(board);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::BoardModels models;
    SmbusController* controller = BootOn(machine, *sim::FindBoard(board), &models);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(models.intelHost->StatusRegister(), 0x00) << "after start-up";
    // Slot 0 answers on both boards; slot 2 is empty on both.
    for (uint8_t slot : {0, 2}) {
      for (uint32_t count : {2u, 1u}) {
        uint8_t data[2];
        OpStatus status = Fresh();
        ReadSpdBlock(controller, &status, slot, data, 0, count);
        EXPECT_EQ(models.intelHost->StatusRegister(), 0x00) << "slot " << int(slot) << " count "
                                                            << count;
      }
      OpStatus status = Fresh();
      ProbeSpdWrite(controller, &status, slot);
      EXPECT_EQ(models.intelHost->StatusRegister(), 0x00) << "probe of slot " << int(slot);
    }
    ReleaseController(controller);
  }
}

TEST_F(IntelHostTest, AcquireWithoutPoolMemoryLeavesTheControllerAsItWas) {
  UseBoard("ich5");
  machine_.FailAllocation(1);
  SmbusController controller{};
  controller.Segment = 7;
  EXPECT_EQ(intel::AcquireDevice(&controller, 0x400, 1), -1);
  EXPECT_EQ(controller.Context, nullptr);
  EXPECT_EQ(controller.ReadWord, nullptr);
  EXPECT_EQ(controller.ReleaseDevice, nullptr);
  EXPECT_EQ(controller.Segment, 7u);
}

TEST_F(IntelHostTest, AcquireClearsWhatTheFirmwareLeftInTheStatus) {
  const sim::BoardModels models = sim::Build(*sim::FindBoard("ich5"), machine_);
  // A transfer the firmware left behind with its device-error bit, and an
  // alert a device raised.
  machine_.Out8(0x404, 0xAF);  // slot 7 is empty
  machine_.Out8(0x402, 0x48);
  machine_.Delay(5);
  models.intelHost->RaiseAlert();
  ASSERT_EQ(machine_.In8(0x400), 0x24);  // this read takes the semaphore
  ASSERT_EQ(machine_.In8(0x400), 0x64);
  SmbusController controller{};
  ASSERT_EQ(intel::AcquireDevice(&controller, 0x400, 1), 0);
  EXPECT_EQ(models.intelHost->StatusRegister(), 0x00) << "bits cleared, semaphore released";
  controller.ReleaseDevice(controller.Context);
}

// A base the firmware never programmed, or a block that would run past the
// last port, is no host: the controller is unavailable and no port is touched
// (port 0 is the DMA controller's).
TEST_F(IntelHostTest, AnUnusableBaseIsNotAcquiredAndNoPortIsTouched) {
  for (uint32_t base : {0u, 0xFFF8u, 0x10000u}) {
    SmbusController controller{};
    const uint64_t before = machine_.PortAccesses();
    EXPECT_EQ(intel::AcquireDevice(&controller, base, 1), -1) << base;
    EXPECT_EQ(controller.Context, nullptr);
    EXPECT_EQ(machine_.PortAccesses(), before) << base;
  }
}

}  // namespace
