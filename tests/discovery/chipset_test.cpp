// Chipset recognition and the controller it builds: every row of the direct
// table, the SiS and ALi decisions after the walk, what ChipsetInfo holds in
// each outcome, and the debug output that tells the story. What it makes of
// each whole board the contract suite checks through the driver.
#include <string>
#include <tuple>
#include <vector>

#include "discovery/backends.h"
#include "discovery/chipset.h"
#include "support/sim_test.h"

namespace {

using testsupport::SimTest;

struct AcquireCall {
  std::string backend;
  uint32_t base;
  int32_t variant;
  PciLocation m7101{};
};

std::vector<AcquireCall> g_calls;
int32_t g_result = 0;

template <const char* Name>
int32_t Record(SmbusController*, uint32_t base, int32_t variant) {
  g_calls.push_back({Name, base, variant});
  return g_result;
}
int32_t RecordAli(SmbusController*, uint32_t base, PciLocation m7101) {
  g_calls.push_back({"ali", base, 0, m7101});
  return g_result;
}
int32_t RecordMcp(SmbusController*, PciLocation function, int32_t) {
  g_calls.push_back({"mcp", 0, 0, function});
  return g_result;
}
int32_t RecordLaterIntel(SmbusController*, uint32_t base, PciLocation function) {
  g_calls.push_back({"intel-later", base, 2, function});
  return g_result;
}
int32_t RecordFunction(SmbusController*, PciLocation function, int32_t chip) {
  g_calls.push_back({"piix4compat", 0, chip, function});
  return g_result;
}

constexpr char kIntel[] = "intel", kAmd[] = "amd", kVia[] = "via", kNv[] = "nv0064",
               kSis[] = "sis", kI2c[] = "i2c", kMcp[] = "mcp", kM1563[] = "m1563",
               kLaterIntel[] = "intel-later";

class ChipsetTest : public SimTest {
 protected:
  void SetUp() override {
    saved_ = DiscoveryBackends;
    g_calls.clear();
    g_result = 0;
  }
  void TearDown() override {
    if (controller_ != nullptr) ReleaseController(controller_);
    DiscoveryBackends = saved_;
    SimTest::TearDown();
  }

  // Every back-end replaced by one that records its arguments and installs nothing.
  void RecordAcquires(int32_t result) {
    g_result = result;
    DiscoveryBackends = {&Record<kIntel>, &Record<kAmd>, &Record<kVia>, &Record<kNv>,
                         &Record<kSis>,   &Record<kI2c>, &RecordAli,
                         &RecordMcp,      &Record<kM1563>, &RecordLaterIntel, &RecordFunction};
  }

  void Discover() {
    InitOpStatus(&status_);
    info_ = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0};
    count_ = 0xDEAD;
    controller_ = DiscoverChipset(&status_, &info_, table_, &count_);
    ASSERT_NE(controller_, nullptr);
  }

  // Debug lines other than the walk's per-function lines.
  static std::vector<std::string> MessagesOf(const sim::Machine& machine) {
    std::vector<std::string> out;
    for (const std::string& line : machine.DebugLines()) {
      if (line.rfind("smbcore:vid(", 0) != 0) out.push_back(line);
    }
    return out;
  }
  std::vector<std::string> Messages() { return MessagesOf(machine_); }

  struct Outcome {
    bool available = false;
    bool slotsFilled = false;
    ChipsetInfoRecord info{};
    uint32_t count = 0;
    uint32_t code = 0;
    std::vector<std::string> messages;
  };

  // Discovery on another machine, attached for the run; the controller is
  // released before returning and the pool must be left empty.
  Outcome RunOn(sim::Machine& machine) {
    sim::AttachScope attach(machine);
    g_calls.clear();
    machine.ClearDebugOutput();
    OpStatus status;
    InitOpStatus(&status);
    Outcome out;
    out.info = {1, 1, 1, 1, 1, 0};
    SmbusController* controller = DiscoverChipset(&status, &out.info, table_, &out.count);
    EXPECT_NE(controller, nullptr);
    if (controller == nullptr) return out;
    out.available = controller->Unavailable == 0;
    out.slotsFilled = controller->ReadWord != nullptr;
    out.code = status.Code;
    out.messages = MessagesOf(machine);
    ReleaseController(controller);
    EXPECT_EQ(machine.LeakReport(), "");
    return out;
  }

