#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/intel_smbus_host.h"

namespace sim::boards {

namespace {

// An Intel desktop from the ICH6 to the 8-series: a host bridge at 0:0.0,
// the LPC bridge at 0:31.0 and the SMBus host at 0:31.3, whose 32-port block
// the BIOS put at BAR4 (dword 0x20) with the host configuration byte 0x40 as
// it left it. Every module sits on the one bus; there is no segment switch.
struct LaterIntelBoard {
  const char* name;
  const char* description;
  uint16_t hostBridge, lpc, smbus;
  uint8_t revision;
  uint16_t ioBase;
  uint8_t hostConfig;  // HST_EN bit 0, I2C_EN bit 2, SPD_WD bit 4
  uint32_t firmwareHoldsInUseMs;
  std::vector<SpdSlotSpec> modules;
  const char* product;  // SMBIOS system product
  std::vector<SmbiosMemoryDevice> sockets;
  uint8_t smbusFunction = 3;  // 4 from the 100-series on; 1 on Apollo and Gemini Lake
  uint8_t spdPage = 0;        // DDR4: the SPD page the firmware left selected
  bool smbiosPresent = true;  // false: the BIOS leaves no SMBIOS table
};

Board Make(const LaterIntelBoard& d) {
  Board b;
  b.name = d.name;
  b.description = d.description;
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = d.hostBridge,
       .revision = d.revision, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = d.lpc,
       .revision = d.revision, .classCode = 0x060100, .multiFunction = true,
       .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = d.smbusFunction, .vendorId = 0x8086, .deviceId = d.smbus,
       .revision = d.revision, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x02800001}, {0x20, uint32_t{d.ioBase} | 1u}, {0x40, d.hostConfig}},
       .name = "SMBus controller"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallIntelSmbusHost;
  smbus.ioBase = d.ioBase;
  smbus.ports = 0x20;
  smbus.segment0 = d.modules;
  smbus.firmwareHoldsInUseMs = d.firmwareHoldsInUseMs;
  smbus.firmwareSpdPage = d.spdPage;
  b.smbus = smbus;
  // The firmware states the modules' type in its memory devices.
  std::vector<SmbiosMemoryDevice> sockets = d.sockets;
  for (SmbiosMemoryDevice& socket : sockets) {
    if (!d.modules.empty()) socket.memoryType = SmbiosTypeOf(d.modules.front().dimm.type);
  }
  // clang-format off
  b.smbios = {
      .present = d.smbiosPresent,
      .entryPointAddress = 0xF0450,
      .tableAddress = 0xDF7E0000,
      .biosVendor = "American Megatrends Inc.",
      .biosVersion = "1.0",
      .biosDate = "01/01/2010",
      .system = {"Example Computers Ltd", d.product, "1.0", "ECX-0000001"},
      .board = {"Example Boards Inc.", d.product, "1.0", "EBX-0000001"},
      .processorSocket = "LGA",
      .processorManufacturer = "Intel",
      .processorVersion = "Intel(R) Core(TM) CPU",
      .arrays = {{.deviceCount = static_cast<uint16_t>(sockets.size()), .devices = sockets}},
  };
  // clang-format on
  return b;
}

DimmSpec Ddr3L(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
               std::vector<uint8_t> jedec, const char* part, uint32_t serial) {
  DimmSpec d = Ddr3(mb, ranks, grade, maker, std::move(jedec), part, serial);
  d.form = ModuleForm::SoDimm;
  d.lowVoltage = true;
  return d;
}

SpdSlotSpec Slot(uint8_t slot, DimmSpec dimm, uint8_t protectedBlocks = 0) {
  return {.slot = slot, .dimm = std::move(dimm), .eeprom = {.protectedBlocks = protectedBlocks}};
}

DimmSpec WithXmp(DimmSpec d, std::vector<XmpProfile> profiles) {
  d.xmp = std::move(profiles);
  return d;
}

// The HyperX modules' one profile: DDR4-2400 CL14-16-16-32 at 1.2 V.
constexpr XmpProfile kKhx2400{
    .tckPs = 833, .cl = 14, .trcd = 16, .trp = 16, .tras = 32, .millivolts = 1200};

}  // namespace

