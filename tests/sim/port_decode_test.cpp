// A block decoded from configuration space answers where the function's
// registers put it, and nowhere while it is disabled or unprogrammed.
#include <gtest/gtest.h>

#include "sim/board.h"
#include "sim/machine.h"
#include "sim/models/intel_smbus_host.h"

namespace {

// Every register host answers at the base its function's configuration
// space holds and goes silent when I/O space or the host itself is disabled:
// a register that keeps what is written reads it back, or 0xFF once the bits
// are cleared. PIIX4 (and the 440MX) and VIA enable the host in byte 0xD2
// (the VIA 596's second base pair in 0x84), ICH in 0x40, the
// ALi M7101 in 0xE0 (base in dword 0x14) or 0xD1 bit 2 and 0xF0 (base in word
// 0xE2), AMD in 0x41 bit 7, the nForce hosts by I/O space alone.
struct HostDecodeCase {
  const char* board;
  uint8_t device, function;
  uint8_t clearOffset;  // configuration byte whose bits are cleared; 0: none
  uint8_t clearBits;
  uint16_t port;  // a register that reads back what is written
  bool answers;
};

class HostDecodeTest : public ::testing::TestWithParam<HostDecodeCase> {};

TEST_P(HostDecodeTest, AnswersAtItsBaseOnlyWhileEnabled) {
  const HostDecodeCase& c = GetParam();
  sim::Machine machine;
  sim::Build(*sim::FindBoard(c.board), machine);
  sim::PciFunction* f = machine.FindPciFunction(0, c.device, c.function);
  ASSERT_NE(f, nullptr);
  if (c.clearOffset != 0) {
    const uint8_t old =
        static_cast<uint8_t>(f->Dword(c.clearOffset & 0xFC) >> (8 * (c.clearOffset & 3)));
    f->SetByte(c.clearOffset, static_cast<uint8_t>(old & ~c.clearBits));
  }
  machine.Out8(c.port, 0x5A);
  EXPECT_EQ(machine.In8(c.port), c.answers ? 0x5A : 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, HostDecodeTest,
    ::testing::Values(HostDecodeCase{"piix4", 7, 3, 0, 0, 0x5003, true},
                      HostDecodeCase{"piix4", 7, 3, 0xD2, 0x01, 0x5003, false},
                      HostDecodeCase{"piix4", 7, 3, 0xD0, 0x01, 0x5003, true},
                      HostDecodeCase{"piix4", 7, 3, 0x04, 0x01, 0x5003, false},
                      HostDecodeCase{"ich5", 31, 3, 0, 0, 0x0403, true},
                      HostDecodeCase{"ich5", 31, 3, 0x40, 0x01, 0x0403, false},
                      HostDecodeCase{"ich5", 31, 3, 0x04, 0x01, 0x0403, false},
                      HostDecodeCase{"ich4-mixed", 31, 3, 0x40, 0x01, 0x0403, false},
                      HostDecodeCase{"pch7-inuse", 31, 3, 0, 0, 0xF043, true},
                      HostDecodeCase{"ich9", 31, 3, 0x40, 0x01, 0x0403, false},
                      HostDecodeCase{"ich8-hostoff", 31, 3, 0, 0, 0x0403, false},
                      HostDecodeCase{"mx440", 7, 3, 0, 0, 0x1043, true},
                      HostDecodeCase{"mx440", 7, 3, 0xD2, 0x01, 0x1043, false},
                      HostDecodeCase{"via596a-second", 7, 3, 0, 0, 0x5003, true},
                      HostDecodeCase{"via596a-second", 7, 3, 0x84, 0x01, 0x5003, false},
                      HostDecodeCase{"via686b", 7, 4, 0, 0, 0x5003, true},
                      HostDecodeCase{"via686b", 7, 4, 0xD2, 0x01, 0x5003, false},
                      HostDecodeCase{"ali1543", 17, 0, 0, 0, 0xD007, true},
                      HostDecodeCase{"ali1543", 17, 0, 0xE0, 0x01, 0xD007, false},
                      HostDecodeCase{"ali1543", 17, 0, 0x04, 0x01, 0xD007, false},
                      HostDecodeCase{"ali1533-r0", 17, 0, 0, 0, 0x7047, true},
                      HostDecodeCase{"ali1533-r0", 17, 0, 0xD1, 0x04, 0x7047, false},
                      HostDecodeCase{"ali1533-r0", 17, 0, 0xF0, 0x01, 0x7047, false},
                      HostDecodeCase{"amd756", 7, 3, 0, 0, 0x50E8, true},
                      HostDecodeCase{"amd756", 7, 3, 0x41, 0x80, 0x50E8, false},
                      HostDecodeCase{"nforce", 1, 1, 0x04, 0x01, 0x5008, false},
                      HostDecodeCase{"nforce2", 1, 1, 0, 0, 0x5002, true},
                      HostDecodeCase{"nforce2", 1, 1, 0x04, 0x01, 0x5002, false}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