  static ChipsetInfoRecord At(uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ven,
                              uint32_t did) {
    return {bus, dev, fn, ven, did, 0};
  }
  static void ExpectInfo(const ChipsetInfoRecord& got, const ChipsetInfoRecord& want) {
    EXPECT_EQ(got.Bus, want.Bus);
    EXPECT_EQ(got.Device, want.Device);
    EXPECT_EQ(got.Function, want.Function);
    EXPECT_EQ(got.VendorId, want.VendorId);
    EXPECT_EQ(got.DeviceId, want.DeviceId);
    EXPECT_EQ(got.Reserved, 0u);
  }

  ChipsetBackends saved_{};
  OpStatus status_{};
  ChipsetInfoRecord info_{};
  PciDeviceRecord table_[kPciDeviceTableCapacity]{};
  uint32_t count_ = 0;
  SmbusController* controller_ = nullptr;
};

// ---------------------------------------------------------------- boards

TEST_F(ChipsetTest, AliBoardGetsItsBaseWrittenOnce) {
  UseBoard("ali1535");
  machine_.SetTracing(true);
  RecordAcquires(-1);
  Discover();
  std::vector<sim::TraceEntry> writes;
  for (const sim::TraceEntry& e : machine_.Trace()) {
    if (e.kind == sim::Access::ConfigWrite) writes.push_back(e);
  }
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].where, (0u << 16) | (17u << 8) | 0x14u);
  EXPECT_EQ(writes[0].value, 0x0000E801u);
  EXPECT_EQ(machine_.FindPciFunction(0, 17, 0)->Dword(0x14), 0x0000E801u);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].backend, "ali");
  EXPECT_EQ(g_calls[0].base, 0xE800u);
  EXPECT_EQ(g_calls[0].m7101.Device, 17);
  EXPECT_NE(controller_->Unavailable, 0u);
}

// ---------------------------------------------------------------- direct rows

struct DirectCase {
  uint16_t vendor, device;
  uint8_t revision;
  uint8_t baseRegister;
  uint32_t baseValue;
  const char* backend;
  uint32_t base;
  int32_t variant;
  std::string message;  // "" = none
};

