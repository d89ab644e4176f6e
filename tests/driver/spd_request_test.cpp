// SPD requests end to end on the Intel boards: the request goes through the
// queue to the worker, discovery's controller drives the host model, and the
// reply holds what the board's EEPROMs hold.
#include <gtest/gtest.h>

#include <array>

#include "driver/op_status.h"
#include "sim/models/spd_eeprom.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::WordAt;
using testsupport::Words;

class SpdRequestTest : public DriverTest, public ::testing::WithParamInterface<const char*> {
 protected:
  const std::array<uint8_t, 256>& Image(int segment, int slot) {
    return models_.eeproms[segment][slot]->Bytes();
  }
  const sim::SmbusHostSpec& Smbus() { return *sim::FindBoard(GetParam())->smbus; }
};

TEST_P(SpdRequestTest, EveryModuleOfBothSegmentsReadsBackThroughTheDriver) {
  LoadOn(GetParam());
  for (uint32_t segment : {0u, 1u}) {
    ASSERT_EQ(Send(IOCTL_SET_SEGMENT, Words({segment}), 76).Status, STATUS_SUCCESS);
    const auto& slots = segment == 0 ? Smbus().segment0 : Smbus().segment1;
    ASSERT_FALSE(slots.empty());
    for (const sim::SpdSlotSpec& s : slots) {
      SCOPED_TRACE(testing::Message() << "segment " << segment << " slot " << int(s.slot));
      const host::RequestResult r = Send(IOCTL_READ_SPD, {s.slot, 0}, 76 + 256);
      EXPECT_EQ(r.Status, STATUS_SUCCESS);
      ASSERT_EQ(r.Information, 76u + 256u);
      EXPECT_EQ(WordAt(r.Output, 4), 0u) << "code";
      EXPECT_EQ(WordAt(r.Output, 36), 0u) << "hardware code";
      const auto& image = Image(static_cast<int>(segment), s.slot);
      EXPECT_TRUE(std::equal(image.begin(), image.end(), r.Output.begin() + 76));
    }
  }
}

TEST_P(SpdRequestTest, AnEmptySlotStopsTheReadWithBothHalvesOfTheStatus) {
  LoadOn(GetParam());
  const host::RequestResult r = Send(IOCTL_READ_SPD, {7, 0}, 76 + 16);
  EXPECT_EQ(r.Status, STATUS_SUCCESS) << "bus failures show only in the output";
  EXPECT_EQ(r.Information, 76u);
  EXPECT_EQ(WordAt(r.Output, 4), OpError::SpdBlockRead);
  EXPECT_EQ(WordAt(r.Output, 36), OpError::ReadWordFailed);
  EXPECT_EQ(WordAt(r.Output, 40), 1u);

  // The bus recovers: the next request reads the first module.
  const host::RequestResult next = Send(IOCTL_READ_SPD, {0, 0}, 76 + 4);
  EXPECT_EQ(next.Information, 80u);
  EXPECT_TRUE(std::equal(next.Output.begin() + 76, next.Output.end(), Image(0, 0).begin()));
}

TEST_P(SpdRequestTest, ProbeOfAnEmptySlotReportsTheFirstRead) {
  LoadOn(GetParam());
  const host::RequestResult r = Send(IOCTL_PROBE_SPD_WRITE, {7}, 80);
  EXPECT_EQ(r.Information, 80u);
  EXPECT_EQ(WordAt(r.Output, 0), 0xFFFFFFFFu);
  EXPECT_EQ(WordAt(r.Output, 4 + 4), OpError::ProbeFirstRead);
  EXPECT_EQ(WordAt(r.Output, 4 + 36), OpError::ReadByteFailed);
}

TEST_P(SpdRequestTest, ChipsetInfoNamesTheSmbusFunction) {
  struct Expected {
    const char* board;
    std::vector<uint8_t> record;
  };
  const Expected table[] = {
      {"ich5", Words({0, 31, 3, 0x8086, 0x24D3, 0})},
      {"piix4", Words({0, 7, 3, 0x8086, 0x7113, 0})},
  };
  LoadOn(GetParam());
  const host::RequestResult r = Send(IOCTL_GET_CHIPSET_INFO, {}, 24);
  for (const Expected& e : table) {
    if (std::string(e.board) == GetParam()) {
      EXPECT_EQ(r.Output, e.record);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(IntelBoards, SpdRequestTest, ::testing::Values("ich5", "piix4"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
