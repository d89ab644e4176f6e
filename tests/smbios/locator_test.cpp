// Finding the entry point in the BIOS area, copying the table once, and what
// each failure leaves in the status record.
#include <algorithm>
#include <vector>

#include "smbios_fixture.h"

namespace {

using smbiostest::SmbiosTest;

constexpr uint32_t kTableAddress = 0x00200000;

class LocatorTest : public SmbiosTest {};

// An entry point at `at` for a table at `table`: a small one (its product
// naming the anchor), or `size` bytes of a pattern; with the length it
// announces given separately when it should lie, and bytes `raise` and
// `lower` (if any) moved by +1 and -1. An entry point that states a length
// of its own (byte 5) sums that many bytes to zero, byte 0x1F holding 0x5A.
struct Anchor {
  uint32_t at;
  uint32_t table = kTableAddress;
  int announced = -1;  // -1: the table's own length
  size_t raise = 0, lower = 0;
  size_t size = 0;
  uint8_t stated = 0x1F;
};

std::vector<uint8_t> StatedLength(std::vector<uint8_t> ep, uint8_t stated) {
  if (stated == 0x1F) return ep;
  ep.resize(std::max<size_t>(stated, 0x21), 0x5A);
  ep[0x05] = stated;
  ep[0x04] = 0;
  uint8_t sum = 0;
  for (size_t i = 0; i < stated; ++i) sum = static_cast<uint8_t>(sum + ep[i]);
  ep[0x04] = static_cast<uint8_t>(-sum);
  return ep;
}

struct ScanCase {
  const char* name;
  std::vector<Anchor> anchors;
  std::vector<uint32_t> failMaps;  // addresses whose mapping fails
  int found;                       // the anchor whose table is returned; -1 none
  uint32_t code = 0, detailCount = 0, detail0 = 0, detail1 = 0;  // and a word past the count is 0
};

std::vector<uint8_t> TableOf(size_t index, const Anchor& a) {
  if (a.size == 0) {
    return sim::SmbiosBuilder()
        .SystemInformation("M", "table" + std::to_string(index), "V", "S")
        .PhysicalMemoryArray(2)
        .MemoryDevice(256, "A")
        .MemoryDevice(0, "B")
        .EndOfTable()
        .Build()
        .bytes;
  }
  std::vector<uint8_t> big(a.size);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 1);
  return big;
}