TEST_F(ChipsetTest, EveryDirectRowReadsItsBaseAndCallsItsBackEnd) {
  const DirectCase cases[] = {
      {0x8086, 0x7113, 0x02, 0x90, 0x00005001, kIntel, 0x5000, 0, ""},
      {0x8086, 0x2413, 0x01, 0x20, 0x0000E801, kIntel, 0xE800, 1, ""},
      {0x8086, 0x2423, 0x01, 0x20, 0x12340C0F, kIntel, 0x0C00, 1, ""},
      {0x8086, 0x2443, 0x01, 0x20, 0x00000401, kIntel, 0x0400, 1, ""},
      {0x8086, 0x2453, 0x01, 0x20, 0x00000401, kIntel, 0x0400, 1, ""},
      {0x8086, 0x2483, 0x01, 0x20, 0x00000401, kIntel, 0x0400, 1, ""},
      {0x8086, 0x24C3, 0x01, 0x20, 0x00000881, kIntel, 0x0880, 1, ""},
      {0x8086, 0x24D3, 0x02, 0x20, 0x00000401, kIntel, 0x0400, 1, ""},
      {0x1022, 0x740B, 0x00, 0x58, 0x000050A1, kAmd, 0x5000, 0, ""},
      {0x1022, 0x7413, 0x00, 0x58, 0x0000E4FF, kAmd, 0xE400, 0, ""},
      {0x1022, 0x7443, 0x00, 0x58, 0x0000E4FF, kAmd, 0xE400, 0, ""},
      {0x10DE, 0x01B4, 0x00, 0x10, 0x00005001, kAmd, 0x4F20, 0, ""},
      {0x10DE, 0x0064, 0x00, 0x50, 0x00005001, kNv, 0x5000, 1, ""},
      // Bit 6 of the base is an address bit that an AMD-style 0xFF00 mask drops.
      {0x10DE, 0x01B4, 0x00, 0x10, 0x00005041, kAmd, 0x4F60, 0, ""},
      {0x10DE, 0x0064, 0x00, 0x50, 0x00005041, kNv, 0x5040, 1, ""},
      {0x1106, 0x3040, 0x00, 0x20, 0x00006001, kI2c, 0x6000, 1,
       "smbcore: Found VIA 586B Revision E"},
      {0x1106, 0x3040, 0x01, 0x48, 0x00006101, kI2c, 0x6100, 1,
       "smbcore: Found VIA 586B Revision F"},
      {0x1106, 0x3040, 0x10, 0x48, 0x00006101, kI2c, 0x6100, 1,
       "smbcore: Found VIA 586B Prod-Rev A"},
      {0x1106, 0x3040, 0x3A, 0x48, 0x00006101, kI2c, 0x6100, 1,
       "smbcore: Found VIA 586B, revid: 3A"},
      {0x1106, 0x3050, 0x00, 0x90, 0x00005001, kVia, 0x5000, 0, "smbcore: Found VIA 596A"},
      {0x1106, 0x3051, 0x00, 0x90, 0x00005001, kVia, 0x5000, 0, "smbcore: Found VIA 596B"},
      {0x1106, 0x3057, 0x00, 0x90, 0x00005001, kVia, 0x5000, 1, "smbcore: Found VIA 686"},
      {0x1106, 0x3057, 0x01, 0x90, 0x00005001, kVia, 0x5000, 1, "smbcore: Found VIA 686A"},
      {0x1106, 0x3057, 0x04, 0x90, 0x00005001, kVia, 0x5000, 1, "smbcore: Found VIA 686B"},
      {0x1106, 0x3057, 0x40, 0x90, 0x00005001, kVia, 0x5000, 1,
       "smbcore: Found VIA 686,  unknown revid: 40"},
      {0x1106, 0x8235, 0x10, 0x90, 0x00005001, kVia, 0x5000, 3,
       "smbcore: Found VIA VT8231 rev=10"},
      {0x1106, 0x3074, 0x00, 0xD0, 0x00000401, kVia, 0x0400, 3,
       "smbcore: Found VIA VT8233/5 device=3074, rev=00"},
      {0x1106, 0x3109, 0x00, 0xD0, 0x00000401, kVia, 0x0400, 3,
       "smbcore: Found VIA VT8233/5 device=3109, rev=00"},
      {0x1106, 0x3147, 0x00, 0xD0, 0x00000401, kVia, 0x0400, 3,
       "smbcore: Found VIA VT8233/5 device=3147, rev=00"},
      {0x1106, 0x3177, 0x0E, 0xD0, 0x00000401, kVia, 0x0400, 3,
       "smbcore: Found VIA VT8233/5 device=3177, rev=0E"},
      {0x1106, 0x3227, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VT8237R rev=01"},
      {0x1106, 0x3337, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VT8237A rev=01"},
      {0x1106, 0x3372, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VT8237S rev=01"},
      {0x1106, 0x3287, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VT8251 rev=01"},
      {0x1106, 0x8324, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA CX700 rev=01"},
      {0x1106, 0x8353, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VX800/820 rev=01"},
      {0x1106, 0x8409, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VX855/875 rev=01"},
      {0x1106, 0x8410, 0x01, 0xD0, 0x00010C01, kVia, 0x0C00, 3, "smbcore: Found VIA VX900 rev=01"},
      {0x10B9, 0x1563, 0x70, 0x80, 0x0000C803, kM1563, 0xC800, 0, "smbcore: Found ALi M1563 rev=70"},
      // The MCPs find their channels' bases themselves: the call carries the function.
      {0x10DE, 0x0084, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia nForce2 Ultra 400 rev=A2"},
      {0x10DE, 0x00D4, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia nForce3 Pro150 rev=A2"},
      {0x10DE, 0x00E4, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia nForce3 250Gb rev=A2"},
      {0x10DE, 0x0052, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia CK804 rev=A2"},
      {0x10DE, 0x0034, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP04 rev=A2"},
      {0x10DE, 0x0264, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP51 rev=A2"},
      {0x10DE, 0x0368, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP55 rev=A2"},
      {0x10DE, 0x03EB, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP61 rev=A2"},
      {0x10DE, 0x0446, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP65 rev=A2"},
      {0x10DE, 0x0542, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP67 rev=A2"},
      {0x10DE, 0x07D8, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP73 rev=A2"},
      {0x10DE, 0x0752, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP78S rev=A2"},
      {0x10DE, 0x0AA2, 0xA2, 0x20, 0x00001C01, kMcp, 0, 0, "smbcore: Found nVidia MCP79 rev=A2"},
       {0x8086, 0x266A, 0x00, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH6"},
      {0x8086, 0x27DA, 0x01, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH7/NM10"},
      {0x8086, 0x283E, 0x02, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH8"},
      {0x8086, 0x2930, 0x03, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH9"},
      {0x8086, 0x3A30, 0x04, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH10"},
      {0x8086, 0x3A60, 0x05, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel ICH10D"},
      {0x8086, 0x3B30, 0x06, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 5-series/3400"},
      {0x8086, 0x1C22, 0x07, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 6-series"},
      {0x8086, 0x1D22, 0x08, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel C600/X79"},
      {0x8086, 0x1E22, 0x09, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 7-series"},
      {0x8086, 0x8C22, 0x0A, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 8-series"},
      {0x8086, 0x9C22, 0x0B, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 8-series LP"},
      {0x8086, 0x8CA2, 0x0C, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 9-series"},
      {0x8086, 0x9CA2, 0x0D, 0x20, 0x0000F05F, kLaterIntel, 0xF040, 2, "smbcore: Found Intel 9-series LP"},
  };
  for (const DirectCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.vendor << ":" << c.device << " rev "
                                    << int(c.revision));
    sim::Machine machine;
    machine.AddPciFunction(0, 7, 4, c.vendor, c.device, c.revision, 0, false);
    machine.AddPciFunction(0, 7, 0, 0x1234, 0x0001, 0, 0, true);
    // Every other register a row may read holds another value, so a row
    // that reads the wrong register shows.
    for (uint8_t reg : {0x10, 0x20, 0x48, 0x50, 0x58, 0x80, 0x90, 0xD0}) {
      machine.FindPciFunction(0, 7, 4)->SetDword(reg, 0x0000F0F1);
    }
    machine.FindPciFunction(0, 7, 4)->SetDword(c.baseRegister, c.baseValue);
    for (int32_t result : {0, -1}) {
      RecordAcquires(result);
      const Outcome out = RunOn(machine);
      ASSERT_EQ(g_calls.size(), 1u);
      EXPECT_EQ(g_calls[0].backend, c.backend);
      EXPECT_EQ(g_calls[0].base, c.base);
      EXPECT_EQ(g_calls[0].variant, c.variant);
      if (c.backend == kMcp || c.backend == kLaterIntel) {  // its location
        EXPECT_EQ(g_calls[0].m7101.Device, 7);
        EXPECT_EQ(g_calls[0].m7101.Function, 4);
      }
      EXPECT_EQ(out.messages, c.message.empty() ? std::vector<std::string>{}
                                                : std::vector<std::string>{c.message});
      EXPECT_EQ(out.available, result == 0);
      ExpectInfo(out.info, result == 0 ? At(0, 7, 4, c.vendor, c.device) : At(0, 0, 0, 0, 0));
      EXPECT_EQ(out.count, 2u);
    }
  }
}

// The PIIX4-compatible hosts find their own base: their rows hand the
// function and the chip to their back-end, which decides by revision.
TEST_F(ChipsetTest, Piix4CompatibleRowsHandTheFunctionAndChipToTheirBackEnd) {
  const std::pair<uint16_t, uint16_t> legacy[] = {{0x1166, 0x0200}, {0x1166, 0x0201},
                                                  {0x1166, 0x0203}, {0x1166, 0x0205},
                                                  {0x1166, 0x0408}, {0x1002, 0x4353},
                                                  {0x1002, 0x4363}, {0x1002, 0x4372}};
  std::vector<std::tuple<uint16_t, uint16_t, int32_t>> rows;
  for (const auto& [vendor, device] : legacy) rows.emplace_back(vendor, device, 0);
  rows.emplace_back(0x1002, 0x4385, 1);
  rows.emplace_back(0x1022, 0x780B, 2);
  rows.emplace_back(0x1022, 0x790B, 3);
  for (const auto& [vendor, device, chip] : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << vendor << ":" << device);
    sim::Machine machine;
    machine.AddPciFunction(0, 20, 0, vendor, device, 0x42, 0, true);
    for (int32_t result : {0, -1}) {
      RecordAcquires(result);
      const Outcome out = RunOn(machine);
      ASSERT_EQ(g_calls.size(), 1u);
      EXPECT_EQ(g_calls[0].backend, "piix4compat");
      EXPECT_EQ(g_calls[0].variant, chip);
      EXPECT_EQ(g_calls[0].m7101.Device, 20);
      EXPECT_EQ(out.available, result == 0);
      ExpectInfo(out.info, result == 0 ? At(0, 20, 0, vendor, device) : At(0, 0, 0, 0, 0));
    }
  }
}

// A south bridge whose BIOS never programmed the SMBus base: the back-end
// is not set up and not a port is touched.
TEST_F(ChipsetTest, UnprogrammedBaseEndsUnavailableWithTheRowsMessageAndNoPortTouched) {
  machine_.AddPciFunction(0, 17, 0, 0x1106, 0x3057, 0x04).SetDword(0x90, 0x0001);
  Discover();
  EXPECT_NE(controller_->Unavailable, 0u);
  EXPECT_EQ(controller_->ReadWord, nullptr);
  EXPECT_EQ(Messages(), std::vector<std::string>{"smbcore: Found VIA 686B"});
  ExpectInfo(info_, At(0, 0, 0, 0, 0));
  EXPECT_EQ(machine_.PortAccesses(), 0u);
}

// The later VIA hosts answer while bit 0 of byte 0xD2 is set, the M1563's
// while bits 0 (I/O) and 1 (host) of word 0x80 are: with one clear the row
// announces itself and nothing is set up, not a port touched.
TEST_F(ChipsetTest, AHostLeftDisabledIsNotSetUp) {
  struct Case {
    uint16_t vendor, device;
    uint8_t reg;
    uint32_t value;
    const char* message;
  };
  const Case cases[] = {
      {0x1106, 0x3227, 0xD0, 0x00000401, "smbcore: Found VIA VT8237R rev=00"},
      {0x1106, 0x8410, 0xD0, 0x00FE0401, "smbcore: Found VIA VX900 rev=00"},
      {0x10B9, 0x1563, 0x80, 0x0000C801, "smbcore: Found ALi M1563 rev=00"},
      {0x10B9, 0x1563, 0x80, 0x0000C802, "smbcore: Found ALi M1563 rev=00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    sim::Machine machine;
    machine.AddPciFunction(0, 17, 0, c.vendor, c.device, 0).SetDword(c.reg, c.value);
    const Outcome out = RunOn(machine);
    EXPECT_FALSE(out.available);
    EXPECT_EQ(out.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(machine.PortAccesses(), 0u);
  }
}

// The C600's extra hosts carry no SPDs: no candidates, no message.
TEST_F(ChipsetTest, TheC600ExtraHostsAreNoCandidates) {
  RecordAcquires(0);
  for (uint16_t device : {0x1D70, 0x1D71, 0x1D72}) {
    machine_.AddPciFunction(0, 17, static_cast<uint8_t>(device & 7), 0x8086, device, 0, 0x0C0500)
        .SetDword(0x20, 0x0401);
  }
  Discover();
  EXPECT_TRUE(g_calls.empty());
  EXPECT_TRUE(Messages().empty());
  EXPECT_NE(controller_->Unavailable, 0u);
}

TEST_F(ChipsetTest, OnlyTheFirstDirectCandidateIsTried) {
  RecordAcquires(-1);
  machine_.AddPciFunction(0, 7, 0, 0x8086, 0x7113).SetDword(0x90, 0x5001);
  machine_.AddPciFunction(0, 31, 0, 0x8086, 0x24D3).SetDword(0x20, 0x0401);
  Discover();
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].base, 0x5000u);
  EXPECT_EQ(count_, 2u);
  EXPECT_EQ(table_[1].DeviceId, 0x24D3u);
  EXPECT_NE(controller_->Unavailable, 0u);
}

TEST_F(ChipsetTest, Via586OnlyAnnouncesItself) {
  struct Case {
    uint8_t revision;
    const char* message;
  };
  for (const Case c : {Case{0x00, "smbcore: Found VIA 586"}, Case{0x02, "smbcore: Found VIA 586A"},
                       Case{0x04, "smbcore: Found VIA 586B"},
                       Case{0x27, "smbcore: Found VIA 586,  unknown revid: 27"}}) {
    sim::Machine machine;
    machine.AddPciFunction(0, 7, 0, 0x1106, 0x0586, c.revision);
    RecordAcquires(0);
    const Outcome out = RunOn(machine);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_FALSE(out.available);
    EXPECT_EQ(out.messages, std::vector<std::string>{c.message});
  }
  // With a 586B south bridge function next to it, the bit-banged bus is used.
  machine_.AddPciFunction(0, 7, 0, 0x1106, 0x0586, 0x04, 0, true);
  machine_.AddPciFunction(0, 7, 3, 0x1106, 0x3040, 0x01).SetDword(0x48, 0x00006101);
  RecordAcquires(0);
  g_calls.clear();
  Discover();
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].backend, "i2c");
  EXPECT_EQ(g_calls[0].variant, 1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"smbcore: Found VIA 586B",
                                                  "smbcore: Found VIA 586B Revision F"}));
}

TEST_F(ChipsetTest, DirectCandidateAfterGatheredOnesWins) {
  machine_.AddPciFunction(0, 0, 0, 0x1039, 0x0630);
  machine_.AddPciFunction(0, 2, 0, 0x10B9, 0x1533, 0xC3);
  machine_.AddPciFunction(0, 31, 3, 0x8086, 0x24C3).SetDword(0x20, 0x0401);
  Discover();
  EXPECT_EQ(controller_->Unavailable, 0u);
  ExpectInfo(info_, At(0, 31, 3, 0x8086, 0x24C3));
  EXPECT_TRUE(Messages().empty()) << "no SiS or ALi decision after a direct match";
}

TEST_F(ChipsetTest, FailedDirectMatchKeepsTheLastGatheredRecord) {
  machine_.AddPciFunction(0, 0, 0, 0x1039, 0x0630);
  machine_.AddPciFunction(0, 31, 3, 0x8086, 0x24C3).SetDword(0x20, 0x0401);
  machine_.FailAllocation(2);  // the controller is the first, the Intel context the second
  Discover();
  EXPECT_NE(controller_->Unavailable, 0u);
  EXPECT_EQ(controller_->Context, nullptr);
  ExpectInfo(info_, At(0, 0, 0, 0x1039, 0x0630));
  EXPECT_EQ(count_, 2u);
  EXPECT_TRUE(Messages().empty());
}

// ---------------------------------------------------------------- SiS

struct SisFunction {
  uint16_t device;
  uint16_t word90, word74;
};

struct SisCase {
  const char* what;
  std::vector<SisFunction> functions;
  std::vector<std::string> messages;
  std::vector<std::pair<std::string, uint32_t>> calls;  // back-end, base
  ChipsetInfoRecord info;
};

TEST_F(ChipsetTest, SisClassificationsAndAttempts) {
  const SisCase cases[] = {
      {"unknown SiS parts only", {{0x5513, 0, 0}},
       {"smbcore: Detected a possibly indeterminant SIS host device(3)."}, {}, At(0, 0, 0, 0, 0)},
      {"5595 with its base", {{0x0008, 0x0800, 0}, {0x0009, 0, 0}},
       {"smbcore: Detected a SIS 5595", "smbcore: SIS 5595 detected at 0800!!!"},
       {{"sis", 0x0800}}, At(0, 0, 0, 0, 0)},
      {"5595 without a base", {{0x0008, 0, 0}, {0x0009, 0, 0}},
       {"smbcore: Detected a SIS 5595", "smbcore: SIS 5595 found with NO ACPI base."}, {},
       At(0, 0, 0, 0, 0)},
      {"5595 next to another host", {{0x0008, 0x0800, 0}, {0x0009, 0, 0}, {0x0630, 0, 0}},
       {"smbcore: Detected a SIS 5595"}, {}, At(0, 3, 0, 0x1039, 0x0630)},
      {"96x without a base", {{0x0645, 0, 0}, {0x0008, 0x0800, 0}},
       {"smbcore: Detected a SIS 96X", "smbcore: SIS 96x found with NO ACPI base."}, {},
       At(0, 1, 0, 0x1039, 0x0645)},
      {"96x base from the first nonzero word 0x74, 5595 base from the last",
       {{0x0008, 0x0111, 0}, {0x0961, 0x0222, 0x0C00}, {0x0008, 0x0333, 0x0D00}},
       {"smbcore: Detected a SIS 96X", "smbcore: SIS 96x detected at 0C00!!!"},
       {{"i2c", 0x0C00}}, At(0, 2, 0, 0x1039, 0x0961)},
      {"power management after a 96x part stays 96x", {{0x0745, 0, 0}, {0x0009, 0, 0},
       {0x0008, 0, 0x0E00}},
       {"smbcore: Detected a SIS 96X", "smbcore: SIS 96x detected at 0E00!!!"},
       {{"i2c", 0x0E00}}, At(0, 1, 0, 0x1039, 0x0745)},
  };
  for (const SisCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine;
    uint8_t device = 1;
    for (const SisFunction& f : c.functions) {
      auto& fn = machine.AddPciFunction(0, device++, 0, 0x1039, f.device);
      fn.SetDword(0x90, f.word90 | 0xABCD0000u);  // the high word is not part of the base
      fn.SetDword(0x74, f.word74 | 0x12340000u);
    }
    RecordAcquires(-1);
    const Outcome out = RunOn(machine);
    EXPECT_EQ(out.messages, c.messages);
    std::vector<std::pair<std::string, uint32_t>> calls;
    for (const AcquireCall& call : g_calls) {
      calls.push_back({call.backend, call.base});
      EXPECT_EQ(call.variant, call.backend == "sis" ? 1 : 0);
    }
    EXPECT_EQ(calls, c.calls);
    ExpectInfo(out.info, c.info);
    EXPECT_FALSE(out.available);
    EXPECT_EQ(out.count, c.functions.size());
  }
}

TEST_F(ChipsetTest, InstalledSisBackEndEndsDiscoveryBeforeAli) {
  UseBoard("sis5595");
  machine_.AddPciFunction(0, 2, 0, 0x10B9, 0x1533, 0x00);
  machine_.AddPciFunction(0, 3, 0, 0x10B9, 0x7101).SetDword(0xE0, 0x50000000);
  RecordAcquires(0);
  Discover();
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].backend, "sis");
  EXPECT_EQ(controller_->Unavailable, 0u);
  ExpectInfo(info_, At(0, 3, 0, 0x10B9, 0x7101));
}

// ---------------------------------------------------------------- ALi

struct AliCase {
  const char* what;
  bool m1533;
  uint8_t revision;
  bool m7101;
  uint32_t dwordE0, dword14;
  int expectWrites;
  std::vector<uint32_t> calls;  // bases handed to the ALi back-end
  std::vector<std::string> messages;
};

TEST_F(ChipsetTest, AliBaseRule) {
  const AliCase cases[] = {
      {"revision 0 takes base A", true, 0x00, true, 0x50310000, 0x0000E801, 0, {0x5020}, {}},
      {"revision 0 with an empty base A", true, 0x00, true, 0x001F0000, 0x0000E801, 0, {},
       {"ali 1535 found with empty SMBus base"}},
      {"later revision takes base B", true, 0xC3, true, 0x50310000, 0x0000D03F, 0, {0xD020},
       {}},
      {"later revision with an empty base B", true, 0xC3, true, 0, 0x00000001, 1, {0xE800}, {}},
      {"M7101 alone", false, 0, true, 0x50310000, 0x0000D001, 0, {}, {}},
      {"M1533 alone", true, 0xC3, false, 0, 0, 0, {}, {}},
  };
  for (const AliCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine;
    if (c.m1533) machine.AddPciFunction(0, 7, 0, 0x10B9, 0x1533, c.revision);
    if (c.m7101) {
      auto& f = machine.AddPciFunction(0, 17, 0, 0x10B9, 0x7101);
      f.SetDword(0xE0, c.dwordE0);
      f.SetDword(0x14, c.dword14);
    }
    RecordAcquires(-1);
    const Outcome out = RunOn(machine);
    EXPECT_EQ(machine.ConfigWrites(), static_cast<uint64_t>(c.expectWrites));
    std::vector<uint32_t> calls;
    for (const AcquireCall& call : g_calls) {
      calls.push_back(call.base);
      EXPECT_EQ(call.m7101.Device, 17);
    }
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(out.messages, c.messages);
    EXPECT_FALSE(out.available);
    ExpectInfo(out.info, c.m7101 ? At(0, 17, 0, 0x10B9, 0x7101) : At(0, 7, 0, 0x10B9, 0x1533));
  }
}

// ---------------------------------------------------------------- failures

TEST_F(ChipsetTest, MissingInfoRecordStopsBeforeTheWalk) {
  UseBoard("ich5");
  OpStatus status;
  InitOpStatus(&status);
  uint32_t count = 77;
  EXPECT_EQ(DiscoverChipset(&status, nullptr, table_, &count), nullptr);
  EXPECT_EQ(status.Code, OpError::NoChipsetInfo);
  EXPECT_EQ(status.DetailCount, 0u);
  EXPECT_EQ(count, 77u);
  EXPECT_EQ(machine_.ConfigReads(), 0u);
  EXPECT_NE(DebugPrintHook, nullptr);
}

TEST_F(ChipsetTest, ControllerAllocationFailureReportsTheSizeAskedFor) {
  UseBoard("ich5");
  machine_.FailAllocation(1);
  OpStatus status;
  InitOpStatus(&status);
  ChipsetInfoRecord info{9, 9, 9, 9, 9, 0};
  uint32_t count = 77;
  EXPECT_EQ(DiscoverChipset(&status, &info, table_, &count), nullptr);
  EXPECT_EQ(status.Code, OpError::ControllerAlloc);
  EXPECT_EQ(status.DetailCount, 1u);
  EXPECT_EQ(status.Detail[0], sizeof(SmbusController));
  EXPECT_EQ(count, 77u);
  ExpectInfo(info, At(0, 0, 0, 0, 0));
  EXPECT_EQ(machine_.ConfigReads(), 0u);
}

}  // namespace
