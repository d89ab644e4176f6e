#include <array>

#include "sim/boards/boards.h"
#include "sim/models/piix4_compat_host.h"
#include "sim/boards/modules.h"

namespace sim::boards {

namespace {

// What sets one board of the family apart from the others.
struct Facts {
  const char* name;
  const char* description;
  std::pair<uint16_t, uint16_t> hostBridge;  // vendor, device
  uint16_t vendor, device;                   // the SMBus function
  uint8_t revision;
  uint8_t pciDevice;    // function 0 of it
  uint32_t legacyBase;  // configuration word 0x90 (0: PM-placed)
  bool hostEnabled;     // 0xD2 bit 0 on the legacy chips
  Piix4CompatSpec facts;
  std::vector<SpdSlotSpec> modules;
  const char* product;
  const char* socket;
  const char* cpu;
  uint8_t spdPage = 0;  // DDR4: the SPD page the firmware left selected
};

// A board-ID EEPROM: a ramp no SPD holds.
std::vector<uint8_t> BoardId() {
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xA5 ^ i);
  return bytes;
}

// The SMBus function decodes the legacy block at configuration word 0x90
// while I/O space (command bit 0) and the host (0xD2 bit 0) are enabled.
PciIoDecode LegacyDecode(uint8_t device) {
  return {.bus = 0,
          .device = device,
          .function = 0,
          .baseRegister = 0x90,
          .baseMask = 0xFFF0,
          .size = 0x10,
          .enables = {{0x04, 0x01}, {0xD2, 0x01}}};
}

Board Make(const Facts& f) {
  Board b;
  b.name = f.name;
  b.description = f.description;
  const uint32_t hostConfig = f.hostEnabled ? 0x00010000u : 0;  // byte 0xD2 bit 0
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = f.hostBridge.first,
       .deviceId = f.hostBridge.second, .revision = 0x00, .classCode = 0x060000,
       .name = "host bridge"},
      {.bus = 0, .device = f.pciDevice, .function = 0, .vendorId = f.vendor, .deviceId = f.device,
       .revision = f.revision, .classCode = 0x0C0500, .multiFunction = true,
       .dwords = {{0x04, 0x00000001}, {0x90, f.legacyBase}, {0xD0, hostConfig}},
       .name = "SMBus controller"},
      {.bus = 0, .device = f.pciDevice, .function = 1, .vendorId = f.vendor,
       .deviceId = static_cast<uint16_t>(f.device + 1), .revision = f.revision,
       .classCode = 0x01018A, .name = "IDE controller"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallPiix4CompatHost;
  smbus.ioBase = static_cast<uint16_t>(f.legacyBase & 0xFFF0);
  smbus.decode = LegacyDecode(f.pciDevice);
  smbus.piix4Compat = f.facts;
  smbus.segment0 = f.modules;
  smbus.firmwareSpdPage = f.spdPage;
  b.smbus = smbus;
  std::vector<SmbiosMemoryDevice> sockets;
  for (uint8_t slot = 0; slot < 4; ++slot) {
    uint32_t mb = 0;
    for (const SpdSlotSpec& m : f.modules) {
      if (m.slot == slot) mb = m.dimm.capacityMb;
    }
    sockets.push_back({std::string("DIMM") + char('0' + slot), static_cast<uint16_t>(mb),
                       f.modules.empty() ? kSmbiosDdr : SmbiosTypeOf(f.modules.front().dimm.type)});
  }
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xF6C30,
      .tableAddress = 0xF1000,
      .biosVendor = "American Megatrends Inc.",
      .biosVersion = "1.0",
      .biosDate = "05/20/2010",
      .system = {"Example Computers Ltd", f.product, "1.0", ""},
      .board = {"Example Boards Inc.", f.product, "REV 1.0", ""},
      .processorSocket = f.socket,
      .processorManufacturer = f.vendor == 0x1166 ? "Intel" : "AMD",
      .processorVersion = f.cpu,
      .arrays = {{.deviceCount = 4, .devices = sockets}},
  };
  // clang-format on
  return b;
}

// SB800 and later: the host placed by PM 0x2D:0x2C (0x0B00, enabled), port
// select in PM 0x2E bits 2-1 while PM 0x2F bit 0 says so, else in PM 0x2C.
Piix4CompatSpec Sb800(bool enabled, uint8_t portChoice, uint8_t port) {
  const uint8_t low =
      static_cast<uint8_t>((enabled ? 0x01 : 0x00) | (portChoice == 0 ? port << 1 : 0));
  return {.base = Piix4CompatBase::PmBaseLow,
          .portSelect = Piix4CompatPortSelect::Sb800,
          .semaphore = true,
          .pmIndex = 0x24,
          .pm = {{0x2C, low},
                 {0x2D, 0x0B},
                 {0x2E, static_cast<uint8_t>(portChoice ? port << 1 : 0)},
                 {0x2F, portChoice},
                 {0x24, 0x5A}}};
}

