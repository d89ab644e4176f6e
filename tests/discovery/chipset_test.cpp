// Chipset recognition and the controller it builds: every row of the direct
// table, the SiS and ALi decisions after the walk, what ChipsetInfo holds in
// each outcome, and the debug output that tells the story. What it makes of
// each whole board the contract suite checks through the driver.
#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "discovery/backends.h"
#include "discovery/chipset.h"
#include "discovery/unsafe_boards.h"
#include "sim/models/ali_smbus_host.h"
#include "sim/models/port_bystander.h"
#include "sim/models/spd_eeprom.h"
#include "smbios/smbios_cache.h"
#include "smbus/ali.h"
#include "smbus/booted_board.h"
#include "smbus/ali1563.h"
#include "smbus/amd.h"
#include "smbus/intel.h"
#include "smbus/intel_rows.h"
#include "smbus/nvidia_0064.h"
#include "smbus/via.h"
#include "smbus/i2c_bus.h"
#include "smbus/nvidia_mcp.h"
#include "smbus/sis.h"
#include "smbus/sis630.h"
#include "support/sim_test.h"
#include "support/smbus_fixture.h"

namespace {

using testsupport::SimTest;

// What a family's acquire was handed.
struct AcquireCall {
  const char* family;  // the family's Name
  uint32_t base;
  const ChipDescriptor* chip;
  PciLocation function;
  bool secondHostUnsafe;
};

std::vector<AcquireCall> g_calls;
int32_t g_result = 0;

constexpr size_t kMaxFamilies = 16;
SmbusBackend g_recording[kMaxFamilies];

template <size_t I>
int32_t Record(SmbusController*, const ChipFound& found) {
  g_calls.push_back(
      {g_recording[I].Name, found.IoBase, found.Chip, found.Function, found.SecondHostUnsafe});
  return g_result;
}

template <size_t... I>
constexpr std::array<AcquireChipFn, sizeof...(I)> Recorders(std::index_sequence<I...>) {
  return {&Record<I>...};
}
constexpr auto kRecorders = Recorders(std::make_index_sequence<kMaxFamilies>());

class ChipsetTest : public SimTest {
 protected:
  void SetUp() override {
    ASSERT_LE(kDiscoveryBackendCount, kMaxFamilies);
    std::copy(DiscoveryBackends, DiscoveryBackends + kDiscoveryBackendCount, saved_.begin());
    g_calls.clear();
    g_result = 0;
  }
  void TearDown() override {
    std::copy(saved_.begin(), saved_.begin() + kDiscoveryBackendCount, DiscoveryBackends);
    SimTest::TearDown();
  }

  // Every family replaced by a copy whose acquire records its arguments
  // and installs nothing.
  void RecordAcquires(int32_t result) {
    g_result = result;
    for (size_t i = 0; i < kDiscoveryBackendCount; ++i) {
      g_recording[i] = *saved_[i];
      g_recording[i].Acquire = kRecorders[i];
      DiscoveryBackends[i] = &g_recording[i];
    }
  }

  // Debug lines other than the walk's per-function lines.
  static std::vector<std::string> MessagesOf(const sim::Machine& machine) {
    std::vector<std::string> out;
    for (const std::string& line : machine.DebugLines()) {
      if (line.rfind("smbcore:vid(", 0) != 0) out.push_back(line);
    }
    return out;
  }

  struct Outcome {
    bool available = false;
    ChipsetInfoRecord info{};
    uint32_t count = 0;
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
    out.messages = MessagesOf(machine);
    ReleaseController(controller);
    EXPECT_EQ(machine.LeakReport(), "");
    return out;
  }

  static ChipsetInfoRecord At(uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ven, uint32_t did) {
    return {bus, dev, fn, ven, did, 0};
  }
  static void ExpectInfo(const ChipsetInfoRecord& got, const ChipsetInfoRecord& want) {
    auto fields = [](const ChipsetInfoRecord& r) {
      return std::make_tuple(r.Bus, r.Device, r.Function, r.VendorId, r.DeviceId, r.ChipTraits);
    };
    EXPECT_EQ(fields(got), fields(want));
  }

