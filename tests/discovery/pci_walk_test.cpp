// The bus walk and the device table, through simulated configuration space.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <vector>

#include "discovery/pci_walk.h"
#include "support/sim_test.h"

namespace {

using testsupport::SimTest;

struct Pos {
  int bus, device, function;
  bool operator==(const Pos&) const = default;
};

// The device table with canary records right behind its last entry, as many
// as the crowded board below has functions past the capacity: a walk that
// writes past the table changes the canary and nothing else of the fixture.
constexpr uint32_t kCanaryRecords = 13;
struct GuardedTable {
  PciDeviceRecord records[kPciDeviceTableCapacity];
  PciDeviceRecord canary[kCanaryRecords];
};
static_assert(offsetof(GuardedTable, canary) == sizeof(PciDeviceRecord) * kPciDeviceTableCapacity);
constexpr uint8_t kCanaryByte = 0xA5;

class PciWalkTest : public SimTest {
 protected:
  void SetUp() override {
    SetDebugPrintHook();
    std::memset(table_, 0, sizeof table_);
    std::memset(guarded_.canary, kCanaryByte, sizeof guarded_.canary);
  }

  void TearDown() override {
    const auto* canary = reinterpret_cast<const uint8_t*>(guarded_.canary);
    EXPECT_TRUE(std::all_of(canary, canary + sizeof guarded_.canary, [](uint8_t b) {
      return b == kCanaryByte;
    })) << "the walk wrote past the table's last record";
    SimTest::TearDown();
  }

  std::vector<Pos> Positions() {
    std::vector<Pos> out;
    for (PciLocation* p = PciWalkNext(nullptr); p != nullptr; p = PciWalkNext(p)) {
      out.push_back({p->Bus, p->Device, p->Function});
    }
    return out;
  }

  static void Collect(void* context, const PciFunctionInfo& f) {
    static_cast<std::vector<PciFunctionInfo>*>(context)->push_back(f);
  }

  uint32_t Walk() {
    uint32_t count = 0xDEADBEEF;
    WalkPciBuses(table_, &count, &Collect, &recognized_);
    return count;
  }

  GuardedTable guarded_;
  PciDeviceRecord (&table_)[kPciDeviceTableCapacity] = guarded_.records;
  std::vector<PciFunctionInfo> recognized_;
};

TEST_F(PciWalkTest, VisitsFunctionsBeyondZeroOnlyOnMultiFunctionDevices) {
  machine_.AddPciFunction(0, 0, 0, 0x8086, 0x2570);              // single-function
  machine_.AddPciFunction(0, 1, 0, 0x8086, 0x24D0, 0, 0, true);  // multi-function
  machine_.AddPciFunction(0, 1, 2, 0x8086, 0x24D1);
  const std::vector<Pos> visited = Positions();

  // 1 + 8 + 30 empty slots of 8 on bus 0, and 32 empty slots of 8 on bus 1.
  EXPECT_EQ(visited.size(), 1u + 8u + 30u * 8u + 32u * 8u);
  EXPECT_EQ(visited[0], (Pos{0, 0, 0}));
  EXPECT_EQ(visited[1], (Pos{0, 1, 0}));
  EXPECT_EQ(visited[8], (Pos{0, 1, 7}));
  EXPECT_EQ(visited[9], (Pos{0, 2, 0}));
  EXPECT_EQ(visited.back(), (Pos{1, 31, 7}));
  EXPECT_TRUE(std::is_sorted(visited.begin(), visited.end(), [](const Pos& a, const Pos& b) {
    return std::tie(a.bus, a.device, a.function) < std::tie(b.bus, b.device, b.function);
  }));
}

TEST_F(PciWalkTest, AnEmptySlotCostsEightPositionsEachReadAndFoundEmpty) {
  machine_.SetTracing(true);
  EXPECT_EQ(Walk(), 0u);
  std::vector<int> functionsReadAtSlot5;
  for (const sim::TraceEntry& e : machine_.Trace()) {
    const uint32_t bus = e.where >> 16, slot = (e.where >> 8) & 0xFF, offset = e.where & 0xFF;
    if (e.kind == sim::Access::ConfigRead && bus == 0 && (slot & 31) == 5 && offset == 0x00) {
      functionsReadAtSlot5.push_back(static_cast<int>(slot >> 5));
    }
  }
  EXPECT_EQ(functionsReadAtSlot5, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(recognized_.empty());
  EXPECT_TRUE(machine_.DebugLines().empty());
}

TEST_F(PciWalkTest, VendorZeroAndAllOnesAreEmpty) {
  machine_.AddPciFunction(0, 3, 0, 0x0000, 0x1234);
  machine_.AddPciFunction(0, 4, 0, 0xFFFF, 0x1234);
  machine_.AddPciFunction(0, 5, 0, 0x1106, 0x3057, 0x40);
  EXPECT_EQ(Walk(), 1u);
  EXPECT_EQ(table_[0].Device, 5u);
  ASSERT_EQ(recognized_.size(), 1u);
  EXPECT_EQ(recognized_[0].RevisionId, 0x40);
  EXPECT_EQ(machine_.DebugLines(),
            (std::vector<std::string>{"smbcore:vid(1106) did(3057) rev(40)"}));
}

TEST_F(PciWalkTest, ManyFunctionsFillTheTableAndTheCountGoesOn) {
  // Full eight-function devices spread over both buses, the last one short.
  constexpr uint32_t kFunctions = kPciDeviceTableCapacity + kCanaryRecords;
  uint32_t made = 0;
  for (int slot = 0; made < kFunctions; ++slot) {
    const uint8_t bus = static_cast<uint8_t>(slot / 32), device = static_cast<uint8_t>(slot % 32);
    for (uint8_t fn = 0; fn < 8 && made < kFunctions; ++fn, ++made) {
      machine_.AddPciFunction(bus, device, fn, 0x1000, static_cast<uint16_t>(made), 0, 0, fn == 0);
    }
  }
  EXPECT_EQ(Walk(), kFunctions);
  ASSERT_EQ(recognized_.size(), kFunctions);
  EXPECT_EQ(machine_.DebugLines().size(), kFunctions);
  for (uint32_t i = 0; i < kPciDeviceTableCapacity; ++i) {
    EXPECT_EQ(table_[i].DeviceId, i) << "record " << i << " out of walk order";
    EXPECT_EQ(table_[i].Reserved, 0u);
  }
  EXPECT_EQ(recognized_.back().DeviceId, kFunctions - 1);  // recognition still sees the last one
}

}  // namespace
