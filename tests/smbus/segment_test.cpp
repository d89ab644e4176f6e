// Segment switching on the two Intel board variants: the board's switch is
// back where it was after every operation, whether the bus transfers
// succeeded or not (the contract suite reads both banks on every board).
#include <vector>

#include "sim/models/board_latch.h"
#include "sim/models/super_io.h"
#include "support/smbus_fixture.h"

namespace {

using testsupport::SmbusBoardTest;

class SegmentTest : public SmbusBoardTest {
 protected:
  uint8_t SwitchValue() {
    if (models_.superIo) return models_.superIo->Register(8, 0xF1);
    return models_.latch->Value();
  }
};

TEST_F(SegmentTest, TheSwitchIsRestoredAfterEveryOperation) {
  for (const char* board : {"ich5", "piix4"}) {
    SCOPED_TRACE(board);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    SmbusController* ctl = BootOn(machine, *sim::FindBoard(board), &models_);
    ASSERT_NE(ctl, nullptr);
    const uint8_t initial = SwitchValue();

    OpStatus status = Fresh();
    EXPECT_EQ(SetSegment(ctl, &status, 1), 0);
    std::vector<uint8_t> data(8);
    EXPECT_EQ(ReadSpdBlock(ctl, &status, 0, data.data(), 0, 8), 8u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(1, 0).begin()));
    EXPECT_EQ(SwitchValue(), initial);
    // A slot that is empty on the second bank fails, and still the switch returns.
    EXPECT_EQ(ReadSpdBlock(ctl, &status, 5, data.data(), 0, 4), 0u);
    EXPECT_EQ(status.Code, OpError::SpdBlockRead);
    EXPECT_EQ(SwitchValue(), initial);
    OpStatus probe = Fresh();
    EXPECT_EQ(ProbeSpdWrite(ctl, &probe, 6), -1);
    EXPECT_EQ(SwitchValue(), initial);
    ReleaseController(ctl);
    EXPECT_EQ(machine.LeakReport(), "");
  }
}

TEST_F(SegmentTest, SegmentsOtherThanOneTouchNoSwitchPort) {
  Boot("ich5");
  machine_.SetTracing(true);
  for (uint32_t segment : {0u, 2u, 3u, 0xFFFFFFFFu}) {
    OpStatus status = Fresh();
    SetSegment(controller_, &status, segment);
    std::vector<uint8_t> data(8);
    EXPECT_EQ(ReadSpdBlock(controller_, &status, 0, data.data(), 0, 8), 8u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
  }
  for (const sim::TraceEntry& e : machine_.Trace()) {
    EXPECT_TRUE(e.where != 0x2E && e.where != 0x2F && e.where != 0xE437) << std::hex << e.where;
  }
}

TEST_F(SegmentTest, SuperIoIgnoresASingleKey) {
  Boot("ich5");
  machine_.Out8(0x2E, 0x87);
  machine_.Out8(0x2E, 0x07);
  machine_.Out8(0x2F, 0x08);
  machine_.Out8(0x2E, 0xF1);
  machine_.Out8(0x2F, 0x18);
  EXPECT_FALSE(models_.superIo->InConfigMode());
  EXPECT_EQ(models_.superIo->Register(8, 0xF1), 0xC5);
}

}  // namespace