  std::array<const SmbusBackend*, kMaxFamilies> saved_{};
  PciDeviceRecord table_[kPciDeviceTableCapacity]{};
};

// The machines whose SMBus is unsafe to touch, told by their SMBIOS
// identity, get no controller and a message: the 790FX boards by their
// baseboard maker and product, each text anywhere in its field and case as
// written; the PIIX4-class hosts (not the ICH) on a system whose maker names
// IBM. On the nForce4 board whose second SMBus is unsafe the back-end is
// told so (what it then touches: nvidia_0064_host_test), and a message says
// why. A text the field does not hold is another machine.
TEST_F(ChipsetTest, UnsafeBoardsGetNoControllerAndSayWhy) {
  const std::string sapphire =
      "smbcore: accessing the SMBus on the SAPPHIRE Inc. PC-AM2RD790 is unsafe: not used";
  const std::string dfi =
      "smbcore: accessing the SMBus on the DFI Inc. LP UT 790FX is unsafe: not used";
  const std::string ibm =
      "smbcore: the SMBus of this IBM system carries a serial EEPROM that a write corrupts: not "
      "used";
  const std::string nf4 =
      "smbcore: accessing the second SMBus on the DFI Corp,LTD LP UT NF4 Expert is unsafe: not "
      "used";
  const struct {
    const char* board;
    const char* system;  // the system maker; null: the board's own
    const char* maker;   // the baseboard's maker and product; null: the board's own
    const char* product;
    std::string said;         // "": the host is set up
    bool secondOnly = false;  // the message refuses the second host alone
  } cases[] = {
      {"sb600-sapphire", nullptr, nullptr, nullptr, sapphire},
      {"sb600", nullptr, "DFI Inc.", "LP UT 790FX", dfi},
      {"sb600", nullptr, "DFI Inc. ", "LANPARTY LP UT 790FX", dfi},
      {"sb600", nullptr, "Sapphire", "PC-AM2RD790", ""},
      {"sb600", nullptr, "SAPPHIRE Inc", "PC-AM2RD790", ""},
      {"sb600", nullptr, "DFI", "LP UT 790FX", ""},
      {"sb600", nullptr, "DFI Inc.", "LP UT 790GX", ""},
      {"sb600", "IBM", nullptr, nullptr, ""},
      {"piix4", "IBM Corporation", nullptr, nullptr, ibm},
      {"mx440", "IBM", nullptr, nullptr, ibm},
      {"piix4", "ibm", nullptr, nullptr, ""},
      {"piix4", "International Business Machines", nullptr, nullptr, ""},
      {"piix4", nullptr, "IBM", "06P4050", ""},
      {"ich5", "IBM", nullptr, nullptr, ""},
      {"ck804-dfi", nullptr, nullptr, nullptr, nf4, true},
      {"ck804-dfi", nullptr, nullptr, "LP UT NF4 Expert-D", nf4, true},
      {"ck804-dfi", nullptr, nullptr, "LP UT NF4 Ultra-D", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.board << " " << (c.system ? c.system : "") << " " << (c.maker ? c.maker : "")
                 << " " << (c.product ? c.product : ""));
    sim::Board board = *sim::FindBoard(c.board);
    if (c.system != nullptr) board.smbios.system.manufacturer = c.system;
    if (c.maker != nullptr) board.smbios.board.manufacturer = c.maker;
    if (c.product != nullptr) board.smbios.board.product = c.product;
    sim::Machine machine;
    sim::Build(board, machine);
    RecordAcquires(0);
    ResetSmbiosCache();  // the identity is this machine's table
    const Outcome out = RunOn(machine);
    ResetSmbiosCache();
    const bool refused = !c.said.empty() && !c.secondOnly;
    ASSERT_EQ(g_calls.size(), refused ? 0u : 1u);
    EXPECT_EQ(out.available, !refused);
    if (!refused) {
      EXPECT_EQ(g_calls[0].secondHostUnsafe, c.secondOnly);
    }
    for (const std::string* line : {&sapphire, &dfi, &ibm, &nf4}) {
      EXPECT_EQ(std::count(out.messages.begin(), out.messages.end(), *line),
                *line == c.said ? 1 : 0);
    }
  }
}

// A base its function does not decode is no base: a VIA's without bit 0 (the
// 596's second base tried before giving up), the MCP's with the function's
// I/O decoding off; nor is a VIA host whose host configuration (byte 0xD2,
// or 0x84 with the 596's second base) leaves it off. No controller, and a
// message that names the register.
TEST_F(ChipsetTest, BasesTheFunctionDoesNotDecodeGetNoController) {
  auto Off = [](const char* byte, const char* reads) {
    return "smbcore: SMBus host disabled by the BIOS (configuration byte " + std::string(byte) +
           " reads " + reads + "): not used";
  };
  auto NoIoBit = [](const char* base, const char* reg) {
    return "smbcore: VIA SMBus base " + std::string(base) + " has no I/O bit (configuration " +
           reg + "): not used";
  };
  const struct {
    const char* board;
    uint8_t reg;  // of the board's SMBus function
    uint32_t value;
    std::string said;
  } cases[] = {
      {"vt8237r", 0xD0, 0x00010400, NoIoBit("0400", "D0")},
      {"vt8237r", 0xD0, 0x00000401, Off("D2", "00")},
      {"vt8231", 0x90, 0x00006000, NoIoBit("6000", "90")},
      {"via596a-second", 0x84, 0x00000000, Off("84", "00")},
      {"via596a-second", 0x80, 0x00005000, NoIoBit("0000", "90")},
      {"mcp55", 0x04, 0x00000000, "smbcore: nVidia SMBus function decodes no I/O: not used"},
      // The host enables a row names, each alone: the PIIX4's byte 0xD2
      // bit 0, the ICH's (to the ICH5) byte 0x40 bit 0, the AMD-756
      // family's byte 0x41 bit 7, the M1563's I/O and host bits of word 0x80.
      {"piix4", 0xD0, 0x00FE0000, Off("D2", "FE")},
      {"ich5", 0x40, 0x00000000, Off("40", "00")},
      {"amd756", 0x40, 0x00007F00, Off("41", "7F")},
      {"ali1563", 0x80, 0x0000E801, Off("80", "01")},
      {"ali1563", 0x80, 0x0000E802, Off("80", "02")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.board);
    sim::Machine machine;
    sim::Build(*sim::FindBoard(c.board), machine);
    const ChipsetInfoRecord host = RunOn(machine).info;
    ASSERT_NE(host.VendorId, 0u);
    machine.FindPciFunction(host.Bus, host.Device, host.Function)->SetDword(c.reg, c.value);
    const uint64_t ports = machine.PortAccesses();
    const Outcome out = RunOn(machine);
    EXPECT_FALSE(out.available);
    EXPECT_EQ(std::count(out.messages.begin(), out.messages.end(), c.said), 1);
    EXPECT_EQ(machine.PortAccesses(), ports) << "no port touched";
  }
}

// Hosts that carry no SPDs are no candidates: the C600's extra hosts (no
// message), the VIA 586 (it only announces itself).
TEST_F(ChipsetTest, HostsWithoutSpdsAreNoCandidates) {
  const struct {
    uint16_t vendor;
    std::vector<uint16_t> devices;  // at device 17 (multi-function), base 0x0401
    uint8_t revision;
    uint32_t classCode;
    std::vector<std::string> said;
  } cases[] = {
      {0x8086, {0x1D70, 0x1D71, 0x1D72}, 0, 0x0C0500, {}},
      {0x1106, {0x0586}, 0x00, 0, {"smbcore: Found VIA 586"}},
      {0x1106, {0x0586}, 0x02, 0, {"smbcore: Found VIA 586A"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.devices[0] << " revision " << int(c.revision));
    sim::Machine machine;
    for (const uint16_t device : c.devices) {
      machine
          .AddPciFunction(0, 17, static_cast<uint8_t>(device & 7), c.vendor, device, c.revision,
                          c.classCode, true)
          .SetDword(0x20, 0x0401);
    }
    RecordAcquires(0);
    const Outcome out = RunOn(machine);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_FALSE(out.available);
    EXPECT_EQ(out.messages, c.said);
  }
}

TEST_F(ChipsetTest, OnlyTheFirstDirectCandidateIsTried) {
  RecordAcquires(-1);
  machine_.AddPciFunction(0, 7, 0, 0x8086, 0x7113).SetDword(0x90, 0x5001);
  machine_.FindPciFunction(0, 7, 0)->SetDword(0xD0, 0x00010000);
  machine_.AddPciFunction(0, 31, 0, 0x8086, 0x24D3).SetDword(0x20, 0x0401);
  const Outcome out = RunOn(machine_);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].base, 0x5000u);
  EXPECT_EQ(out.count, 2u);
  EXPECT_EQ(table_[1].DeviceId, 0x24D3u);
  EXPECT_FALSE(out.available);
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
  std::vector<std::pair<const ChipDescriptor*, uint32_t>> calls;  // chip, base
  ChipsetInfoRecord info;
};

