// SPD data read through the driver is what the board's modules hold, on
// every board with an SMBus; an empty slot ends the read with the block-read
// failure in the status record.
#include "contract_test.h"

namespace contract {
namespace {

constexpr uint32_t kOpCode = 4;
constexpr uint32_t kSpdBlockRead = 14;

std::vector<std::string> BoardsWithSmbus() {
  std::vector<std::string> names;
  for (const sim::Board& board : sim::Boards()) {
    if (board.smbus.has_value() && !board.smbus->segment0.empty()) names.push_back(board.name);
  }
  return names;
}

class SpdTest : public ContractTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override { LoadOn(GetParam()); }
};

TEST_P(SpdTest, EveryModuleReadsAsTheBoardHoldsIt) {
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    const sim::SpdEeprom* eeprom = models_.eeproms[0][slot.slot];
    ASSERT_NE(eeprom, nullptr);
    const Reply reply = Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 256);
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    ASSERT_EQ(reply.information, 76u + 256) << "slot " << int(slot.slot);
    EXPECT_EQ(WordAt(reply.output, kOpCode), 0u);
    EXPECT_EQ(std::vector<uint8_t>(reply.output.begin() + 76, reply.output.end()),
              std::vector<uint8_t>(eeprom->Bytes().begin(), eeprom->Bytes().end()))
        << "slot " << int(slot.slot);
    // A word at the last offset takes its high byte from offset 0.
    const Reply wrap = Send(IOCTL_READ_SPD, {slot.slot, 0xFF}, 76 + 2);
    ASSERT_EQ(wrap.information, 76u + 2);
    EXPECT_EQ(wrap.output[76], eeprom->Bytes()[0xFF]);
    EXPECT_EQ(wrap.output[77], eeprom->Bytes()[0x00]);
  }
}

TEST_P(SpdTest, TheWriteProbeChangesEachModulesByte74AndPutsItBack) {
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    const sim::SpdEeprom* eeprom = models_.eeproms[0][slot.slot];
    const std::array<uint8_t, 256> before = eeprom->Bytes();
    const uint64_t writes = eeprom->CommittedWrites();
    const Reply reply = Send(IOCTL_PROBE_SPD_WRITE, {slot.slot}, 80);
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    ASSERT_EQ(reply.information, 80u);
    const bool writable = slot.eeprom.writeProtect == sim::WriteProtect::Off;
    EXPECT_EQ(WordAt(reply.output, 0), writable ? 1u : 0u) << "slot " << int(slot.slot);
    EXPECT_EQ(WordAt(reply.output, 4 + kOpCode), 0u);
    EXPECT_EQ(eeprom->Bytes(), before);
    EXPECT_EQ(eeprom->CommittedWrites() - writes, writable ? 2u : 0u);
  }
}

TEST_P(SpdTest, AnEmptySlotEndsTheReadWithTheBlockReadFailure) {
  uint8_t empty = 0;
  while (empty < 8 && models_.eeproms[0][empty] != nullptr) ++empty;
  if (empty == 8) GTEST_SKIP() << "every slot is populated";
  const Reply reply = Send(IOCTL_READ_SPD, {empty, 0}, 76 + 16);
  EXPECT_EQ(reply.status, STATUS_SUCCESS);
  ASSERT_EQ(reply.information, 76u);
  EXPECT_EQ(WordAt(reply.output, kOpCode), kSpdBlockRead);
}

INSTANTIATE_TEST_SUITE_P(Boards, SpdTest, ::testing::ValuesIn(BoardsWithSmbus()), BoardTestName);

}  // namespace
}  // namespace contract
