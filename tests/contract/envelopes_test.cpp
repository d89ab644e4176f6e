// What each request returns, byte for byte, on every board: the answers
// served at once from what discovery found, the configuration dump against
// the board's own registers, the SMBIOS answers against the board's table,
// and the envelopes of the queued requests; past what a request returns the
// caller's buffer is left alone.
#include <algorithm>
#include <cstdio>
#include <set>

#include "contract_test.h"
#include "sim/models/port_bystander.h"

namespace contract {
namespace {

constexpr uint32_t kSmbiosNoEntryPoint = 36;
constexpr uint8_t kFill = DriverUnderTest::kDefaultFill;

// A status record that says only `code`: no details, no hardware half.
void ExpectStatus(const std::vector<uint8_t>& out, size_t at, uint32_t code) {
  EXPECT_EQ(WordAt(out, at + kOpHeader), 1u) << "header";
  EXPECT_EQ(WordAt(out, at + kOpCode), code) << "code";
  EXPECT_EQ(WordAt(out, at + kOpDetailCount), 0u) << "detail count";
  EXPECT_EQ(WordAt(out, at + kOpHwCode), 0u) << "hardware code";
  EXPECT_EQ(WordAt(out, at + kOpHwDetailCount), 0u) << "hardware detail count";
}

// The bytes of the system buffer in [from, to) still hold the fill.
void ExpectUntouched(const Reply& reply, size_t from, size_t to) {
  ASSERT_GE(reply.buffer.size(), to);
  for (size_t i = from; i < to; ++i) EXPECT_EQ(reply.buffer[i], kFill) << "byte " << i;
}

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

// Discovery prints every function as it walks; the count and the table are
// the board's functions in that order.
TEST_P(EnvelopesTest, DeviceCountAndTableAreTheBoardsFunctionsInWalkOrder) {
  const std::vector<sim::PciFunctionSpec> functions = WalkOrder(*board_);
  std::vector<std::string> printed, walk;
  for (const sim::PciFunctionSpec& f : functions) {
    char line[64];
    std::snprintf(line, sizeof line, "smbcore:vid(%04x) did(%04x) rev(%02x)", f.vendorId,
                  f.deviceId, f.revision);
    printed.push_back(line);
  }
  for (const std::string& line : machine_.DebugLines()) {
    if (line.rfind("smbcore:vid(", 0) == 0) walk.push_back(line);
  }
  EXPECT_EQ(walk, printed);
  const Reply count = Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4);
  ASSERT_EQ(count.information, 4u);
  EXPECT_EQ(WordAt(count.output, 0), functions.size());

  const Reply table = Send(IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 217 * 24);
  ASSERT_EQ(table.information, 217u * 24);
  std::vector<uint8_t> expected;
  for (const sim::PciFunctionSpec& f : functions) {
    const std::vector<uint8_t> record =
        Words({f.bus, f.device, f.function, f.vendorId, f.deviceId, 0});
    expected.insert(expected.end(), record.begin(), record.end());
  }
  // The first records only, and nothing written past them.
  const uint32_t some = std::min<uint32_t>(3, static_cast<uint32_t>(functions.size()));
  const Reply first = Send(IOCTL_GET_PCI_DEVICE_TABLE, Words({some}), some * 24 + 8);
  ASSERT_EQ(first.information, some * 24);
  EXPECT_TRUE(std::equal(first.output.begin(), first.output.end(), expected.begin()));
  ExpectUntouched(first, some * 24, some * 24 + 8);