TEST_F(ChipsetTest, SisClassificationsAndAttempts) {
  const std::string k5595 = "smbcore: Detected a SIS 5595";
  const std::string kUnknown = "smbcore: Detected a possibly indeterminant SIS host device(3).";
  const std::string k96x = "smbcore: Detected a SIS 96X";
  const ChipsetInfoRecord kNone = At(0, 0, 0, 0, 0);
  // clang-format off
  std::vector<SisCase> cases = {
      {"unknown SiS parts only", {{0x5513, 0, 0}}, {kUnknown}, {}, kNone},
      {"5595 without a base", {{0x0008, 0, 0}, {0x0009, 0, 0}},
       {k5595, "smbcore: SIS 5595 found with NO ACPI base."}, {}, kNone},
      {"5595 next to another host", {{0x0008, 0x0800, 0}, {0x0009, 0, 0}, {0x0630, 0, 0}},
       {k5595}, {{&sis630::kSis630Chip, 0}}, At(0, 3, 0, 0x1039, 0x0630)},
      {"0x0008 beside a 730", {{0x0730, 0, 0}, {0x0008, 0x0800, 0}, {0x0009, 0, 0}},
       {k5595}, {{&sis630::kSis630Chip, 0}}, At(0, 1, 0, 0x1039, 0x0730)},
      // The 630/730 and 760/964 host: only beside one of those host
      // bridges; the 760 and the 964 keep it at ACPI base + 0xE0.
      {"the LPC bridge beside a 760", {{0x0760, 0, 0}, {0x0018, 0, 0x0C00}},
       {kUnknown}, {{&sis630::kSis760Chip, 0}}, kNone},
      {"a 964 beside a 730", {{0x0730, 0, 0}, {0x0964, 0, 0x0C00}},
       {kUnknown}, {{&sis630::kSis760Chip, 0}}, At(0, 1, 0, 0x1039, 0x0730)},
      {"south bridges without their host bridge", {{0x0964, 0, 0x0C00}, {0x0018, 0, 0x0C00}},
       {kUnknown}, {}, kNone},
      {"96x base from the first nonzero word 0x74, 5595 base from the last",
       {{0x0008, 0x0111, 0}, {0x0961, 0x0222, 0x0C00}, {0x0008, 0x0333, 0x0D00}},
       {k96x, "smbcore: SIS 96x detected at 0C00!!!"}, {{&kSis96xChip, 0x0C00}},
       At(0, 2, 0, 0x1039, 0x0961)},
      {"power management after a 96x part stays 96x",
       {{0x0745, 0, 0}, {0x0009, 0, 0}, {0x0008, 0, 0x0E00}},
       {k96x, "smbcore: SIS 96x detected at 0E00!!!"}, {{&kSis96xChip, 0x0E00}},
       At(0, 1, 0, 0x1039, 0x0745)},
  };
  // clang-format on
  // Host bridges whose chipset's 0x0008 function is no 5595: the record
  // names the bridge, and nothing is tried.
  for (const uint16_t bridge : {0x0646, 0x0648, 0x0650, 0x0651, 0x0746}) {
    cases.push_back({"0x0008 beside a host bridge",
                     {{bridge, 0, 0}, {0x0008, 0x0800, 0}, {0x0009, 0, 0}},
                     {k5595},
                     {},
                     At(0, 1, 0, 0x1039, bridge)});
  }
  for (const SisCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << " " << std::hex << c.functions[0].device);
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
    std::vector<std::pair<const ChipDescriptor*, uint32_t>> calls;
    for (const AcquireCall& call : g_calls) {
      calls.push_back({call.chip, call.base});
      const bool sis630 = call.chip == &sis630::kSis630Chip || call.chip == &sis630::kSis760Chip;
      EXPECT_STREQ(call.family, call.chip == &sis::kSis5595Chip ? "sis5595"
                                : sis630                        ? "sis630"
                                                                : "i2c");
    }
    EXPECT_EQ(calls, c.calls);
    ExpectInfo(out.info, c.info);
    EXPECT_FALSE(out.available);
    EXPECT_EQ(out.count, c.functions.size());
  }
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
  uint32_t dword58 = 0;       // byte 0x5B bits 1-2: the lock that hides dword 0x14
  bool m1535Enables = false;  // 0xD1 bit 2 and 0xF0 bit 0 set
  bool e800Taken = false;     // another device answers at 0xE800-0xE81F
  bool baseReadOnly = false;  // dword 0x14 takes no write
  const ChipDescriptor* chip = &ali::kAliM15x3Chip;
};

