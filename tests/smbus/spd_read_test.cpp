// SPD blocks read end to end: discovery builds the Intel controller, the
// transfers go through the host register model to the EEPROM models, and what
// comes back is compared with what the board's modules hold.
#include <vector>

#include "sim/models/spd_eeprom.h"
#include "support/smbus_fixture.h"

namespace {

using testsupport::SmbusBoardTest;

class SpdReadTest : public SmbusBoardTest {
 protected:
  std::vector<uint8_t> Read(uint8_t slot, uint8_t offset, uint32_t count, OpStatus& status,
                            uint32_t& done) {
    std::vector<uint8_t> data(count + 2, 0x5A);
    done = ReadSpdBlock(controller_, &status, slot, data.data(), offset, count);
    return data;
  }

  static std::vector<uint8_t> Expected(const std::array<uint8_t, 256>& image, uint8_t offset,
                                       uint32_t count) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < count; ++i) out.push_back(image[(offset + i) & 0xFF]);
    return out;
  }
};

struct BlockCase {
  uint8_t offset;
  uint32_t count;
};

TEST_F(SpdReadTest, BlocksReadBackByteForByteAtAnyOffsetAndCount) {
  Boot("ich5");
  const BlockCase cases[] = {
      {0, 256}, {0, 128}, {0, 1}, {0, 3}, {1, 2}, {7, 63}, {73, 18},
      {0xFE, 4},  // wraps: words at 0xFE and 0x00
      {0xFF, 2},  // a word at 0xFF takes its high byte from offset 0
      {0xFD, 5}, {0x80, 255}, {0x10, 0},
  };
  for (uint8_t slot = 0; slot < 4; ++slot) {
    for (const BlockCase& c : cases) {
      OpStatus status = Fresh();
      uint32_t done = 0;
      std::vector<uint8_t> data = Read(slot, c.offset, c.count, status, done);
      SCOPED_TRACE(testing::Message() << "slot " << int(slot) << " offset " << int(c.offset)
                                      << " count " << c.count);
      ASSERT_EQ(done, c.count);
      EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + c.count),
                Expected(Image(0, slot), c.offset, c.count));
      EXPECT_EQ(data[c.count], 0x5A) << "wrote past the block";
      EXPECT_EQ(status.Code, 0u);
      EXPECT_EQ(status.HwCode, 0u);
    }
  }
}

TEST_F(SpdReadTest, EveryPopulatedSlotOfEveryIntelBoardReadsBackItsImage) {
  for (const char* name : {"ich5", "piix4", "ich4-mixed"}) {
    SCOPED_TRACE(name);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    const sim::BoardModels models = sim::Build(*sim::FindBoard(name), machine);
    OpStatus status = Fresh();
    ChipsetInfoRecord info{};
    uint32_t count = 0;
    SmbusController* c = DiscoverChipset(&status, &info, table_, &count);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->Unavailable, 0u);
    for (uint8_t slot = 0; slot < 8; ++slot) {
      const sim::SpdEeprom* eeprom = models.eeproms[0][slot];
      std::vector<uint8_t> data(256);
      OpStatus s = Fresh();
      const uint32_t done = ReadSpdBlock(c, &s, slot, data.data(), 0, 256);
      if (eeprom == nullptr) {
        EXPECT_EQ(done, 0u) << "empty slot " << int(slot);
        EXPECT_EQ(s.Code, OpError::SpdBlockRead);
      } else {
        EXPECT_EQ(done, 256u);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom->Bytes().begin()))
            << "slot " << int(slot);
      }
    }
    ReleaseController(c);
    EXPECT_EQ(machine.LeakReport(), "");
  }
}

TEST_F(SpdReadTest, EmptySlotFailsTheFirstTransferWithTheDeviceErrorStatus) {
  Boot("ich4-mixed");
  struct Case {
    uint8_t slot, offset;
    uint32_t count, hwCode;
  };
  for (const Case c : {Case{1, 0, 16, OpError::ReadWordFailed},
                       Case{2, 5, 1, OpError::ReadByteFailed},   // an odd count of 1: a byte read
                       Case{7, 0xFF, 3, OpError::ReadWordFailed}}) {
    OpStatus status = Fresh();
    uint32_t done = 99;
    Read(c.slot, c.offset, c.count, status, done);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(status.Code, OpError::SpdBlockRead);
    EXPECT_EQ(status.DetailCount, 0u);
    EXPECT_EQ(status.HwCode, c.hwCode);
    EXPECT_EQ(status.HwDetailCount, 1u);
    // The status as ICH reports it: the device error, and the semaphore the
    // access holds until the status is written back.
    EXPECT_EQ(status.HwDetail[0], sim::IntelSmbusHost::kDeviceError | sim::IntelSmbusHost::kInUse);
  }
}