  expected.resize(217 * 24, 0);
  EXPECT_EQ(table.output, expected);
}

TEST_P(EnvelopesTest, ConfigurationDumpIsTheFunctionsRegisters) {
  for (const sim::PciFunctionSpec& f : board_->pci) {
    if (f.bus != 0 || f.device > 30 || f.function > 6) continue;  // outside what the request takes
    const Reply reply = Send(IOCTL_READ_PCI_CONFIG, Words({0, f.device, f.function, 7, 7, 7}), 260);
    ASSERT_EQ(reply.information, 256u) << f.name;
    ExpectUntouched(reply, 256, 260);
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

TEST_P(EnvelopesTest, TheSegmentReplyIsTheStatusRecordAlone) {
  const Reply segment = Send(IOCTL_SET_SEGMENT, Words({1}), 80);
  EXPECT_EQ(segment.status, STATUS_SUCCESS);
  EXPECT_EQ(segment.returned, STATUS_PENDING);
  ASSERT_EQ(segment.information, 76u);
  ExpectStatus(segment.output, 0, 0);
  ExpectUntouched(segment, 76, 80);
}

std::string ReportField(const std::vector<uint8_t>& report, int field) {
  const char* text = reinterpret_cast<const char*>(report.data() + field * 128);
  return std::string(text, strnlen(text, 128));
}

// The counts and the system information come from the table the BIOS left;
// without one, only the first SMBIOS query of a load says why.
TEST_P(EnvelopesTest, SmbiosAnswersComeFromTheBoardsTable) {
  const sim::SmbiosProfile& p = board_->smbios;
  uint8_t counts[2] = {};
  for (uint32_t code : {IOCTL_GET_MEMORY_MODULE_COUNT, IOCTL_GET_MEMORY_SLOT_COUNT}) {
    const Reply count = Send(code, {0x11, 0x22, 0x33, 0x44, 0x55}, 80);
    EXPECT_EQ(count.returned, STATUS_PENDING);
    EXPECT_EQ(count.status, STATUS_SUCCESS);
    ASSERT_EQ(count.information, 80u);
    EXPECT_EQ(WordAt(count.output, 0), count.output[0]) << "bytes 1-3 are written as zero";
    const bool first = code == IOCTL_GET_MEMORY_MODULE_COUNT;
    ExpectStatus(count.output, 4, !p.present && first ? kSmbiosNoEntryPoint : 0);
    counts[first ? 1 : 0] = count.output[0];
  }
  if (!p.present) {
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(counts[1], 0u);
  }

  const Reply reply = Send(IOCTL_GET_SYSTEM_INFO, {}, 1024);
  EXPECT_EQ(reply.returned, reply.status) << "answered at once";
  if (p.present) {
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    ASSERT_EQ(reply.information, 1024u);
    const std::string expected[] = {p.system.manufacturer, p.system.product,     p.system.version,
                                    p.system.serial,       p.board.manufacturer, p.board.product,
                                    p.board.version,       p.board.serial};
    for (int f = 0; f < 8; ++f) EXPECT_EQ(ReportField(reply.output, f), expected[f]) << f;
  } else {
    EXPECT_EQ(reply.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(reply.information, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, EnvelopesTest, ::testing::ValuesIn(BoardNames()), BoardTestName);

// A board the driver finds no usable SMBus host on: the board as it is, or
// with the host's base register changed to `baseDword` at `baseRegister` of
// function 0:device.function (0: left as it is).
struct NoController {
  const char* board;
  uint8_t device, function, baseRegister;
  uint32_t baseDword;
  // Where the disabled host's stale base points: another device's registers
  // answer at these 256 ports; 0: none.
  uint16_t staleBase = 0;
  uint8_t otherRegister = 0;  // a second base register changed as well (the nForce's)
  uint32_t otherDword = 0;
  // The power-management index pair through which a disabled ATI/AMD host
  // is found out: its two ports are the only ones read; 0: none.
  uint16_t pmIndexPort = 0;
};

void PrintTo(const NoController& c, std::ostream* os) {
  *os << c.board << " dword 0x" << std::hex << int(c.baseRegister) << " = 0x" << c.baseDword;
}

class NoControllerTest : public ContractTest, public ::testing::WithParamInterface<NoController> {};

// Nothing is sent, from the load on: not a port is touched (port 0 and up
// are the DMA controller's, and an unprogrammed base would point there; a
// disabled Intel host decodes nothing) but the PM index pair the row names,
// whose index is left as it was, as are the PM registers.
TEST_P(NoControllerTest, SpdRequestsReportThatNoControllerIsAvailable) {
  const NoController& c = GetParam();
  UseBoard(c.board);
  if (c.baseRegister != 0) {
    machine_.FindPciFunction(0, c.device, c.function)->SetDword(c.baseRegister, c.baseDword);
  }
  auto& bystander = machine_.Make<sim::PortBystander>();
  if (c.staleBase != 0) machine_.ClaimPorts(c.staleBase, 0x100, bystander);
  if (c.otherRegister != 0) {
    machine_.FindPciFunction(0, c.device, c.function)->SetDword(c.otherRegister, c.otherDword);
  }
  const std::vector<uint8_t> pmLeft = PmState(models_.amdPm);
  machine_.SetTracing(true);
  ASSERT_EQ(driver_->Start(), STATUS_SUCCESS);
  started_ = true;
  const Reply read = Send(IOCTL_READ_SPD, {3, 0x10}, 76 + 8);
  EXPECT_EQ(read.returned, STATUS_PENDING);
  EXPECT_EQ(read.status, STATUS_SUCCESS);
  ASSERT_EQ(read.information, 76u);
  ExpectStatus(read.output, 0, kUnavailable);
  ExpectUntouched(read, 76, 76 + 8);

  // The probe's result leads, the status record follows.
  const Reply probe = Send(IOCTL_PROBE_SPD_WRITE, {2}, 84);
  EXPECT_EQ(probe.status, STATUS_SUCCESS);
  ASSERT_EQ(probe.information, 80u);
  EXPECT_EQ(WordAt(probe.output, 0), 0xFFFFFFFFu) << "result -1";
  ExpectStatus(probe.output, 4, kUnavailable);
  ExpectUntouched(probe, 80, 84);
  std::set<uint32_t> ports, allowed;
  for (const sim::TraceEntry& e : machine_.Trace()) {
    if (e.kind != sim::Access::ConfigRead && e.kind != sim::Access::ConfigWrite)
      ports.insert(e.where);
  }
  if (c.pmIndexPort != 0) allowed = {c.pmIndexPort, c.pmIndexPort + 1u};
  EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), ports.begin(), ports.end()))
      << ::testing::PrintToString(ports);
  EXPECT_EQ(PmState(models_.amdPm), pmLeft) << "the PM registers and index as they were";
  EXPECT_EQ(bystander.Reads(), 0u) << "the device at the stale base was read";
  EXPECT_EQ(bystander.Writes(), 0u) << "the device at the stale base was written";
}

// An unsupported SMBus; SPD pins whose block the BIOS never placed; a SiS
// 630 or 964 ACPI block the BIOS left undecoded (0x40 bit 7) or unplaced; host
// bases the BIOS never programmed (the I/O space bit alone), with only bits
// below the base mask, or that the nVidia 0xE0 subtraction wraps (on the
// nForce at both its ranges); an
// AMD-8111 whose BIOS left the host disabled (0x41 bit 7 clear); a Zen FCH
// whose PM window firmware left off, and a legacy ATI host the BIOS disabled
// (0xD2 bit 0 clear). Hosts the BIOS disabled whose stale base now holds
// another device's registers: the 440MX's and the VIA 596's byte 0xD2 bit
// 0, the ICH4's 0x40 bit 0 (each other family's enable bit and base without
// its I/O bit discovery's own table holds to no port touched). The machines
// whose SMBIOS identity says the SMBus is unsafe. An SB800 whose BIOS
// disabled the host, found out through the PM registers.
INSTANTIATE_TEST_SUITE_P(
    Boards, NoControllerTest,
    ::testing::Values(NoController{sim::kUnsupportedChipsetBoard, 0, 0, 0, 0},
                      NoController{"sis96x-noacpi", 0, 0, 0, 0},
                      NoController{"sis630", 1, 0, 0x40, 0x00000000, 0x5000},
                      NoController{"sis630", 1, 0, 0x74, 0x00000000},
                      NoController{"sis964", 2, 0, 0x40, 0x00000000, 0x0C00},
                      NoController{"ich8-hostoff", 0, 0, 0, 0},
                      NoController{"ich5", 31, 3, 0x20, 0x00000001},
                      NoController{"ich5", 31, 3, 0x20, 0x0000000F},
                      NoController{"ich9", 31, 3, 0x20, 0x0000001F},
                      NoController{"piix4", 7, 3, 0x90, 0x00000001},
                      NoController{"amd756", 7, 3, 0x58, 0x00000001},
                      NoController{"amd756", 7, 3, 0x58, 0x000000F1},
                      NoController{"amd8111", 7, 3, 0x40, 0x00000000},
                      NoController{"nforce", 1, 1, 0x10, 0x00000001, 0, 0x14, 0x00000001},
                      NoController{"nforce", 1, 1, 0x10, 0x00000051, 0, 0x14, 0x00000000},
                      NoController{"nforce-14", 1, 1, 0x14, 0x00000051, 0, 0x10, 0x00000001},
                      NoController{"nforce2", 1, 1, 0x50, 0x00000001},
                      NoController{"nforce2", 1, 1, 0x50, 0x0000000D},
                      NoController{"fch790b-zen-off", 0, 0, 0, 0},
                      NoController{"sb700", 20, 0, 0xD0, 0x00000000},
                      NoController{"ixp400", 20, 0, 0x90, 0x00000001},
                      NoController{"mx440", 7, 3, 0xD0, 0x00FE0000, 0x1040},
                      NoController{"ich4-mixed", 31, 3, 0x40, 0x00000010, 0x0880},
                      NoController{"via596a", 7, 3, 0xD0, 0x00000000, 0x5000},
                      NoController{"sb600-sapphire", 0, 0, 0, 0},
                      NoController{"sb600-dfi", 0, 0, 0, 0}, NoController{"piix4-ibm", 0, 0, 0, 0},
                      NoController{"sb800-off", 0, 0, 0, 0, 0, 0, 0, 0xCD6}),
    [](const ::testing::TestParamInfo<NoController>& info) {
      return TestName(
          std::string(info.param.board) + "_" + std::to_string(info.param.baseRegister) + "_" +
          std::to_string(info.param.baseDword) +
          (info.param.otherRegister != 0 ? "_" + std::to_string(info.param.otherDword) : ""));
    });

}  // namespace
}  // namespace contract