TEST_F(ChipsetTest, AliBaseRule) {
  const std::string kUnlocked =
      "smbcore: ALi M7101 base registers locked (0x5B = 06): lock cleared";
  const std::string kNotABase =
      " is not an SMBus base (0xD1 bit 2 and 0xF0 bit 0 must be set, "
      "the base at 0x100 or above)";
  // clang-format off
  // What; the M1533 and its revision; the M7101 and its dwords 0xE0 and 0x14; the configuration
  // writes; the bases handed on; the messages; then the extras in the order of AliCase.
  const AliCase cases[] = {
      {"revision 0 with an empty base A", true, 0x00, true, 0x001F0000, 0x0000E801, 0, {},
       {"ali 1535 found with empty SMBus base"}},
      {"later revision takes base B", true, 0xC3, true, 0x50310000, 0x0000D03F, 0, {0xD020}, {}},
      {"later revision with an empty base B", true, 0xC3, true, 0, 0x00000001, 1, {0xE800}, {}},
      {"M7101 alone", false, 0, true, 0x50310000, 0x0000D001, 0, {}, {}},
      {"M1533 alone", true, 0xC3, false, 0, 0, 0, {}, {}},
      {"locked base B read again once unlocked", true, 0xC3, true, 0, 0x0000D001, 1, {0xD000},
       {kUnlocked}, 0x06000000},
      {"locked and empty: unlocked, then 0xE800", true, 0xC3, true, 0, 0x00000001, 2, {0xE800},
       {kUnlocked}, 0x06000000},
      {"empty base B and 0xE800 taken", true, 0xC3, true, 0, 0x00000001, 0, {},
       {"smbcore: ALi M7101 has no SMBus base and ports E800-E81F answer: no controller"},
       0, false, true},
      {"empty base B that does not take 0xE801", true, 0xC3, true, 0, 0x00000001, 2, {},
       {"smbcore: ALi M7101 did not take SMBus base E800 (dword 0x14 reads 00000001): "
        "no controller"}, 0, false, false, true},
      {"revision 0: word 0xE2 with the M1535's enables", true, 0x00, true, 0x70400000,
       0x0000F0F1, 0, {0x7040}, {}, 0, true, false, false, &ali::kAliM1535Chip},
      {"revision 0: word 0xE2 without them (the older bridges' clock)", true, 0x00, true,
       0x20200000, 0x0000D001, 0, {}, {"smbcore: ALi M7101 word 0xE2 (2020)" + kNotABase}},
      {"revision 0: word 0xE2 in the legacy ports", true, 0x00, true, 0x00200000, 0, 0, {},
       {"smbcore: ALi M7101 word 0xE2 (0020)" + kNotABase}, 0, true},
  };
  // clang-format on
  for (const AliCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine;
    sim::PortBystander other;
    if (c.e800Taken) machine.ClaimPorts(0xE800, 0x20, other);
    if (c.m1533) machine.AddPciFunction(0, 7, 0, 0x10B9, 0x1533, c.revision);
    if (c.m7101) {
      auto& f = machine.AddPciFunction(0, 17, 0, 0x10B9, 0x7101);
      f.SetDword(0xE0, c.dwordE0);
      f.SetDword(0x14, c.dword14);
      f.SetDword(0x58, c.dword58);
      if (c.m1535Enables) {
        f.SetDword(0xD0, 0x00000400);
        f.SetDword(0xF0, 0x00000001);
      }
      if (c.baseReadOnly) f.writeMask[0x14 / 4] = 0;
      sim::InstallM7101BaseLock(f);
    }
    RecordAcquires(-1);
    const Outcome out = RunOn(machine);
    EXPECT_EQ(machine.ConfigWrites(), static_cast<uint64_t>(c.expectWrites));
    std::vector<uint32_t> calls;
    for (const AcquireCall& call : g_calls) {
      calls.push_back(call.base);
      EXPECT_EQ(call.function.Device, 17);
      EXPECT_EQ(call.chip, c.chip);
    }
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(out.messages, c.messages);
    EXPECT_FALSE(out.available);
    EXPECT_EQ(other.Writes(), 0u) << "the device at 0xE800 is not ours";
    if (c.m7101) {
      EXPECT_EQ(machine.FindPciFunction(0, 17, 0)->Dword(0x58) & 0x06000000, 0u)
          << "left unlocked, or never locked";
    }
    ExpectInfo(out.info, c.m7101 ? At(0, 17, 0, 0x10B9, 0x7101) : At(0, 7, 0, 0x10B9, 0x1533));
  }
}

