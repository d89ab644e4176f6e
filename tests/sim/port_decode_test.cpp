// A block decoded from configuration space answers where the function's
// registers put it, and nowhere while it is disabled or unprogrammed.
#include <gtest/gtest.h>

#include "sim/board.h"
#include "sim/machine.h"
#include "sim/models/intel_smbus_host.h"

namespace {

// Answers each read with the offset it saw.
class Echo : public sim::PortDevice {
 public:
  uint8_t Read8(uint16_t port) override { return static_cast<uint8_t>(port); }
  void Write8(uint16_t port, uint8_t value) override { last = {port, value}; }
  std::pair<uint16_t, uint8_t> last{0xFFFF, 0};
};

struct DecodeCase {
  const char* name;
  uint32_t baseDword;  // configuration dword 0x58
  uint8_t enable;      // configuration byte 0x41
  uint16_t port;       // the port read
  uint8_t expected;    // what it returns
};

class PortDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(PortDecodeTest, AnswersOnlyAtTheProgrammedEnabledBase) {
  const DecodeCase& c = GetParam();
  sim::Machine machine;
  sim::PciFunction& f = machine.AddPciFunction(0, 7, 3, 0x1022, 0x740B);
  f.SetDword(0x58, c.baseDword);
  f.SetByte(0x41, c.enable);
  Echo echo;
  machine.ClaimDecoded({.bus = 0, .device = 7, .function = 3, .baseRegister = 0x58,
                        .baseMask = 0xFF00, .blockOffset = 0xE0, .size = 9,
                        .enables = {{0x41, 0x80}}},
                       echo);
  EXPECT_EQ(machine.In8(c.port), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortDecodeTest,
    ::testing::Values(DecodeCase{"first port", 0x5001, 0x80, 0x50E0, 0x00},
                      DecodeCase{"last port", 0x5001, 0x80, 0x50E8, 0x08},
                      DecodeCase{"past the block", 0x5001, 0x80, 0x50E9, 0xFF},
                      DecodeCase{"below the block", 0x5001, 0x80, 0x50DF, 0xFF},
                      DecodeCase{"low bits are not the base", 0x50FF, 0x80, 0x50E2, 0x02},
                      DecodeCase{"enable bit clear", 0x5001, 0x7F, 0x50E0, 0xFF},
                      DecodeCase{"base never programmed", 0x0000, 0x80, 0x00E0, 0xFF}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(PortDecode, FollowsAConfigurationWriteAndHandsTheDeviceOffsets) {
  sim::Machine machine;
  machine.AddPciFunction(0, 1, 0, 0x10B9, 0x7101);
  Echo echo;
  machine.ClaimDecoded({.bus = 0, .device = 1, .function = 0, .baseRegister = 0x14,
                        .baseMask = 0xFFF0, .size = 16},
                       echo);
  EXPECT_EQ(machine.In8(0xE802), 0xFF);  // not yet programmed
  const uint32_t base = 0xE801;
  ASSERT_EQ(machine.SetPciData(0, 1, &base, 0x14, 4), 4u);
  EXPECT_EQ(machine.In8(0xE802), 0x02);
  machine.Out8(0xE80F, 0x5A);
  EXPECT_EQ(echo.last, (std::pair<uint16_t, uint8_t>{0x0F, 0x5A}));
}

// The boards' Intel hosts answer at the base their function's configuration
// space holds, and go silent when I/O space or the host itself is disabled:
// PIIX4 at dword 0x90 with its enable in byte 0xD2, ICH at dword 0x20 with
// its enable in byte 0x40.
struct HostDecodeCase {
  const char* board;
  uint8_t device, function;
  uint8_t clearOffset;  // configuration byte whose bits are cleared; 0: none
  uint8_t clearBits;
  uint16_t expectedBase;  // 0: the host answers nowhere
};

class IntelHostDecodeTest : public ::testing::TestWithParam<HostDecodeCase> {};

TEST_P(IntelHostDecodeTest, AnswersAtItsBaseOnlyWhileEnabled) {
  const HostDecodeCase& c = GetParam();
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard(c.board), machine);
  sim::PciFunction* f = machine.FindPciFunction(0, c.device, c.function);
  ASSERT_NE(f, nullptr);
  const uint16_t base = models.intelHost->IoBase();
  if (c.clearOffset != 0) {
    const uint8_t old = static_cast<uint8_t>(f->Dword(c.clearOffset & 0xFC) >> (8 * (c.clearOffset & 3)));
    f->SetByte(c.clearOffset, static_cast<uint8_t>(old & ~c.clearBits));
  }
  EXPECT_EQ(models.intelHost->IoBase(), c.expectedBase);
  // The host control register reads back what was written where it answers.
  machine.Out8(static_cast<uint16_t>(base + 3), 0x5A);
  EXPECT_EQ(machine.In8(static_cast<uint16_t>(base + 3)), c.expectedBase != 0 ? 0x5A : 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, IntelHostDecodeTest,
    ::testing::Values(HostDecodeCase{"piix4", 7, 3, 0, 0, 0x5000},
                      HostDecodeCase{"piix4", 7, 3, 0xD2, 0x01, 0},
                      HostDecodeCase{"piix4", 7, 3, 0xD0, 0x01, 0x5000},
                      HostDecodeCase{"piix4", 7, 3, 0x04, 0x01, 0},
                      HostDecodeCase{"ich5", 31, 3, 0, 0, 0x0400},
                      HostDecodeCase{"ich5", 31, 3, 0x40, 0x01, 0},
                      HostDecodeCase{"ich5", 31, 3, 0x04, 0x01, 0},
                      HostDecodeCase{"ich4-mixed", 31, 3, 0x40, 0x01, 0},
                      HostDecodeCase{"pch7-inuse", 31, 3, 0, 0, 0xF040},
                      HostDecodeCase{"ich9", 31, 3, 0x40, 0x01, 0},
                      HostDecodeCase{"ich8-hostoff", 31, 3, 0, 0, 0}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(IntelHostDecode, MovesWithItsBaseRegister) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard("ich5"), machine);
  const uint32_t moved = 0x0E01;
  ASSERT_EQ(machine.SetPciData(0, (3u << 5) | 31u, &moved, 0x20, 4), 4u);
  EXPECT_EQ(models.intelHost->IoBase(), 0x0E00);
  machine.Out8(0x0E03, 0x21);
  EXPECT_EQ(machine.In8(0x0E03), 0x21);
  EXPECT_EQ(machine.In8(0x0403), 0xFF) << "nothing left at the old base";
}

}  // namespace