TEST_F(SpdReadTest, SlaveThatStopsAnsweringMidBlockGivesTheBytesBeforeIt) {
  Boot("ich5");
  struct Case {
    uint32_t answers;
    uint32_t count;
    uint32_t expectDone;
    uint32_t expectHwCode;
  };
  const Case cases[] = {
      {0, 8, 0, OpError::ReadWordFailed},
      {1, 8, 2, OpError::ReadWordFailed},
      {3, 8, 6, OpError::ReadWordFailed},
      {4, 9, 8, OpError::ReadByteFailed},  // the odd last byte is the one refused
      {100, 256, 200, OpError::ReadWordFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    models_.eeproms[0][2]->StopAnsweringAfter(c.answers);
    OpStatus status = Fresh();
    uint32_t done = 0;
    std::vector<uint8_t> data = Read(2, 0x10, c.count, status, done);
    EXPECT_EQ(done, c.expectDone);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + done),
              Expected(Image(0, 2), 0x10, done));
    EXPECT_EQ(status.Code, OpError::SpdBlockRead);
    EXPECT_EQ(status.HwCode, c.expectHwCode);
    EXPECT_EQ(status.HwDetailCount, 1u);
    // The status as ICH reports it: the device error, and the semaphore the
    // access holds until the status is written back.
    EXPECT_EQ(status.HwDetail[0], sim::IntelSmbusHost::kDeviceError | sim::IntelSmbusHost::kInUse);
    // The host recovers: the next slot reads normally.
    OpStatus next = Fresh();
    uint32_t nextDone = 0;
    std::vector<uint8_t> other = Read(3, 0, 64, next, nextDone);
    EXPECT_EQ(nextDone, 64u);
    EXPECT_EQ(std::vector<uint8_t>(other.begin(), other.begin() + 64), Expected(Image(0, 3), 0, 64));
    models_.eeproms[0][2]->StopAnsweringAfter(1000000);
  }
}

TEST_F(SpdReadTest, UnavailableControllerTouchesNoPort) {
  Boot("nosmbus");
  ASSERT_NE(controller_->Unavailable, 0u);
  const uint64_t before = machine_.PortAccesses();
  OpStatus status = Fresh();
  uint32_t done = 99;
  Read(0, 0, 256, status, done);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(status.Code, OpError::ControllerUnavailable);
  EXPECT_EQ(status.DetailCount, 0u);
  EXPECT_EQ(status.HwCode, 0u);
  controller_->Segment = 1;
  OpStatus probe = Fresh();
  EXPECT_EQ(ProbeSpdWrite(controller_, &probe, 0), -1);
  EXPECT_EQ(probe.Code, OpError::ControllerUnavailable);
  EXPECT_EQ(machine_.PortAccesses(), before);
}

// A word read is 48 bit times on the wire: 0.48 ms at ICH's 100 kHz, done by
// the first poll after the 1 ms settle; 3 ms at PIIX4's slower clock, where
// the first poll still sees the host busy and the idle wait polls on.
TEST_F(SpdReadTest, ReadTakesTheSettleTimeOrTheBusTimeWhicheverIsLonger) {
  struct Case {
    const char* board;
    uint32_t busHz;  // 0: the host's own clock
    uint64_t msPerWord;
  };
  for (const Case c : {Case{"ich5", 0, 1}, Case{"piix4", 0, 3}, Case{"ich5", 10000, 5},
                       Case{"ich5", 1000000, 1}}) {
    SCOPED_TRACE(testing::Message() << c.board << " at " << c.busHz << " Hz");
    sim::Machine machine;
    sim::AttachScope attach(machine);
    const sim::BoardModels models = sim::Build(*sim::FindBoard(c.board), machine);
    if (c.busHz != 0) models.intelHost->SetBusClockHz(c.busHz);
    OpStatus status = Fresh();
    SmbusController* controller = DiscoverChipset(&status, &info_, table_, &count_);
    ASSERT_NE(controller, nullptr);
    std::vector<uint8_t> data(16);
    const uint64_t start = machine.NowMs();
    EXPECT_EQ(ReadSpdBlock(controller, &status, 1, data.data(), 0, 16), 16u);
    EXPECT_EQ(data, Expected(models.eeproms[0][1]->Bytes(), 0, 16));
    EXPECT_EQ(machine.NowMs() - start, 8 * c.msPerWord);
    ReleaseController(controller);
  }
}

}  // namespace