// ---------------------------------------------------------------- failures

// Discovery without an info record, or whose controller the pool refuses
// (reporting the size asked for), stops before reading configuration space.
TEST_F(ChipsetTest, DiscoveryThatCannotStartReadsNothing) {
  UseBoard("ich5");
  for (const bool noRecord : {true, false}) {
    SCOPED_TRACE(noRecord ? "no info record" : "no pool for the controller");
    if (!noRecord) machine_.FailAllocation(1);
    OpStatus status;
    InitOpStatus(&status);
    ChipsetInfoRecord info{9, 9, 9, 9, 9, 0};
    uint32_t count = 77;
    EXPECT_EQ(DiscoverChipset(&status, noRecord ? nullptr : &info, table_, &count), nullptr);
    EXPECT_EQ(status.Code, noRecord ? OpError::NoChipsetInfo : OpError::ControllerAlloc);
    EXPECT_EQ(status.DetailCount, noRecord ? 0u : 1u);
    if (!noRecord) {
      EXPECT_EQ(status.Detail[0], sizeof(SmbusController));
    }
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(machine_.ConfigReads(), 0u);
  }
}

// ---------------------------------------------------------------- the entries

// Every back-end's entry, as discovery calls it: it sets itself up only on a
// base it can use (programmed by the BIOS, and the block up to the last port
// it touches below 0x10000) and with its context; otherwise the controller
// is left as it was and not a port is touched. Discovery hands every base on
// as it read it, so this is the only guard.
struct EntryCase {
  std::string what;
  const SmbusBackend* family;
  ChipDescriptor chip;
  uint32_t base;
  bool failPool;
  int32_t result;
};

