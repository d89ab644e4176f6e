// Finding the entry point in the BIOS area, copying the table once, and what
// each failure leaves in the status record.
#include <vector>

#include "smbios_fixture.h"

namespace {

using smbiostest::SmbiosTest;

constexpr uint32_t kTableAddress = 0x00200000;

sim::SmbiosImage SmallTable(const std::string& product = "P") {
  return sim::SmbiosBuilder()
      .SystemInformation("M", product, "V", "S")
      .PhysicalMemoryArray(2)
      .MemoryDevice(256, "A")
      .MemoryDevice(0, "B")
      .EndOfTable()
      .Build();
}

class LocatorTest : public SmbiosTest {
 protected:
  // An entry point at `at` for `image` placed at `table`, with the length it
  // announces given separately when it should lie.
  void PlaceEntryPoint(uint32_t at, const sim::SmbiosImage& image, uint32_t table,
                       int announcedLength = -1) {
    const uint16_t length = announcedLength < 0 ? static_cast<uint16_t>(image.bytes.size())
                                                : static_cast<uint16_t>(announcedLength);
    sim::PlaceBytes(machine_, at, sim::EncodeEntryPoint(table, length, image.structureCount));
    sim::PlaceBytes(machine_, table, image.bytes);
  }

  // The first call, checking that the table it returns is the image's.
  void ExpectTableFound(const sim::SmbiosImage& image) {
    OpStatus status = FreshStatus();
    uint16_t length = 0;
    const uint8_t* table = GetSmbiosTable(&status, &length);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(length, image.bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(table, table + length), image.bytes);
    EXPECT_EQ(status.Code, 0u);
  }
};

TEST_F(LocatorTest, AnchorOnTheFirstAndLastSixteenByteBoundaryIsFound) {
  for (uint32_t at : {0xF0000u, 0xFFFF0u}) {
    SCOPED_TRACE(at);
    ResetSmbiosCache();
    sim::AddBiosArea(machine_);
    const auto image = SmallTable(std::to_string(at));
    PlaceEntryPoint(at, image, kTableAddress);
    ExpectTableFound(image);
  }
}

TEST_F(LocatorTest, TheFirstAnchorWithAUsableTableWins) {
  sim::AddBiosArea(machine_);
  const auto first = SmallTable("first"), second = SmallTable("second");
  PlaceEntryPoint(0xF4000, first, kTableAddress);
  PlaceEntryPoint(0xF8000, second, kTableAddress + 0x1000);
  ExpectTableFound(first);
  EXPECT_EQ(MapsAt(kTableAddress + 0x1000), 0u) << "the scan stops at the first table";
}

TEST_F(LocatorTest, TableOfTheLargestLengthIsCopiedWhole) {
  sim::AddBiosArea(machine_);
  std::vector<uint8_t> big(kSmbiosBufferSize);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 1);
  sim::PlaceBytes(machine_, 0xF0100, sim::EncodeEntryPoint(kTableAddress, 32768, 1));
  sim::PlaceBytes(machine_, kTableAddress, big);
  OpStatus status = FreshStatus();
  uint16_t length = 0;
  const uint8_t* table = GetSmbiosTable(&status, &length);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(length, 32768);
  EXPECT_EQ(std::vector<uint8_t>(table, table + length), big);
}

// What each failure of the first call leaves: the code, the detail count and
// the detail words (a word past the count is written as 0).
struct FailureCase {
  const char* name;
  void (*arrange)(sim::Machine&);
  uint32_t code, detailCount, detail0, detail1;
};

const sim::SmbiosImage& Table() {
  static const sim::SmbiosImage image = SmallTable();
  return image;
}

void Place(sim::Machine& m, uint32_t at, uint16_t announced, uint32_t table = kTableAddress) {
  sim::PlaceBytes(m, at, sim::EncodeEntryPoint(table, announced, Table().structureCount));
  sim::PlaceBytes(m, table, Table().bytes);
}

// An entry point at 0xF0020 with byte `a` moved by +1 (and `b`, if any, by -1).
void PlaceDamaged(sim::Machine& m, size_t a, size_t b = 0) {
  std::vector<uint8_t> ep = sim::EncodeEntryPoint(
      kTableAddress, static_cast<uint16_t>(Table().bytes.size()), Table().structureCount);
  ++ep[a];
  if (b != 0) --ep[b];
  sim::PlaceBytes(m, 0xF0020, ep);
  sim::PlaceBytes(m, kTableAddress, Table().bytes);
}

void ExpectOperationHalf(const OpStatus& status, uint32_t code, uint32_t detailCount,
                         uint32_t detail0, uint32_t detail1) {
  EXPECT_EQ(status.Code, code);
  EXPECT_EQ(status.DetailCount, detailCount);
  EXPECT_EQ(status.Detail[0], detail0);
  EXPECT_EQ(status.Detail[1], detail1);
}

