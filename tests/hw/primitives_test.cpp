// The contracts of the hardware primitives, through the host binding and the
// simulated machine.
#include <array>

#include "hw/hw.h"
#include "support/sim_test.h"

namespace {

using testsupport::SimTest;

class PrimitivesTest : public SimTest {};

TEST_F(PrimitivesTest, AbsentFunctionReadsAllOnes) {
  machine_.AddPciFunction(0, 0, 0, 0x8086, 0x1237);
  EXPECT_EQ(PciReadConfigDword({0, 5, 0}, 0x00), 0xFFFFFFFFu);
  EXPECT_EQ(PciReadConfigDword({1, 0, 0}, 0x00), 0xFFFFFFFFu);
  EXPECT_EQ(PciReadConfigDword({0, 0, 0}, 0x00), 0x12378086u);
}

struct FieldCase {
  uint8_t offset;
  uint32_t mask;
  uint32_t expected;
};

TEST_F(PrimitivesTest, FieldReadShiftsTheDwordThatHoldsIt) {
  auto& f = machine_.AddPciFunction(0, 31, 3, 0x8086, 0x24D3, 0x02, 0x0C0500);
  f.SetDword(0x0C, 0x00AB0000);  // header type 0xAB, to tell it apart
  const FieldCase cases[] = {
      {0x0E, 0xFF, 0xAB},      // header type
      {0x02, 0xFFFF, 0x24D3},  // device ID
      {0x00, 0xFFFF, 0x8086},  // vendor ID
      {0x08, 0xFF, 0x02},      // revision ID
      {0x0B, 0xFF, 0x0C},      // base class
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(PciReadConfigField({0, 31, 3}, c.offset) & c.mask, c.expected)
        << "offset 0x" << std::hex << int(c.offset);
  }
}

TEST_F(PrimitivesTest, ConfigurationReachesThePlatformWithThePackedSlot) {
  machine_.AddPciFunction(1, 30, 6, 0x10DE, 0x0064);
  machine_.SetTracing(true);
  EXPECT_EQ(PciReadConfigDword({1, 30, 6}, 0x00), 0x006410DEu);
  const auto trace = machine_.Trace();
  ASSERT_EQ(trace.size(), 1u);
  // bus 1, slot = function 6 << 5 | device 30 = 0xDE, offset 0
  EXPECT_EQ(trace[0].where, (1u << 16) | (0xDEu << 8) | 0x00u);
}

TEST_F(PrimitivesTest, ConfigurationWriteStoresTheDword) {
  auto& f = machine_.AddPciFunction(0, 7, 3, 0x8086, 0x7113);
  PciWriteConfigDword({0, 7, 3}, 0x0000E801, 0x14);
  EXPECT_EQ(f.Dword(0x14), 0x0000E801u);
  PciWriteConfigDword({0, 7, 3}, 0xFFFFFFFF, 0x00);  // identifiers are read-only
  EXPECT_EQ(f.Dword(0x00), 0x71138086u);
}

TEST_F(PrimitivesTest, PortsReachTheClaimingDevice) {
  struct Latch : sim::PortDevice {
    uint8_t value = 0x5A;
    uint8_t Read8(uint16_t) override { return value; }
    void Write8(uint16_t, uint8_t v) override { value = v; }
  } latch;
  machine_.ClaimPorts(0xE437, 1, latch);
  EXPECT_EQ(PortReadByte(0xE437), 0x5A);
  PortWriteByte(0xE437, 0x03);
  EXPECT_EQ(latch.value, 0x03);
  EXPECT_EQ(PortReadByte(0xE438), 0xFF);  // nobody claims it
  EXPECT_EQ(PortReadWord(0x0400), 0xFFFF);
}

TEST_F(PrimitivesTest, MapAboveTwoGigabytesIsZeroExtended) {
  machine_.AddMemory(0xFEC00000, std::vector<uint8_t>{1, 2, 3, 4});
  auto* p = static_cast<uint8_t*>(MapPhysical(0xFEC00000u, 4));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[2], 3);
  UnmapPhysical(p, 4);
  ASSERT_EQ(machine_.MapRequests().size(), 1u);
  EXPECT_EQ(machine_.MapRequests()[0], 0x00000000FEC00000ull);
}

TEST_F(PrimitivesTest, InjectedMapFailureReturnsNull) {
  machine_.FailMapAt(0xF0000, 1);
  EXPECT_EQ(MapPhysical(0xF0000, 0x10000), nullptr);
  void* second = MapPhysical(0xF0000, 0x10000);
  EXPECT_NE(second, nullptr);
  UnmapPhysical(second, 0x10000);
}

TEST_F(PrimitivesTest, CopyBytesOfSevenIsOneDwordAndThreeBytes) {
  std::array<uint8_t, 12> source{}, destination{};
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(0x10 + i);
  destination.fill(0xEE);
  // Unaligned on both ends, to show that nothing assumes alignment.
  CopyBytes(destination.data() + 1, source.data() + 3, 7);
  const std::array<uint8_t, 12> expected{0xEE, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                         0x19, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(destination, expected);
}

TEST_F(PrimitivesTest, DelayAdvancesVirtualTimeOnly) {
  DelayMs(10);
  DelayMs(1);
  EXPECT_EQ(machine_.NowMs(), 11u);
  EXPECT_EQ(machine_.DelayCalls(), 2u);
}

TEST_F(PrimitivesTest, PoolIsTaggedAndCanBeMadeToFail) {
  void* a = PoolAlloc(36);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(machine_.Outstanding().size(), 1u);
  EXPECT_EQ(machine_.Outstanding()[0].tag, kPoolTag);
  EXPECT_EQ(machine_.Outstanding()[0].type, sim::PoolType::Paged);
  EXPECT_NE(machine_.LeakReport().find("tag 'dmio'"), std::string::npos);
  machine_.FailAllocation(2);
  void* b = PoolAlloc(8);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(PoolAlloc(8), nullptr);
  PoolFree(a);
  PoolFree(b);
}

TEST_F(PrimitivesTest, DebugHookFormatsAsPrintfDoes) {
  SetDebugPrintHook();
  ASSERT_NE(DebugPrintHook, nullptr);
  DebugPrintHook("smbcore:vid(%04x) did(%04x) rev(%02x)\n", 0x8086, 0x24D3, 2);
  DebugPrintHook("at %04X!!!\n", 0x800);
  EXPECT_EQ(machine_.DebugOutput(), "smbcore:vid(8086) did(24d3) rev(02)\nat 0800!!!\n");
}

}  // namespace