class AcquireTest : public SimTest {};

TEST_F(AcquireTest, EveryEntryTakesOnlyAUsableBaseAndItsContext) {
  const ChipDescriptor piix4 = intel::kPiix4, gpo686{.Segments = SegmentSwitch::Gpo686},
                       m7101 = ali::kAliM15x3Chip, plain{}, sis5595 = sis::kSis5595Chip,
                       sisPins = kSis96xChip, viaPins{.Quirks = kQuirkVia586bPins};
  // Each back-end with the highest base whose last port is still in the port
  // space: Intel 0x0F, VIA data 1 (0x06), the M7101's command (0x07), AMD's
  // command (0xE8), nForce2 control (0x3E), the M1563's block port (0x07),
  // the SiS pair (0x38-0x39 of the ACPI block, its low bits not part of the
  // base), the pin registers (0x5E word, 0x44 byte).
  const struct {
    const char* name;
    const SmbusBackend* family;
    ChipDescriptor chip;
    uint32_t top;
    bool pooled = true;  // it takes a context from the pool
  } families[] = {
      {"intel", &intel::kIntelBackend, piix4, 0xFFF0},
      {"via", &via::kViaBackend, gpo686, 0xFFF9},
      {"m7101", &ali::kAliBackend, m7101, 0xFFF8},
      {"amd", &amd::kAmdBackend, plain, 0xFF17, false},
      {"nforce2", &kNvidia0064Backend, plain, 0xFFC1},
      {"m1563", &ali1563::kAli1563Backend, plain, 0xFFF8, false},
      {"sis", &sis::kSisBackend, sis5595, 0xFFC7},
      {"sis96x pins", &kI2cBackend, sisPins, 0xFFA0},
      {"586b pins", &kI2cBackend, viaPins, 0xFFBB},
  };
  std::vector<EntryCase> cases = {
      {"intel: past the port space", &intel::kIntelBackend, piix4, 0x10000, false, -1},
      {"amd: nForce base minus 0xE0 wrapped", &amd::kAmdBackend, plain, 0xFFFFFF20u, false, -1},
      {"sis: only the low bits set", &sis::kSisBackend, sis5595, 0x0007, false, -1},
      {"sis: base with its low bits set", &sis::kSisBackend, sis5595, 0x0801, false, 0},
  };
  for (const auto& f : families) {
    const std::string name = f.name;
    cases.push_back({name + ": unprogrammed", f.family, f.chip, 0x0000, false, -1});
    cases.push_back({name + ": last port at the top", f.family, f.chip, f.top, false, 0});
    cases.push_back({name + ": last port past the top", f.family, f.chip, f.top + 1, false, -1});
    if (f.pooled) cases.push_back({name + ": no pool memory", f.family, f.chip, f.top, true, -1});
  }
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.failPool) machine_.FailAllocation(1);
    SmbusController controller{};
    controller.Segment = 7;
    if (testsupport::Acquires(machine_, *c.family, controller,
                              {.Chip = &c.chip, .Function = {0, 17, 0}, .IoBase = c.base},
                              c.result)) {
      controller.ReleaseDevice(controller.Context);
    }
    EXPECT_EQ(controller.Segment, 7u) << "the segment is not the back-end's to set";
  }
}

