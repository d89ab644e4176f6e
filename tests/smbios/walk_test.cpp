// The structure length rule and the walk's bounds: well-formed tables walk as
// the BIOS laid them out, and broken ones are never read past their end.
#include <array>

#include "smbios/structure_strings.h"
#include "smbios/structure_walk.h"
#include "smbios/table_queries.h"
#include "smbios_fixture.h"

namespace {

using smbiostest::ExactTable;

struct LengthCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint16_t expected;
};

TEST(StructureLength, FollowsTheStringSetExceptForType5) {
  const LengthCase cases[] = {
      {"empty set", {0x7F, 4, 0, 0, 0, 0}, 6},
      {"two strings", {1, 5, 0, 0, 9, 'a', 'b', 0, 'c', 0, 0}, 11},
      {"zero field in the formatted area", {1, 6, 0, 0, 0, 0, 'a', 0, 0}, 9},
      {"type 5, empty set", {5, 5, 0, 0, 2, 0, 0}, 7},
      {"type 5 followed by a string", {5, 5, 0, 0, 2, 'x', 0, 0}, 5},
      {"type 5 with one byte left", {5, 5, 0, 0, 2, 0}, 5},
      {"set not terminated", {1, 4, 0, 0, 'a', 'b', 0}, 7},
      {"formatted area past the end", {17, 0x1B, 0, 0, 1, 2}, 6},
  };
  for (const LengthCase& c : cases) {
    const ExactTable table(c.bytes);
    EXPECT_EQ(StructureLength(table.Ref().Table, table.Ref().Length), c.expected) << c.name;
  }
}

std::vector<uint8_t> Types(const SmbiosTableRef& table) {
  std::vector<uint8_t> types;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) types.push_back(s.Type);
  return types;
}

TEST(StructureWalk, EndsAtTheStructureCountOrTheTableEnd) {
  const auto image = sim::SmbiosBuilder()
                         .BiosInformation("a", "b", "c")
                         .MemoryController(2)
                         .MemoryModule("s", 7)
                         .EndOfTable()
                         .Build();
  const ExactTable table(image);
  EXPECT_EQ(Types(table.Ref()), (std::vector<uint8_t>{0, 5, 6, 127}));
  SmbiosTableRef limited = table.Ref();
  limited.StructureCount = 2;
  EXPECT_EQ(Types(limited), (std::vector<uint8_t>{0, 5}));
  limited.StructureCount = 0;
  EXPECT_EQ(Types(limited), std::vector<uint8_t>{});
  limited = table.Ref();
  limited.Length = 0;
  EXPECT_EQ(Types(limited), std::vector<uint8_t>{});
}

// Tables cut or broken at their end. Each case's bytes are exactly the table,
// so a read past it is caught by the address sanitizer.
struct BrokenCase {
  const char* name;
  std::vector<uint8_t> tail;  // appended after a well-formed type-16 array of 2 devices
  std::vector<uint8_t> types;
  uint8_t slots, modules;
};

TEST(StructureWalk, BrokenEndsAreWalkedWithinTheTable) {
  const auto head = sim::SmbiosBuilder().PhysicalMemoryArray(0).Build().bytes;
  auto device = sim::SmbiosBuilder().MemoryDevice(512, "DIMM").Build().bytes;
  device.pop_back();  // the set's closing zero
  device.pop_back();  // and the string's terminator
  // clang-format off
  const BrokenCase cases[] = {
      {"device whose string set runs to the end", device, {16, 17}, 1, 1},
      {"device cut before its size", {17, 0x1B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {16, 17}, 1, 0},
      {"device claiming a formatted area shorter than its size field",
       {17, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0}, {16, 17}, 1, 0},
      {"half a header", {17, 0x1B}, {16}, 0, 0},
      {"header shorter than a header", {17, 2, 0, 0, 0, 0}, {16}, 0, 0},
      {"type 5 with zero formatted length", {5, 0, 0, 0, 0, 0}, {16}, 0, 0},
      {"controller cut before its slot count", {5, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {16, 5}, 0, 0},
      {"module whose size is the last byte", {6, 0x0C, 0, 0, 0, 0, 0, 0, 0, 7}, {16, 6}, 1, 1},
  };
  // clang-format on
  for (const BrokenCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = head;
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    const ExactTable table(bytes);
    EXPECT_EQ(Types(table.Ref()), c.types);
    EXPECT_EQ(CountSlotsInTable(table.Ref()), c.slots);
    EXPECT_EQ(CountModulesInTable(table.Ref()), c.modules);
    std::array<uint8_t, 1024> report{};
    FillSystemInfoReport(report.data(), table.Ref());
  }
}

TEST(StructureWalk, AStringNotTerminatedInsideTheTableIsNotUsed) {
  std::vector<uint8_t> bytes =
      sim::SmbiosBuilder().SystemInformation("M", "P", "", "").Build().bytes;
  // A second system structure whose last string runs to the end of the table.
  const std::vector<uint8_t> cut = {1, 8, 0, 0, 1, 2, 0, 0, 'N', 'e', 'w', 0, 'c', 'u', 't'};
  bytes.insert(bytes.end(), cut.begin(), cut.end());
  const ExactTable table(bytes);
  std::array<uint8_t, 1024> report{};
  FillSystemInfoReport(report.data(), table.Ref());
  EXPECT_EQ(smbiostest::ReportField(report.data(), 0), "New");
  EXPECT_EQ(smbiostest::ReportField(report.data(), 1), "P");
}

}  // namespace