const FailureCase kFailures[] = {
    {"bios area cannot be mapped",
     [](sim::Machine& m) {
       Place(m, 0xF0000, static_cast<uint16_t>(Table().bytes.size()));
       m.FailMapAt(0xF0000);
     },
     OpError::SmbiosScanMap, 2, 0xF0000, 0x10000},
    {"no anchor", [](sim::Machine&) {}, OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"anchors off the 16-byte grid",
     [](sim::Machine& m) {
       for (uint32_t at : {0xF0001u, 0xF1004u, 0xF2008u, 0xFFFF8u}) {
         Place(m, at, static_cast<uint16_t>(Table().bytes.size()));
       }
     },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    // A failed copy does not end the scan; 36 then replaces it, and with a
    // count of 0 no detail word of the copy's failure is left behind.
    {"table cannot be mapped",
     [](sim::Machine& m) {
       Place(m, 0xF0020, static_cast<uint16_t>(Table().bytes.size()));
       m.FailMapAt(kTableAddress);
     },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"length 0", [](sim::Machine& m) { Place(m, 0xF0020, 0); }, OpError::SmbiosNoEntryPoint, 0,
     0, 0},
    {"entry point checksum wrong", [](sim::Machine& m) { PlaceDamaged(m, 0x06); },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"intermediate checksum wrong", [](sim::Machine& m) { PlaceDamaged(m, 0x15, 0x06); },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"no _DMI_ anchor, sums right", [](sim::Machine& m) { PlaceDamaged(m, 0x10, 0x11); },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"length 32769", [](sim::Machine& m) { Place(m, 0xF0020, 32769); },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
    {"entry point at the last position cannot be mapped",
     [](sim::Machine& m) {
       Place(m, 0xFFFF0, static_cast<uint16_t>(Table().bytes.size()));
       m.FailMapAt(0xFFFF0);
     },
     OpError::SmbiosNoEntryPoint, 0, 0, 0},
};

TEST_F(LocatorTest, EachFailureLeavesItsCodeAndDetailWords) {
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    ResetSmbiosCache();
    sim::AddBiosArea(machine);
    c.arrange(machine);
    OpStatus status = FreshStatus();
    uint16_t length = 0x5555;
    EXPECT_EQ(GetSmbiosTable(&status, &length), nullptr);
    EXPECT_EQ(length, 0x5555);
    ExpectOperationHalf(status, c.code, c.detailCount, c.detail0, c.detail1);
    EXPECT_EQ(status.HwCode, 0u);
    EXPECT_EQ(machine.OpenMappings(), 0u);
  }
}

// A failed copy at the first anchor leaves its code although the second
// anchor's table is returned.
struct SkippedCase {
  const char* name;
  int announced;  // -1: the table's true length, with its mapping failing
  uint32_t code, detailCount, detail0, detail1;
};

TEST_F(LocatorTest, AFailedFirstAnchorIsSkippedAndItsCodeStays) {
  const uint32_t n = static_cast<uint32_t>(Table().bytes.size());
  const SkippedCase cases[] = {
      {"table cannot be mapped", -1, OpError::SmbiosTableMap, 2, kTableAddress, n},
      {"length 0", 0, OpError::SmbiosTableLength, 1, 0, 0},
      {"length 32769", 32769, OpError::SmbiosTableLength, 1, 32769, 0},
  };
  for (const SkippedCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    ResetSmbiosCache();
    sim::AddBiosArea(machine);
    Place(machine, 0xF0020, c.announced < 0 ? static_cast<uint16_t>(n)
                                            : static_cast<uint16_t>(c.announced));
    if (c.announced < 0) machine.FailMapAt(kTableAddress);
    const auto good = SmallTable("good");
    sim::PlaceBytes(machine, 0xF0040,
                    sim::EncodeEntryPoint(0x300000, static_cast<uint16_t>(good.bytes.size()),
                                          good.structureCount));
    sim::PlaceBytes(machine, 0x300000, good.bytes);

    OpStatus status = FreshStatus();
    uint16_t length = 0;
    const uint8_t* table = GetSmbiosTable(&status, &length);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(table, table + length), good.bytes);
    ExpectOperationHalf(status, c.code, c.detailCount, c.detail0, c.detail1);
    EXPECT_EQ(machine.OpenMappings(), 0u);
  }
}

TEST_F(LocatorTest, LaterCallsAfterAFailureReturnNoTableAndWriteNoCode) {
  machine_.FailMapAt(0xF0000, 1);  // only the first attempt would fail
  OpStatus first = FreshStatus();
  uint16_t length = 0;
  EXPECT_EQ(GetSmbiosTable(&first, &length), nullptr);
  EXPECT_EQ(first.Code, OpError::SmbiosScanMap);

  UseBoard("ich5");  // a table is there now, but the first call's outcome stands
  const size_t maps = machine_.MapRequests().size();
  OpStatus second = FreshStatus();
  length = 0x5555;
  EXPECT_EQ(GetSmbiosTable(&second, &length), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(second.Code, 0u);
  EXPECT_EQ(second.DetailCount, 0u);
  EXPECT_EQ(machine_.MapRequests().size(), maps) << "physical memory is not touched again";
}

TEST_F(LocatorTest, LaterCallsServeTheCopyWithoutTouchingMemory) {
  UseBoard("ich5");
  OpStatus status = FreshStatus();
  uint16_t firstLength = 0;
  const uint8_t* first = GetSmbiosTable(&status, &firstLength);
  ASSERT_NE(first, nullptr);
  const std::vector<uint8_t> copy(first, first + firstLength);
  const size_t maps = machine_.MapRequests().size();
  EXPECT_EQ(maps, 2u) << "one window, one table";

  // The table in memory changes; the copy does not.
  sim::PlaceBytes(machine_, sim::FindBoard("ich5")->smbios.tableAddress, std::vector<uint8_t>(firstLength, 0));
  uint16_t length = 0;
  EXPECT_EQ(GetSmbiosTable(&status, &length), first);
  EXPECT_EQ(length, firstLength);
  EXPECT_EQ(std::vector<uint8_t>(first, first + length), copy);
  EXPECT_EQ(machine_.MapRequests().size(), maps);
}

}  // namespace
