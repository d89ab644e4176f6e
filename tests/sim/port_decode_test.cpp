// A block decoded from configuration space answers where the function's
// registers put it, and nowhere while it is disabled or unprogrammed.
#include <gtest/gtest.h>

#include "sim/machine.h"

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

}  // namespace
