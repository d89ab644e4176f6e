// Every byte a request returns is one the driver wrote: the same request,
// sent on two fresh loads into system buffers that held two different
// patterns, returns the same bytes in [0, Information). A byte the driver
// left alone would carry the pattern (on a real kernel: old pool contents)
// back to the caller.
#include "contract_test.h"

namespace contract {
namespace {

struct ReplyCase {
  const char* what;
  const char* board;
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outputLength;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << c.what << " on " << c.board;
}

// One load on a fresh machine, one request with `fill` behind the input, one
// unload; nothing may be wrong or left behind.
Reply SendOnFreshLoad(const ReplyCase& c, uint8_t fill) {
  Rig rig(c.board);
  EXPECT_TRUE(rig.Start()) << c.what << ": the driver did not start";
  const Reply reply = rig.started ? rig.Send(c.code, c.input, c.outputLength, fill) : Reply{};
  rig.Done(c.what);
  return reply;
}

class ReplyBytesTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyBytesTest, TwoBufferPatternsGiveTheSameReply) {
  const ReplyCase& c = GetParam();
  const Reply first = SendOnFreshLoad(c, 0x00);
  const Reply second = SendOnFreshLoad(c, 0xFF);
  EXPECT_EQ(first.status, second.status) << c.what;
  ASSERT_EQ(first.information, second.information) << c.what;
  for (uint32_t i = 0; i < first.information; ++i) {
    EXPECT_EQ(first.output.at(i), second.output.at(i)) << c.what << ": byte " << i;
  }
}

const ReplyCase kCases[] = {
    {"spd_whole_image", "ich5", IOCTL_READ_SPD, {0, 0}, 76 + 256},
    {"spd_odd_count", "piix4", IOCTL_READ_SPD, {1, 0x7F}, 76 + 3},
    {"spd_empty_slot", "ich5", IOCTL_READ_SPD, {7, 0}, 76 + 16},
    {"spd_without_controller", sim::kUnsupportedChipsetBoard, IOCTL_READ_SPD, {0, 0}, 76 + 16},
    {"probe_writable", "ich5", IOCTL_PROBE_SPD_WRITE, {0}, 80},
    {"probe_empty_slot", "piix4", IOCTL_PROBE_SPD_WRITE, {6}, 84},
    {"probe_without_controller", sim::kUnsupportedChipsetBoard, IOCTL_PROBE_SPD_WRITE, {0}, 80},
    {"slot_count", "ich5", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80},
    {"slot_count_without_table",
     sim::kUnsupportedChipsetBoard,
     IOCTL_GET_MEMORY_SLOT_COUNT,
     {},
     80},
    {"module_count", "piix4", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 88},
    {"segment", "ich5", IOCTL_SET_SEGMENT, Words({1}), 80},
    {"chipset_info", "ich5", IOCTL_GET_CHIPSET_INFO, {}, 32},
    {"device_table", "ich5", IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 217 * 24 + 8},
    {"device_count", "piix4", IOCTL_GET_PCI_DEVICE_COUNT, {}, 8},
    {"config_dump", "ich5", IOCTL_READ_PCI_CONFIG, Words({0, 31, 3, 0, 0, 0}), 260},
    {"system_info", "ich5", IOCTL_GET_SYSTEM_INFO, {}, 1030},
    {"system_info_without_table", sim::kUnsupportedChipsetBoard, IOCTL_GET_SYSTEM_INFO, {}, 1024},
    {"unknown_code", "ich5", 0x9C406028u, {}, 64},
};

INSTANTIATE_TEST_SUITE_P(Requests, ReplyBytesTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace contract
