// The slot and module counts: which structures each prefers, the values that
// do not count as a module, and the 8-bit counters.
#include <functional>

#include "smbios/memory_type.h"
#include "smbios/smbios.h"
#include "smbios/table_queries.h"
#include "smbios_fixture.h"

namespace {

using smbiostest::ExactTable;
using Fill = std::function<void(sim::SmbiosBuilder&)>;

struct CountCase {
  const char* name;
  Fill fill;
  uint8_t expected;
};

template <size_t N>
void ExpectCounts(uint8_t (*count)(const SmbiosTableRef&), const CountCase (&cases)[N]) {
  for (const CountCase& c : cases) {
    sim::SmbiosBuilder b;
    b.SystemInformation("M", "P", "V", "S");
    c.fill(b);
    b.EndOfTable();
    const ExactTable table(b.Build());
    EXPECT_EQ(count(table.Ref()), c.expected) << c.name;
  }
}

Fill Devices(int n, uint16_t size = 512) {
  return [=](sim::SmbiosBuilder& b) {
    for (int i = 0; i < n; ++i) b.MemoryDevice(size, "D");
  };
}

Fill Modules(std::initializer_list<uint8_t> sizes) {
  std::vector<uint8_t> v(sizes);
  return [v](sim::SmbiosBuilder& b) {
    for (uint8_t s : v) b.MemoryModule("S", s);
  };
}

Fill Both(Fill a, Fill b) {
  return [=](sim::SmbiosBuilder& builder) {
    a(builder);
    b(builder);
  };
}

Fill Array(uint16_t devices) {
  return [=](sim::SmbiosBuilder& b) { b.PhysicalMemoryArray(devices); };
}

Fill Controller(uint8_t slots) {
  return [=](sim::SmbiosBuilder& b) { b.MemoryController(slots); };
}

TEST(CountMemorySlots, PrefersArraysThenDevicesThenControllersThenModules) {
  const CountCase cases[] = {
      {"array of 4 and four devices", Both(Array(4), Devices(4)), 4},
      {"array of 2 wins over four devices", Both(Array(2), Devices(4)), 2},
      {"two arrays of 2", Both(Array(2), Array(2)), 4},
      {"array of 256 falls through to the devices", Both(Array(256), Devices(3)), 3},
      {"array of 256 alone", Array(256), 0},
      {"devices win over a controller", Both(Controller(4), Devices(3)), 3},
      {"two controllers of 2", Both(Controller(2), Controller(2)), 4},
      {"a controller wins over modules", Both(Controller(2), Modules({7, 7, 7})), 2},
      {"modules only, installed or not", Modules({0x7F, 7, 0x7D}), 3},
      {"empty devices count as slots", Devices(2, 0), 2},
      {"nothing about memory", [](sim::SmbiosBuilder&) {}, 0},
      {"300 devices wrap", Devices(300), 44},
      {"arrays of 200 and 100 wrap", Both(Array(200), Array(100)), 44},
  };
  ExpectCounts(CountSlotsInTable, cases);
}

TEST(CountMemoryModules, PrefersInstalledModulesThenPopulatedDevices) {
  const CountCase cases[] = {
      {"not installed, not enabled, not determinable", Modules({0x7F, 0x7E, 0x7D}), 0},
      {"double-bank and 0xFF count", Modules({0x7F, 0x83, 0xFF, 0x7E}), 2},
      {"empty and unknown sizes do not count", Both(Devices(1, 0), Devices(1, 0xFFFF)), 0},
      {"size 0x8000 counts", Both(Devices(1, 0x8000), Devices(1, 0)), 1},
      {"modules win over devices", Both(Modules({7, 7, 7}), Devices(4)), 3},
      {"no installed module: the devices", Both(Modules({0x7F, 0x7F}), Devices(2)), 2},
      {"300 populated devices wrap", Devices(300), 44},
      {"nothing about memory", [](sim::SmbiosBuilder&) {}, 0},
  };
  ExpectCounts(CountModulesInTable, cases);
}

Fill Typed(uint16_t size, uint8_t type) {
  return [=](sim::SmbiosBuilder& b) { b.MemoryDevice(size, "D", type); };
}

// Whether the memory devices say DDR4: every populated device that states a
// type states 0x1A; empty sockets and "other" or "unknown" types say nothing.
TEST(MemoryIsDdr4, OnlyWhenEveryPopulatedDeviceThatStatesATypeSaysDdr4) {
  const CountCase cases[] = {
      {"two DDR4 devices", Both(Typed(8192, 0x1A), Typed(8192, 0x1A)), 1},
      {"DDR4 and an empty DDR3 socket", Both(Typed(8192, 0x1A), Typed(0, 0x18)), 1},
      {"DDR4 and an unknown type", Both(Typed(8192, 0x1A), Typed(4096, 0x02)), 1},
      {"DDR4 and a DDR3 device", Both(Typed(8192, 0x1A), Typed(4096, 0x18)), 0},
      {"DDR3 only", Typed(4096, 0x18), 0},
      {"DDR4 of unknown size", Typed(0xFFFF, 0x1A), 0},
      {"no memory devices", Modules({7, 7}), 0},
  };
  ExpectCounts([](const SmbiosTableRef& table) -> uint8_t { return MemoryIsDdr4InTable(table); },
               cases);
  EXPECT_FALSE(MemoryIsDdr4InTable({nullptr, 0, 0})) << "no table";
}

}  // namespace
