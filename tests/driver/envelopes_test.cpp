// The output of every request, byte for byte: where the status record and the
// payload sit, how many bytes go back, and which bytes are left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "driver/op_status.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::WordAt;
using testsupport::Words;

constexpr uint8_t kFill = host::kUnusedBufferFill;

class EnvelopeTest : public DriverTest {};

// The status record at `offset`: header, code, detail count, hardware code
// and its count.
void ExpectStatus(const std::vector<uint8_t>& out, size_t offset, uint32_t code) {
  EXPECT_EQ(WordAt(out, offset + 0), 1u) << "header";
  EXPECT_EQ(WordAt(out, offset + 4), code) << "code";
  EXPECT_EQ(WordAt(out, offset + 8), 0u) << "detail count";
  EXPECT_EQ(WordAt(out, offset + 36), 0u) << "hardware code";
  EXPECT_EQ(WordAt(out, offset + 40), 0u) << "hardware detail count";
}

TEST_F(EnvelopeTest, SpdReadWithoutControllerReturnsTheStatusRecordOnly) {
  LoadOn("nosmbus");
  const host::RequestResult r = Send(IOCTL_READ_SPD, {3, 0x10}, 80);
  EXPECT_EQ(r.Returned, STATUS_PENDING);
  EXPECT_EQ(r.Status, STATUS_SUCCESS);
  EXPECT_EQ(r.Information, 76u);
  ExpectStatus(r.SystemBuffer, 0, OpError::ControllerUnavailable);
  for (size_t i = 76; i < 80; ++i) EXPECT_EQ(r.SystemBuffer[i], kFill) << "data byte " << i;
}

// A controller whose EEPROMs hold their own offsets, recording what was asked.
struct Transfer {
  char kind;
  uint8_t slave, command;
};
std::vector<Transfer> g_transfers;

int32_t EchoReadWord(void*, OpStatus*, uint8_t slave, uint8_t command, uint16_t* value) {
  g_transfers.push_back({'w', slave, command});
  *value = static_cast<uint16_t>(command | static_cast<uint8_t>(command + 1) << 8);
  return 0;
}

int32_t EchoReadByte(void*, OpStatus*, uint8_t slave, uint8_t command, uint8_t* value) {
  g_transfers.push_back({'b', slave, command});
  *value = command;
  return 0;
}

void UseEchoController(SmbusController* controller) {
  g_transfers.clear();
  controller->Unavailable = 0;
  controller->ReadWord = &EchoReadWord;
  controller->ReadByte = &EchoReadByte;
}

TEST_F(EnvelopeTest, SpdDataFollowsTheStatusRecordAndWrapsPastTheLastOffset) {
  LoadOn("nosmbus");
  UseEchoController(Extension()->Controller);
  const host::RequestResult r = Send(IOCTL_READ_SPD, {7, 0xFF}, 80);
  EXPECT_EQ(r.Status, STATUS_SUCCESS);
  EXPECT_EQ(r.Information, 80u);
  ExpectStatus(r.Output, 0, OpError::None);
  EXPECT_EQ(std::vector<uint8_t>(r.Output.begin() + 76, r.Output.end()),
            (std::vector<uint8_t>{0xFF, 0x00, 0x01, 0x02}));
  ASSERT_EQ(g_transfers.size(), 2u);
  EXPECT_EQ(g_transfers[0].slave, 0x57);
  EXPECT_EQ(g_transfers[0].command, 0xFF);
  EXPECT_EQ(g_transfers[1].command, 0x01);
}

TEST_F(EnvelopeTest, SpdReadOfOutputSeventySevenReadsOneByte) {
  LoadOn("nosmbus");
  UseEchoController(Extension()->Controller);
  const host::RequestResult r = Send(IOCTL_READ_SPD, {0, 0x40}, 77);
  EXPECT_EQ(r.Information, 77u);
  EXPECT_EQ(r.Output[76], 0x40);
  ASSERT_EQ(g_transfers.size(), 1u);
  EXPECT_EQ(g_transfers[0].kind, 'b');
  EXPECT_EQ(g_transfers[0].slave, 0x50);
}

TEST_F(EnvelopeTest, ProbeResultLeadsAndTheStatusRecordFollows) {
  LoadOn("nosmbus");
  const host::RequestResult r = Send(IOCTL_PROBE_SPD_WRITE, {2}, 84);
  EXPECT_EQ(r.Status, STATUS_SUCCESS);
  EXPECT_EQ(r.Information, 80u);
  EXPECT_EQ(WordAt(r.SystemBuffer, 0), 0xFFFFFFFFu) << "result -1";
  ExpectStatus(r.SystemBuffer, 4, OpError::ControllerUnavailable);
  for (size_t i = 80; i < 84; ++i) EXPECT_EQ(r.SystemBuffer[i], kFill);
}

TEST_F(EnvelopeTest, CountRepliesWriteTheCountAsAWord) {
  LoadOn("nosmbus");
  for (uint32_t code : {IOCTL_GET_MEMORY_SLOT_COUNT, IOCTL_GET_MEMORY_MODULE_COUNT}) {
    SCOPED_TRACE(code);
    const host::RequestResult r = Send(code, {0x11, 0x22, 0x33, 0x44, 0x55}, 80);
    EXPECT_EQ(r.Status, STATUS_SUCCESS);
    EXPECT_EQ(r.Information, 80u);
    EXPECT_EQ(r.Output[0], 0u) << "no table: no slots, no modules";
    EXPECT_EQ(WordAt(r.Output, 0), 0u) << "bytes 1-3 are written as zero";
    // Only the first SMBIOS query of a load reports why there is no table.
    ExpectStatus(r.Output, 4,
                 code == IOCTL_GET_MEMORY_SLOT_COUNT ? OpError::SmbiosNoEntryPoint : OpError::None);
  }
}