std::vector<SpdSlotSpec> Ddr4Pair(uint32_t serial, ModuleForm form) {
  return {
      {.slot = 0,
       .dimm = Ddr4(8192, 1, "PC4-21300", "Micron", kMicron, "MTA8ATF1G64AZ-2G6E1", serial, form)},
      {.slot = 2,
       .dimm =
           Ddr4(16384, 2, "PC4-25600", "Samsung", kSamsung, "M378A2K43DB1-CWE", serial + 1, form),
       .eeprom = {.protectedBlocks = 0x01}},
  };
}

std::vector<SpdSlotSpec> Ddr3Pair(uint32_t serial) {
  return {
      {.slot = 0,
       .dimm = Ddr3(2048, 2, "PC3-10600", "Kingston", kKingston, "KVR1333D3N9/2G", serial)},
      {.slot = 2,
       .dimm = Ddr3(4096, 2, "PC3-12800", "Samsung", kSamsung, "M378B5273DH0-CK0", serial + 1),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
}

}  // namespace

// ServerWorks CSB5 (its south bridge function carries the host, slow bus
// clock: a word read outlasts the first millisecond), ATI IXP400, SB600,
// SB700 (base from configuration space), SB800, Hudson-2 and the 790B FCH
// of Carrizo and Bristol Ridge (base from the PM registers, shared with
// firmware), of Zen (the PM registers in memory only) and a Zen board whose
// firmware left that window off, an SB800 whose firmware holds the host for
// 40 ms after power-on, and one whose BIOS left the host disabled. The
// boards without a usable host carry no modules: their SPD buses stay empty.
std::vector<Board> Piix4Compat() {
  const Piix4CompatSpec legacy{};
  Piix4CompatSpec csb5{};
  csb5.busHz = 25000;
  csb5.busyShowsAfterMs = 2;
  Piix4CompatSpec sb800 = Sb800(true, 1, 1);
  sb800.otherPortDevice = BoardId();
  Piix4CompatSpec hudson2{.base = Piix4CompatBase::PmBaseLow,
                          .portSelect = Piix4CompatPortSelect::Pm2E,
                          .semaphore = true,
                          .pmIndex = 0x00,
                          .pm = {{0x2C, 0x01}, {0x2D, 0x0B}, {0x2E, 0x00}}};
  Piix4CompatSpec fch{.base = Piix4CompatBase::PmDecode,
                      .portSelect = Piix4CompatPortSelect::Pm02,
                      .semaphore = true,
                      .pmIndex = 0x80,
                      .pm = {{0x00, 0x13}, {0x01, 0x0B}, {0x02, 0x8E}}};
  fch.otherPortDevice = BoardId();
  // The later FCHs decode the PM registers in memory too (PM 0x04 bit 1);
  // the Zen parts there alone, with the index pair dead.
  Piix4CompatSpec bristol = fch;
  bristol.pm = {{0x00, 0x13}, {0x01, 0x0B}, {0x02, 0x86}, {0x04, 0x02}};
  bristol.pmWindow = true;
  bristol.otherPortDevice.reset();
  Piix4CompatSpec zen = fch;
  zen.pm.push_back({0x04, 0x02});
  zen.pmPorts = false;
  zen.pmWindow = true;
  Piix4CompatSpec zenOff = zen;
  zenOff.pm.back() = {0x04, 0x00};
  Piix4CompatSpec held = Sb800(true, 0, 1);
  held.firmwareHoldsMs = 40;
  const Piix4CompatSpec off = Sb800(false, 1, 0);

  // clang-format off
  const std::vector<SpdSlotSpec> sdr = {
      {.slot = 0, .dimm = Sdr(512, 2, "PC133", "Micron", kMicron, "MT18LSDT6472G-133", 0xC5B50001,
       72)},
      {.slot = 1, .dimm = Sdr(512, 2, "PC133", "Micron", kMicron, "MT18LSDT6472G-133", 0xC5B50002,
       72)},
  };
  // clang-format on
  // clang-format off
  const std::vector<SpdSlotSpec> ddr = {
      {.slot = 0, .dimm = Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423FTN-CCC",
       0x43720001)},
      {.slot = 1, .dimm = Ddr(1024, 2, "PC3200", "Kingston", kKingston, "KVR400X64C3A/1G",
       0x43720002)},
  };
  // clang-format on
  // clang-format off
  const std::vector<SpdSlotSpec> ddr2 = {
      {.slot = 0, .dimm = Ddr2(1024, 2, "PC2-6400", "Samsung", kSamsung, "M378T2863QZS-CF7",
       0x43850001)},
      {.slot = 1, .dimm = Ddr2(2048, 2, "PC2-6400", "Kingston", kKingston, "KVR800D2N6/2G",
       0x43850002),
       .eeprom = {.writeProtect = WriteProtect::Nack}},
      {.slot = 3, .dimm = Ddr2(512, 1, "PC2-5300", "Hynix", kHynix, "HYMP564U64CP8-Y5",
       0x43850003)},
  };
  // clang-format on
  const char* am3 = "AMD Phenom(tm) II X4 955 Processor";
  return {
      Make({"csb5",
            "ServerWorks CNB20-HE + CSB5, SMBus 1166:0201 at 0:15.0",
            {0x1166, 0x0013},
            0x1166,
            0x0201,
            0x93,
            15,
            0x0581,
            true,
            csb5,
            sdr,
            "EC-CSB5 Server",
            "Socket 370",
            "Intel(R) Pentium(R) III CPU 1133MHz"}),
      Make({"ixp400",
            "ATI RS480 + IXP400, SMBus 1002:4372 at 0:20.0",
            {0x1002, 0x5950},
            0x1002,
            0x4372,
            0x11,
            20,
            0x0B01,
            true,
            legacy,
            ddr,
            "EC-X400",
            "Socket 939",
            "AMD Athlon(tm) 64 Processor 3200+"}),
      Make({"sb600",
            "AMD 690G + SB600, SMBus 1002:4385 rev 14 at 0:20.0",
            {0x1022, 0x7910},
            0x1002,
            0x4385,
            0x14,
            20,
            0x0B01,
            true,
            legacy,
            ddr2,
            "EC-690G",
            "AM2",
            "AMD Athlon(tm) 64 X2 Dual Core Processor 5000+"}),
      Make({"sb700",
            "AMD 780G + SB700, SMBus 1002:4385 rev 3A at 0:20.0",
            {0x1022, 0x9600},
            0x1002,
            0x4385,
            0x3A,
            20,
            0x0B01,
            true,
            legacy,
            ddr2,
            "EC-780G",
            "AM2+",
            "AMD Phenom(tm) 9550 Quad-Core Processor"}),
      Make({"sb800",
            "AMD 880G + SB800, SMBus 1002:4385 rev 42 at 0:20.0 (PM-placed, port 2 left selected)",
            {0x1022, 0x9601},
            0x1002,
            0x4385,
            0x42,
            20,
            0,
            true,
            sb800,
            Ddr3Pair(0x08000001),
            "EC-880G",
            "AM3",
            am3}),
      Make({"hudson2",
            "AMD A75 Hudson-2 FCH, SMBus 1022:780B rev 14 at 0:20.0",
            {0x1022, 0x1705},
            0x1022,
            0x780B,
            0x14,
            20,
            0,
            true,
            hudson2,
            Ddr3Pair(0x780B0001),
            "EC-A75",
            "FM1",
            "AMD A8-3850 APU with Radeon(tm) HD Graphics"}),
      Make({"fch790b",
            "AMD Carrizo FCH, SMBus 1022:790B rev 4A at 0:20.0 (PM 0x00 placed, port 1 left "
            "selected)",
            {0x1022, 0x1576},
            0x1022,
            0x790B,
            0x4A,
            20,
            0,
            true,
            fch,
            Ddr3Pair(0x790B0001),
            "EC-CZ Embedded",
            "FP4",
            "AMD PRO A10-8700B R6, 10 Compute Cores 4C+6G"}),
      Make({"fch790b-bristol",
            "AMD Bristol Ridge laptop FCH, SMBus 1022:790B rev 4B at 0:20.0, DDR4 SO-DIMMs",
            {0x1022, 0x1576},
            0x1022,
            0x790B,
            0x4B,
            20,
            0,
            true,
            bristol,
            Ddr4Pair(0x4B000001, ModuleForm::SoDimm),
            "EC-9620P Laptop",
            "FP4",
            "AMD A12-9700P RADEON R7, 10 COMPUTE CORES 4C+6G"}),
      Make({"fch790b-zen2",
            "AMD X570 FCH, SMBus 1022:790B rev 61 at 0:20.0 (PM window only, port 1 left selected)",
            {0x1022, 0x1480},
            0x1022,
            0x790B,
            0x61,
            20,
            0,
            true,
            zen,
            Ddr4Pair(0x61000001, ModuleForm::Udimm),
            "EC-X570",
            "AM4",
            "AMD Ryzen 7 3700X 8-Core Processor",
            1}),
      Make({"fch790b-zen-off",
            "AMD X370 FCH, SMBus 1022:790B rev 59 at 0:20.0, PM window left off",
            {0x1022, 0x1450},
            0x1022,
            0x790B,
            0x59,
            20,
            0,
            true,
            zenOff,
            {},
            "EC-X370",
            "AM4",
            "AMD Ryzen 5 1600 Six-Core Processor"}),
      Make({"sb800-fw-hold",
            "AMD 880G + SB800 whose firmware holds the SMBus for 40 ms after power-on",
            {0x1022, 0x9601},
            0x1002,
            0x4385,
            0x42,
            20,
            0,
            true,
            held,
            Ddr3Pair(0x08004001),
            "EC-880G IMC",
            "AM3",
            am3}),
      Make({"sb800-off",
            "AMD 880G + SB800 whose BIOS left the SMBus host disabled",
            {0x1022, 0x9601},
            0x1002,
            0x4385,
            0x42,
            20,
            0,
            true,
            off,
            {},
            "EC-880G Lite",
            "AM3",
            am3}),
  };
}

}  // namespace sim::boards