// Every anchor position, each broken entry point and failed mapping: which
// table the first query returns, and what it leaves in the status record,
// also when discovery's look at the board identity made the first call.
TEST_F(LocatorTest, TheFirstUsableTableIsCopiedAndEachFailureLeavesItsCode) {
  const Anchor good{0xF0040, 0x300000};
  const uint32_t n = static_cast<uint32_t>(TableOf(0, good).size());
  namespace E = OpError;
  constexpr uint32_t T = kTableAddress, kNone = E::SmbiosNoEntryPoint;
  // clang-format off
  const ScanCase cases[] = {
      {"anchor on the first boundary", {{0xF0000}}, {}, 0},
      {"anchor on the last boundary", {{0xFFFF0}}, {}, 0},
      {"the first of two usable tables", {{0xF4000}, {0xF8000, T + 0x1000}}, {}, 0},
      {"a table of the largest length", {{0xF0100, T, -1, 0, 0, 32768}}, {}, 0},
      {"anchors off the 16-byte grid", {{0xF0001}, {0xF1004}, {0xF2008}, {0xFFFF8}}, {}, -1, kNone},
      // A failed copy does not end the scan; 36 then replaces it, and with a
      // count of 0 no detail word of the copy's failure is left behind.
      {"table cannot be mapped", {{0xF0020}}, {T}, -1, kNone},
      {"length 0", {{0xF0020, T, 0}}, {}, -1, kNone},
      {"length 32769", {{0xF0020, T, 32769}}, {}, -1, kNone},
      {"entry point checksum wrong", {{0xF0020, T, -1, 0x06}}, {}, -1, kNone},
      {"intermediate checksum wrong", {{0xF0020, T, -1, 0x15, 0x06}}, {}, -1, kNone},
      // Byte 5 says how many bytes the sum covers, from 0x1E to 0x20.
      {"entry point of 30 bytes", {{0xF0020, T, -1, 0, 0, 0, 0x1E}}, {}, 0},
      {"entry point of 32 bytes", {{0xF0020, T, -1, 0, 0, 0, 0x20}}, {}, 0},
      {"entry point of 32 bytes at the last position", {{0xFFFF0, T, -1, 0, 0, 0, 0x20}}, {}, 0},
      {"entry point of 29 bytes", {{0xF0020, T, -1, 0, 0, 0, 0x1D}}, {}, -1, kNone},
      {"entry point of 33 bytes", {{0xF0020, T, -1, 0, 0, 0, 0x21}}, {}, -1, kNone},
      {"entry point of 255 bytes", {{0xF0020, T, -1, 0, 0, 0, 0xFF}}, {}, -1, kNone},
      {"no _DMI_ anchor, sums right", {{0xF0020, T, -1, 0x10, 0x11}}, {}, -1, kNone},
      {"entry point at the last position cannot be mapped", {{0xFFFF0}}, {0xFFFF0}, -1, kNone},
      // A failed first anchor is skipped, and its code stays although the
      // second anchor's table is returned.
      {"first table cannot be mapped", {{0xF0020}, good}, {T}, 1, E::SmbiosTableMap, 2, T, n},
      {"first length 0", {{0xF0020, T, 0}, good}, {}, 1, E::SmbiosTableLength, 1, 0, 0},
      {"first length 32769", {{0xF0020, T, 32769}, good}, {}, 1, E::SmbiosTableLength, 1, 32769, 0},
  };
  // clang-format on
  for (const bool lookedFirst : {false, true})
    for (const ScanCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (lookedFirst ? ", after a look" : ""));
      sim::Machine machine;
      sim::AttachScope attach(machine);
      ResetSmbiosCache();
      sim::AddBiosArea(machine);
      std::vector<std::vector<uint8_t>> tables;
      for (size_t i = 0; i < c.anchors.size(); ++i) {
        const Anchor& a = c.anchors[i];
        tables.push_back(TableOf(i, a));
        std::vector<uint8_t> ep = StatedLength(
            sim::EncodeEntryPoint(
                a.table, static_cast<uint16_t>(a.announced < 0 ? tables[i].size() : a.announced),
                4),
            a.stated);
        if (a.raise != 0) ++ep[a.raise];
        if (a.lower != 0) --ep[a.lower];
        sim::PlaceBytes(machine, a.at, ep);
        sim::PlaceBytes(machine, a.table, tables[i]);
      }
      for (uint32_t address : c.failMaps) machine.FailMapAt(address);

      uint16_t length = 0x5555;
      if (lookedFirst) {
        EXPECT_EQ(GetSmbiosTable(nullptr, &length) == nullptr, c.found < 0);
        length = 0x5555;
      }
      OpStatus status = Fresh();
      const uint8_t* table = GetSmbiosTable(&status, &length);
      if (c.found < 0) {
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(length, lookedFirst ? 0 : 0x5555) << "written on every call after the first";
      } else {
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(table, table + length), tables[c.found]);
        const auto maps = machine.MapRequests();
        for (size_t later = c.found + 1; later < c.anchors.size(); ++later) {
          EXPECT_EQ(std::count(maps.begin(), maps.end(), c.anchors[later].table), 0)
              << "the scan stops at the first table";
        }
      }
      EXPECT_EQ(status.Code, c.code);
      EXPECT_EQ(status.DetailCount, c.detailCount);
      EXPECT_EQ(status.Detail[0], c.detail0);
      EXPECT_EQ(status.Detail[1], c.detail1);
      EXPECT_EQ(status.HwCode, 0u);
      EXPECT_EQ(machine.OpenMappings(), 0u);
    }
}

}  // namespace
