// SPD blocks read by the core: a slave that stops answering partway on the
// ICH board, and the time a read takes on the host's bus clock.
#include <vector>

#include "sim/models/spd_eeprom.h"
#include "smbus/booted_board.h"
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
    testsupport::ExpectModuleReads(controller_, models_, 3, 0, 64);  // the host recovers
    models_.eeproms[0][2]->StopAnsweringAfter(1000000);
  }
}

}  // namespace