// The chip's traits reach the chipset record, and the chips the tables
// gained read as the chips whose host they share: each board below with
// its SMBus function's ID rewritten (a SLC90E66 where the IXP400's PIIX4
// block is, an EP80579 in the ICH9's place, Hygon's 790B in AMD's) reads
// every module as the board holds it.
TEST_F(ChipsetTest, EveryChipReadsItsModulesAndTellsItsTraits) {
  constexpr uint32_t kIchTraits = DIMMIO_CHIP_INUSE_SEMAPHORE | DIMMIO_CHIP_PAGE_TRANSFERS;
  const struct {
    const char* board;
    uint16_t vendor, device;  // 0: the board's own
    uint32_t traits;
  } cases[] = {
      {"piix4", 0, 0, DIMMIO_CHIP_SEGMENT_SWITCH},
      {"ich5", 0, 0, DIMMIO_CHIP_INUSE_SEMAPHORE | DIMMIO_CHIP_SEGMENT_SWITCH},
      {"via686b", 0, 0, DIMMIO_CHIP_SEGMENT_SWITCH},
      {"ali1543", 0, 0, DIMMIO_CHIP_SEGMENT_SWITCH},
      {"ich9", 0, 0, kIchTraits},
      {"ich9", 0x8086, 0x5032, kIchTraits},
      {"pch100", 0, 0, kIchTraits | DIMMIO_CHIP_SPD_WRITE_DISABLE},
      {"x99", 0, 0, kIchTraits | DIMMIO_CHIP_SPD_WRITE_DISABLE | DIMMIO_CHIP_SPDS_ON_CPU_BUS},
      {"csb5", 0, 0, DIMMIO_CHIP_PAGE_TRANSFERS | DIMMIO_CHIP_LATE_BUSY},
      {"ixp400", 0x1055, 0x9463, DIMMIO_CHIP_PAGE_TRANSFERS},
      {"fch790b", 0x1D94, 0x790B, DIMMIO_CHIP_PAGE_TRANSFERS},
      {"fch790b-zen2", 0x1D94, 0x790B, DIMMIO_CHIP_PAGE_TRANSFERS},
      {"amd756", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << std::hex << c.vendor << ":" << c.device);
    sim::Board board = *sim::FindBoard(c.board);
    sim::Machine machine;
    const sim::BoardModels models = sim::Build(board, machine);
    sim::AttachScope attach(machine);
    // The host's function is the one whose ID the record names.
    ChipsetInfoRecord info{};
    uint32_t count = 0;
    OpStatus status;
    InitOpStatus(&status);
    if (c.vendor != 0) {
      SmbusController* first = DiscoverChipset(&status, &info, table_, &count);
      ReleaseController(first);
      machine.FindPciFunction(info.Bus, info.Device, info.Function)
          ->SetDword(0x00, uint32_t{c.device} << 16 | c.vendor);
    }
    SmbusController* controller = DiscoverChipset(&status, &info, table_, &count);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(info.ChipTraits, c.traits);
    EXPECT_EQ(info.VendorId, c.vendor != 0 ? c.vendor : info.VendorId);
    for (uint8_t slot = 0; slot < kSpdSlots; ++slot) {
      if (models.eeproms[0][slot] == nullptr || (c.traits & DIMMIO_CHIP_SPDS_ON_CPU_BUS) != 0) {
        continue;
      }
      testsupport::ExpectModuleReads(controller, models, slot, 0, 128);
    }
    ReleaseController(controller);
  }
}

}  // namespace