std::vector<Board> LaterIntel() {
  // clang-format off
  const LaterIntelBoard boards[] = {
      {"ich6", "Intel 915P + 82801FB ICH6, SMBus 8086:266A at 0:31.3", 0x2580, 0x2640, 0x266A,
       0x03, 0x0400, 0x01, 0,
       {Slot(0, Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423FTN-CCC", 0x06060001)),
        Slot(2, Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423FTN-CCC", 0x06060002))},
       "EC-915 Desktop", {{"DIMM0", 512}, {"DIMM1", 0}, {"DIMM2", 512}, {"DIMM3", 0}}},
      {"ich7", "Intel 945G + 82801GB ICH7, SMBus 8086:27DA at 0:31.3", 0x2770, 0x27B8, 0x27DA,
       0x01, 0x0400, 0x01, 0,
       {Slot(0, Ddr2(1024, 2, "PC2-5300", "Micron", kMicron, "16HTF12864AY-667", 0x07070001)),
        Slot(1, Ddr2(1024, 2, "PC2-5300", "Micron", kMicron, "16HTF12864AY-667", 0x07070002))},
       "EC-945 Desktop", {{"DIMM0", 1024}, {"DIMM1", 1024}}},
      {"ich8-hostoff",
       "Intel P965 + 82801HB ICH8 whose BIOS left the SMBus host disabled, 8086:283E at 0:31.3",
       0x29A0, 0x2810, 0x283E, 0x02, 0x0400, 0x00, 0,
       {Slot(0, Ddr2(1024, 2, "PC2-5300", "Kingston", kKingston, "KVR667D2N5/1G", 0x08080001))},
       "EC-965 Desktop", {{"DIMM0", 1024}, {"DIMM1", 0}}},
      {"ich9", "Intel P35 + 82801IR ICH9R, SMBus 8086:2930 at 0:31.3", 0x29C0, 0x2916, 0x2930,
       0x02, 0x0400, 0x01, 0,
       {Slot(0, Ddr2(1024, 2, "PC2-6400", "Kingston", kKingston, "KVR800D2N5/1G", 0x09090001)),
        Slot(2, Ddr2(2048, 2, "PC2-6400", "Hynix", kHynix, "HYMP125U64CP8-S6", 0x09090002))},
       "EC-P35 Desktop", {{"DIMM0", 1024}, {"DIMM1", 0}, {"DIMM2", 2048}, {"DIMM3", 0}}},
      // The BIOS left the host in I2C mode.
      {"ich10", "Intel P45 + 82801JIB ICH10 left in I2C mode, SMBus 8086:3A30 at 0:31.3", 0x2E20,
       0x3A18, 0x3A30, 0x00, 0x0400, 0x05, 0,
       {Slot(0, Ddr3(2048, 2, "PC3-10600", "Samsung", kSamsung, "M378B5673FH0-CH9", 0x10100001)),
        Slot(1, Ddr3(2048, 2, "PC3-10600", "Samsung", kSamsung, "M378B5673FH0-CH9", 0x10100002))},
       "EC-P45 Desktop", {{"DIMM0", 2048}, {"DIMM1", 2048}}},
      // A server board with eight slots on one bus: its DDR3 modules in
      // slots 6 and 7 are strapped 110 and 111, so 0x36 and 0x37 are their
      // permanent write-protect commands.
      {"ich10r-5520",
       "Intel 5520 + ICH10R server board, eight DDR3 slots, modules in slots 6 and 7, SMBus "
       "8086:3A30 at 0:31.3",
       0x3406, 0x3A16, 0x3A30, 0x00, 0x0400, 0x01, 0,
       {Slot(6, Ddr3(4096, 2, "PC3-10600", "Samsung", kSamsung, "M391B5273CH0-CH9", 0x55200006)),
        Slot(7, Ddr3(4096, 2, "PC3-10600", "Samsung", kSamsung, "M391B5273CH0-CH9", 0x55200007))},
       "EC-5520 Server",
       {{"DIMM0", 0}, {"DIMM1", 0}, {"DIMM2", 0}, {"DIMM3", 0}, {"DIMM4", 0}, {"DIMM5", 0},
        {"DIMM6", 4096}, {"DIMM7", 4096}}},
      {"pch6", "Intel H67 + 6-series PCH, SMBus 8086:1C22 at 0:31.3, four slots", 0x0100, 0x1C4A,
       0x1C22, 0x05, 0xF000, 0x01, 0,
       {Slot(0, Ddr3(2048, 2, "PC3-10600", "Kingston", kKingston, "KVR1333D3N9/2G", 0x60600001)),
        Slot(1, Ddr3(4096, 2, "PC3-10600", "Micron", kMicron, "MT16JTF51264AZ-1G4", 0x60600002)),
        Slot(2, Ddr3(2048, 2, "PC3-10600", "Kingston", kKingston, "KVR1333D3N9/2G", 0x60600003)),
        Slot(3, Ddr3(4096, 2, "PC3-10600", "Micron", kMicron, "MT16JTF51264AZ-1G4", 0x60600004))},
       "EC-H67 Desktop", {{"DIMM0", 2048}, {"DIMM1", 4096}, {"DIMM2", 2048}, {"DIMM3", 4096}}},
      {"pch7-inuse",
       "Intel Z77 + 7-series PCH whose firmware holds the SMBus semaphore for 40 ms, SMBus "
       "8086:1E22 at 0:31.3",
       0x0150, 0x1E44, 0x1E22, 0x04, 0xF040, 0x01, 40,
       // An overclocker's module: XMP 1.3 at DDR3-1866 and -1600.
       {Slot(0, WithXmp(Ddr3(4096, 2, "PC3-10600", "Kingston", kKingston, "KHX1866C9D3/4GX",
        0x70700001),
                        {{.tckPs = 1071, .cl = 9, .trcd = 10, .trp = 9, .tras = 27,
                         .millivolts = 1650},
                         {.tckPs = 1250, .cl = 9, .trcd = 9, .trp = 9, .tras = 24,
                          .millivolts = 1500,
                          .dimmsPerChannel = 2}}))},
       "EC-Z77 Desktop", {{"DIMM0", 4096}, {"DIMM1", 0}}},
      {"pch8-spdwd",
       "Intel Z87 + 8-series PCH, SPD writes disabled by the firmware, SMBus 8086:8C22 at 0:31.3",
       0x0C00, 0x8C44, 0x8C22, 0x05, 0xF000, 0x11, 0,
       {Slot(0, Ddr3(4096, 2, "PC3-12800", "Micron", kMicron, "MT16KTF51264AZ-1G6", 0x80800001)),
        Slot(2, Ddr3(4096, 2, "PC3-12800", "Micron", kMicron, "MT16KTF51264AZ-1G6", 0x80800002))},
       "EC-Z87 Desktop", {{"DIMM0", 4096}, {"DIMM1", 0}, {"DIMM2", 4096}, {"DIMM3", 0}}},
      // DDR4 from here on. The firmware leaves SPD page 1 selected, and the
      // maker protected the base configuration (block 0) of the third module.
      {"pch100", "Intel Z170 + 100-series PCH, four DDR4 UDIMMs, SMBus 8086:A123 at 0:31.4",
       0x191F, 0xA145, 0xA123, 0x31, 0xF000, 0x01, 0,
       {Slot(0, WithXmp(Ddr4(8192, 1, "PC4-17000", "Kingston", kKingston, "KHX2133C14D4/8G",
        0x1A000001),
                        {kKhx2400})),
        Slot(1, WithXmp(Ddr4(8192, 1, "PC4-17000", "Kingston", kKingston, "KHX2133C14D4/8G",
            0x1A000002),
                        {kKhx2400})),
        Slot(2, Ddr4(16384, 2, "PC4-19200", "Samsung", kSamsung, "M378A2K43BB1-CRC", 0x1A000003),
             0x01),
        Slot(3, Ddr4(16384, 2, "PC4-19200", "Micron", kMicron, "MTA16ATF2G64AZ-2G3", 0x1A000004))},
       "EC-Z170 Desktop",
       {{"DIMM0", 8192}, {"DIMM1", 8192}, {"DIMM2", 16384}, {"DIMM3", 16384}}, 4, 1},
      // The same with a BIOS that leaves no SMBIOS table: nothing says the
      // modules are DDR4, and page 1 shows no type byte.
      {"pch100-nosmbios",
       "Intel Z170 + 100-series PCH, DDR4 UDIMMs left on SPD page 1 and no SMBIOS table, SMBus "
       "8086:A123 at 0:31.4",
       0x191F, 0xA145, 0xA123, 0x31, 0xF000, 0x01, 0,
       {Slot(0, Ddr4(8192, 1, "PC4-17000", "Kingston", kKingston, "KVR21N15S8/8", 0x1B000001)),
        Slot(1, Ddr4(8192, 1, "PC4-17000", "Kingston", kKingston, "KVR21N15S8/8", 0x1B000002))},
       "EC-Z170 Bare", {{"DIMM0", 8192}, {"DIMM1", 8192}}, 4, 1, false},
      {"pch300-lp", "Intel 300-series PCH-LP laptop, two DDR4 SO-DIMMs, SMBus 8086:9DA3 at 0:31.4",
       0x3E34, 0x9D84, 0x9DA3, 0x30, 0xEFA0, 0x11, 0,
       {Slot(0, Ddr4(8192, 1, "PC4-21300", "Hynix", kHynix, "HMA81GS6CJR8N-VK", 0x3A000001,
                     ModuleForm::SoDimm)),
        Slot(2, Ddr4(8192, 1, "PC4-21300", "Hynix", kHynix, "HMA81GS6CJR8N-VK", 0x3A000002,
                     ModuleForm::SoDimm))},
       "EC-8265 Laptop", {{"ChannelA-DIMM0", 8192}, {"ChannelB-DIMM0", 8192}}, 4},
      {"glk", "Intel Gemini Lake box, one DDR4 SO-DIMM, SMBus 8086:31D4 at 0:31.1", 0x31F0,
       0x31E8, 0x31D4, 0x03, 0xF040, 0x01, 0,
       // Its SPD takes a page select and refuses the byte after the address.
       {{.slot = 0,
         .dimm = Ddr4(4096, 1, "PC4-19200", "Micron", kMicron, "MTA4ATF51264HZ-2G6", 0x31000001,
                      ModuleForm::SoDimm),
         .eeprom = {.pageDataAck = false}}},
       "EC-J4105 Box", {{"DIMM0", 4096}, {"DIMM1", 0}}, 1},
      {"baytrail-d", "Intel Bay Trail-D board, DDR3L SO-DIMMs, SMBus 8086:0F12 at 0:31.3", 0x0F00,
       0x0F1C, 0x0F12, 0x0E, 0xF000, 0x01, 0,
       {Slot(0, Ddr3L(4096, 2, "PC3-12800", "Samsung", kSamsung, "M471B5173QH0-YK0", 0x0F000001)),
        Slot(2, Ddr3L(4096, 2, "PC3-12800", "Samsung", kSamsung, "M471B5173QH0-YK0", 0x0F000002))},
       "EC-J1900 Board", {{"DIMM0", 4096}, {"DIMM1", 4096}}},
      // X99: the modules' SPDs hang on the processor's memory-controller SMBus;
      // the PCH's bus has none.
      {"x99", "Intel X99 (C610) + LGA2011-3, DDR4 on the processor's SMBus, SMBus 8086:8D22 at "
              "0:31.3",
       0x2F00, 0x8D47, 0x8D22, 0x05, 0xF000, 0x01, 0, {}, "EC-X99 Workstation",
       {{"DIMM_A1", 8192}, {"DIMM_B1", 8192}, {"DIMM_C1", 8192}, {"DIMM_D1", 8192}}},
  };
  // clang-format on
  std::vector<Board> all;
  for (const LaterIntelBoard& d : boards) all.push_back(Make(d));
  return all;
}

}  // namespace sim::boards