TEST_F(EnvelopeTest, SegmentReplyIsTheStatusRecordAndTheValueReachesTheController) {
  LoadOn("nosmbus");
  const host::RequestResult r = Send(IOCTL_SET_SEGMENT, Words({0x01020304u}), 80);
  EXPECT_EQ(r.Status, STATUS_SUCCESS);
  EXPECT_EQ(r.Information, 76u);
  ExpectStatus(r.SystemBuffer, 0, OpError::None);
  EXPECT_EQ(Extension()->Controller->Segment, 0x01020304u);
}

TEST_F(EnvelopeTest, ChipsetInfoIsTheRecordDiscoveryLeft) {
  LoadOn("ich5");
  // Whatever discovery chose, the request copies the driver's record as is.
  ChipsetInfo = ChipsetInfoRecord{0, 31, 3, 0x8086, 0x24D3, 0x5A5A5A5A};
  const host::RequestResult r = Send(IOCTL_GET_CHIPSET_INFO, {}, 30);
  EXPECT_EQ(r.Information, 24u);
  EXPECT_EQ(r.Output, Words({0, 31, 3, 0x8086, 0x24D3, 0x5A5A5A5A}));
  for (size_t i = 24; i < 30; ++i) EXPECT_EQ(r.SystemBuffer[i], kFill);
}

// The functions of the board in walk order, as device-table records.
std::vector<uint8_t> BoardRecords(const sim::Board& board) {
  std::vector<sim::PciFunctionSpec> specs = board.pci;
  std::sort(specs.begin(), specs.end(), [](const auto& a, const auto& b) {
    return std::tie(a.bus, a.device, a.function) < std::tie(b.bus, b.device, b.function);
  });
  std::vector<uint8_t> bytes;
  for (const auto& f : specs) {
    auto record = Words({f.bus, f.device, f.function, f.vendorId, f.deviceId, 0});
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

TEST_F(EnvelopeTest, DeviceTableAndCountDescribeTheBoard) {
  LoadOn("ich5");
  const std::vector<uint8_t> records = BoardRecords(*sim::FindBoard("ich5"));
  const uint32_t functions = static_cast<uint32_t>(records.size() / 24);
  ASSERT_GE(functions, 3u);

  const host::RequestResult count = Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4);
  EXPECT_EQ(count.Output, Words({functions}));

  const host::RequestResult three = Send(IOCTL_GET_PCI_DEVICE_TABLE, Words({3}), 80);
  EXPECT_EQ(three.Information, 72u);
  EXPECT_EQ(three.Output, std::vector<uint8_t>(records.begin(), records.begin() + 72));
  for (size_t i = 72; i < 80; ++i) EXPECT_EQ(three.SystemBuffer[i], kFill);

  // The whole table: the functions found, then zero records.
  const host::RequestResult all = Send(IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 6000);
  ASSERT_EQ(all.Information, 217u * 24u);
  EXPECT_TRUE(std::equal(records.begin(), records.end(), all.Output.begin()));
  EXPECT_TRUE(std::all_of(all.Output.begin() + records.size(), all.Output.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST_F(EnvelopeTest, ConfigDumpIsTheFunctionsConfigurationSpace) {
  LoadOn("ich5");
  const sim::PciFunction* host = machine_.FindPciFunction(0, 0, 0);
  ASSERT_NE(host, nullptr);
  const host::RequestResult r = Send(IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 7, 7, 7}), 260);
  EXPECT_EQ(r.Status, STATUS_SUCCESS);
  ASSERT_EQ(r.Information, 256u);
  const auto& bridge = sim::FindBoard("ich5")->pci;
  auto bridgeFn = std::find_if(bridge.begin(), bridge.end(),
                           [](const auto& f) { return f.bus == 0 && f.device == 0 && f.function == 0; });
  ASSERT_NE(bridgeFn, bridge.end());
  EXPECT_EQ(WordAt(r.Output, 0), uint32_t(bridgeFn->deviceId) << 16 | bridgeFn->vendorId);
  for (size_t k = 0; k < 256; k += 4) {
    EXPECT_EQ(WordAt(r.Output, k), host->Dword(static_cast<uint8_t>(k))) << "offset " << k;
  }
  for (size_t i = 256; i < 260; ++i) EXPECT_EQ(r.SystemBuffer[i], kFill);
}

TEST_F(EnvelopeTest, ConfigDumpOfAnAbsentFunctionReadsAllOnes) {
  LoadOn("ich5");
  ASSERT_EQ(machine_.FindPciFunction(0, 17, 5), nullptr);
  const host::RequestResult r = Send(IOCTL_READ_PCI_CONFIG, Words({0, 17, 5, 0, 0, 0}), 256);
  ASSERT_EQ(r.Information, 256u);
  EXPECT_TRUE(std::all_of(r.Output.begin(), r.Output.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(EnvelopeTest, CreateAndCloseAlwaysSucceedForAnyNumberOfOpens) {
  LoadOn("nosmbus");
  const host::IoManager::OpenResult second = io_.Open(kLinkName);
  EXPECT_EQ(second.Status, STATUS_SUCCESS);
  EXPECT_EQ(io_.Close(second.Device), STATUS_SUCCESS);
  EXPECT_EQ(io_.Close(device_), STATUS_SUCCESS);
}

}  // namespace
