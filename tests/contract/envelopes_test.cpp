// What each request returns, byte for byte, on every board: the answers
// served at once from what discovery found, the configuration dump against
// the board's own registers, and the envelopes of the queued requests.
#include <algorithm>
#include <cstdio>

#include "contract_test.h"

namespace contract {
namespace {

constexpr uint32_t kOpHeader = 0;
constexpr uint32_t kOpCode = 4;
constexpr uint32_t kUnavailable = 21;

// The board's PCI functions in the order the bus walk meets them.
std::vector<sim::PciFunctionSpec> WalkOrder(const sim::Board& board) {
  std::vector<sim::PciFunctionSpec> functions = board.pci;
  std::sort(functions.begin(), functions.end(), [](const auto& a, const auto& b) {
    return std::tie(a.bus, a.device, a.function) < std::tie(b.bus, b.device, b.function);
  });
  return functions;
}

class EnvelopesTest : public ContractTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override { LoadOn(GetParam()); }
};

TEST_P(EnvelopesTest, DeviceCountAndTableAreTheBoardsFunctionsInWalkOrder) {
  const std::vector<sim::PciFunctionSpec> functions = WalkOrder(*board_);
  const Reply count = Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4);
  ASSERT_EQ(count.information, 4u);
  EXPECT_EQ(WordAt(count.output, 0), functions.size());

  const Reply table = Send(IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 217 * 24);
  ASSERT_EQ(table.information, 217u * 24);
  std::vector<uint8_t> expected;
  for (const sim::PciFunctionSpec& f : functions) {
    const std::vector<uint8_t> record = Words({f.bus, f.device, f.function, f.vendorId, f.deviceId, 0});
    expected.insert(expected.end(), record.begin(), record.end());
  }
  expected.resize(217 * 24, 0);
  EXPECT_EQ(table.output, expected);
}

TEST_P(EnvelopesTest, DiscoveryPrintsEveryFunctionAsItWalks) {
  std::vector<std::string> expected;
  for (const sim::PciFunctionSpec& f : WalkOrder(*board_)) {
    char line[64];
    std::snprintf(line, sizeof line, "smbcore:vid(%04x) did(%04x) rev(%02x)", f.vendorId,
                  f.deviceId, f.revision);
    expected.push_back(line);
  }
  std::vector<std::string> walk;
  for (const std::string& line : machine_.DebugLines()) {
    if (line.rfind("smbcore:vid(", 0) == 0) walk.push_back(line);
  }
  EXPECT_EQ(walk, expected);
}

TEST_P(EnvelopesTest, ConfigurationDumpIsTheFunctionsRegisters) {
  for (const sim::PciFunctionSpec& f : board_->pci) {
    if (f.bus != 0 || f.device > 30 || f.function > 6) continue;  // outside what the request takes
    const Reply reply = Send(IOCTL_READ_PCI_CONFIG, Words({0, f.device, f.function, 0, 0, 0}), 256);
    ASSERT_EQ(reply.information, 256u) << f.name;
    const sim::PciFunction* registers = machine_.FindPciFunction(0, f.device, f.function);
    std::vector<uint8_t> expected;
    for (uint32_t dword : registers->regs) {
      const std::vector<uint8_t> bytes = Words({dword});
      expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(reply.output, expected) << f.name;
  }
  // An empty slot reads all ones.
  const Reply empty = Send(IOCTL_READ_PCI_CONFIG, Words({0, 17, 5, 0, 0, 0}), 256);
  EXPECT_EQ(empty.output, std::vector<uint8_t>(256, 0xFF));
}

TEST_P(EnvelopesTest, QueuedEnvelopesCarryTheStatusRecordWhereTheLayoutPutsIt) {
  const Reply segment = Send(IOCTL_SET_SEGMENT, Words({1}), 76);
  EXPECT_EQ(segment.status, STATUS_SUCCESS);
  EXPECT_EQ(segment.returned, STATUS_PENDING);
  ASSERT_EQ(segment.information, 76u);
  EXPECT_EQ(WordAt(segment.output, kOpHeader), 1u);

  for (uint32_t code : {IOCTL_GET_MEMORY_SLOT_COUNT, IOCTL_GET_MEMORY_MODULE_COUNT}) {
    const Reply count = Send(code, {}, 80);
    EXPECT_EQ(count.returned, STATUS_PENDING);
    ASSERT_EQ(count.information, 80u);
    EXPECT_EQ(WordAt(count.output, 0), count.output[0]) << "bytes 1-3 are written as zero";
    EXPECT_EQ(WordAt(count.output, 4 + kOpHeader), 1u);
  }
}

TEST_P(EnvelopesTest, SystemInformationIsThereExactlyWhenTheBoardHasAnSmbiosTable) {
  const Reply reply = Send(IOCTL_GET_SYSTEM_INFO, {}, 1024);
  EXPECT_EQ(reply.returned, reply.status) << "answered at once";
  if (board_->smbios.present) {
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    EXPECT_EQ(reply.information, 1024u);
  } else {
    EXPECT_EQ(reply.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(reply.information, 0u);
  }
  const Reply info = Send(IOCTL_GET_CHIPSET_INFO, {}, 24);
  EXPECT_EQ(info.status, STATUS_SUCCESS);
  EXPECT_EQ(info.information, 24u);
}

INSTANTIATE_TEST_SUITE_P(Boards, EnvelopesTest, ::testing::ValuesIn(BoardNames()), BoardTestName);

class NoControllerTest : public ContractTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(NoControllerTest, SpdRequestsReportThatNoControllerIsAvailable) {
  LoadOn(GetParam());
  const Reply read = Send(IOCTL_READ_SPD, {0, 0}, 76 + 8);
  EXPECT_EQ(read.status, STATUS_SUCCESS);
  ASSERT_EQ(read.information, 76u);
  EXPECT_EQ(WordAt(read.output, kOpHeader), 1u);
  EXPECT_EQ(WordAt(read.output, kOpCode), kUnavailable);

  const Reply probe = Send(IOCTL_PROBE_SPD_WRITE, {0}, 80);
  EXPECT_EQ(probe.status, STATUS_SUCCESS);
  ASSERT_EQ(probe.information, 80u);
  EXPECT_EQ(WordAt(probe.output, 4 + kOpCode), kUnavailable);
}

// An unsupported SMBus, and SPD pins whose block the BIOS never placed.
INSTANTIATE_TEST_SUITE_P(Boards, NoControllerTest,
                         ::testing::Values("nosmbus", "sis96x-noacpi"), BoardTestName);

}  // namespace
}  // namespace contract
