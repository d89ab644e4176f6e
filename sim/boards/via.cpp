#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/via_smbus_host.h"

namespace sim::boards {

namespace {

constexpr uint16_t kVia = 0x1106;

// The SMBus host of these south bridges decodes the I/O base in
// configuration dword 0x90 (0xD0 from the VT8233 on, and only while that
// base's bit 0 is set) while bit 0 of configuration byte 0xD2 enables it.
PciIoDecode HostDecode(uint8_t device, uint8_t function, uint8_t baseRegister) {
  PciIoDecode decode{.bus = 0,
                     .device = device,
                     .function = function,
                     .baseRegister = baseRegister,
                     .baseMask = 0xFFF0,
                     .size = 8,
                     .enables = {{0xD2, 0x01}}};
  if (baseRegister == 0xD0) decode.enables.push_back({0xD0, 0x01});
  return decode;
}

// A 596 board (VT82C596A or B, SMBus in the power-management function
// 0:7.3): three SDR modules on the main segment, two behind the switch that
// bit 3 of the general-purpose outputs at port 0xE44F selects.
Board Via596(const char* name, uint16_t smbusDevice, uint8_t revision, const char* what) {
  Board b;
  b.name = name;
  b.description = std::string("VIA Apollo Pro + ") + what +
                  ", SMBus 1106:" + (smbusDevice == 0x3050 ? "3050" : "3051") + " at 0:7.3";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kVia, .deviceId = 0x0691,
       .revision = 0x44, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = kVia, .deviceId = 0x8598,
       .revision = 0x00, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = kVia, .deviceId = 0x0596,
       .revision = 0x12, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = kVia, .deviceId = 0x0571,
       .revision = 0x06, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = kVia, .deviceId = smbusDevice,
       .revision = revision, .classCode = 0x068000,
       .dwords = {{0x48, 0x0000E401}, {0x90, 0x00005001}, {0xD0, 0x00010000}},
       .name = "power management and SMBus"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallViaSmbusHost;
  smbus.ioBase = 0x5000;
  smbus.decode = HostDecode(7, 3, 0x90);
  smbus.segmentSwitch = SegmentSwitch::ViaGpo596;
  smbus.switchInitial = 0xA0;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(128, 1, "PC100", "Micron", kMicron, "MT8LSDT1664AG-10C", 0x596A0001)},
      {.slot = 1, .dimm = Sdr(256, 2, "PC100", "Samsung", kSamsung, "M366S3253BTS-C1H",
       0x596A0002)},
      {.slot = 2, .dimm = Sdr(64, 1, "PC100", "Hynix", kHynix, "HYM7V64801BTFG-10", 0x596A0003),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  // clang-format off
  smbus.segment1 = {
      {.slot = 0, .dimm = Sdr(256, 2, "PC133", "Infineon", kInfineon, "HYS64V32220GU-7.5",
       0x596B0001)},
      {.slot = 2, .dimm = Sdr(128, 1, "PC133", "Micron", kMicron, "MT8LSDT1664AG-13E", 0x596B0002)},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

// A 596A board whose BIOS placed the SMBus at the chip's second pair: base
// dword 0x80 (bit 0 set: I/O), host configuration byte 0x84; dword 0x90 holds
// no I/O base and byte 0xD2 leaves the first pair off.
Board Via596SecondPair() {
  Board b = Via596("via596a-second", 0x3050, 0x00, "VT82C596A, SMBus at its second base");
  b.pci.back().dwords = {{0x48, 0x0000E401},
                         {0x80, 0x00005001},
                         {0x84, 0x00000001},
                         {0x90, 0x00000000},
                         {0xD0, 0x00000000}};
  b.smbus->decode = {.bus = 0,
                     .device = 7,
                     .function = 3,
                     .baseRegister = 0x80,
                     .baseMask = 0xFFF0,
                     .size = 8,
                     .enables = {{0x84, 0x01}, {0x80, 0x01}}};
  return b;
}

// A 686 board (SMBus in the power-management function 0:7.4): the second
// bank is switched in by bit 0 of the outputs at port 0xE44D while bit 3 is
// clear.
Board Via686(const char* name, uint8_t revision, const char* what) {
  Board b;
  b.name = name;
  b.description = std::string("VIA KX133 + ") + what + ", SMBus 1106:3057 at 0:7.4";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kVia, .deviceId = 0x0305,
       .revision = 0x02, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = kVia, .deviceId = 0x8305,
       .revision = 0x00, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = kVia, .deviceId = 0x0686,
       .revision = 0x22, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = kVia, .deviceId = 0x0571,
       .revision = 0x10, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 2, .vendorId = kVia, .deviceId = 0x3038,
       .revision = 0x16, .classCode = 0x0C0300, .name = "USB controller"},
      {.bus = 0, .device = 7, .function = 4, .vendorId = kVia, .deviceId = 0x3057,
       .revision = revision, .classCode = 0x068000,
       .dwords = {{0x48, 0x0000E401}, {0x90, 0x00005001}, {0xD0, 0x00010000}},
       .name = "power management and SMBus"},
      {.bus = 0, .device = 7, .function = 5, .vendorId = kVia, .deviceId = 0x3058,
       .revision = 0x50, .classCode = 0x040100, .name = "AC'97 audio"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallViaSmbusHost;
  smbus.ioBase = 0x5000;
  smbus.decode = HostDecode(7, 4, 0x90);
  smbus.segmentSwitch = SegmentSwitch::ViaGpo686;
  smbus.switchInitial = 0x48;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(256, 2, "PC133", "Samsung", kSamsung, "M366S3323CT0-C7A",
       0x686A0001)},
      {.slot = 2, .dimm = Sdr(128, 1, "PC133", "Kingston", kKingston, "KVR133X64C3/128",
       0x686A0002),
       .eeprom = {.writeProtect = WriteProtect::Nack}},
  };
  // clang-format on
  // clang-format off
  smbus.segment1 = {
      {.slot = 1, .dimm = Sdr(512, 2, "PC133", "Micron", kMicron, "MT16LSDT6464AG-13E",
       0x686B0001)},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

// A VT8231 board: the south bridge's power-management function 0:17.4
// carries the SMBus; no segment switch is fitted.
Board Vt8231() {
  Board b;
  b.name = "vt8231";
  b.description = "VIA PLE133 + VT8231, SMBus 1106:8235 at 0:17.4";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kVia, .deviceId = 0x0601,
       .revision = 0x05, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 17, .function = 0, .vendorId = kVia, .deviceId = 0x8231,
       .revision = 0x10, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 17, .function = 1, .vendorId = kVia, .deviceId = 0x0571,
       .revision = 0x06, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 17, .function = 4, .vendorId = kVia, .deviceId = 0x8235,
       .revision = 0x10, .classCode = 0x068000,
       .dwords = {{0x90, 0x00006001}, {0xD0, 0x00010000}}, .name = "power management and SMBus"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallViaSmbusHost;
  smbus.ioBase = 0x6000;
  smbus.decode = HostDecode(17, 4, 0x90);
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(256, 1, "PC133", "Micron", kMicron, "MT8LSDT3264AG-133", 0x82310001)},
      {.slot = 1, .dimm = Sdr(256, 1, "PC133", "Micron", kMicron, "MT8LSDT3264AG-133", 0x82310002)},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

// What tells the boards whose SMBus host sits in the south bridge's ISA
// bridge function 0:17.0 (VT8235 on) apart.
struct IsaBridgeHostFacts {
  const char* name;
  const char* description;
  std::vector<PciFunctionSpec> north;  // the functions before the south bridge
  uint16_t southBridge;
  uint8_t revision;
  uint32_t hostDword;  // dword 0xD0: the base, with the host enable in byte 0xD2
  uint16_t ioBase;
  std::vector<PciFunctionSpec> others;  // the functions after it
  std::vector<SpdSlotSpec> modules;
};

// The SMBus host decodes its base from configuration dword 0xD0 of the ISA
// bridge function; dword 0x90 holds another value there.
Board IsaBridgeHost(IsaBridgeHostFacts f) {
  Board b;
  b.name = f.name;
  b.description = f.description;
  b.pci = std::move(f.north);
  b.pci.push_back({.bus = 0,
                   .device = 17,
                   .function = 0,
                   .vendorId = kVia,
                   .deviceId = f.southBridge,
                   .revision = f.revision,
                   .classCode = 0x060100,
                   .multiFunction = true,
                   .dwords = {{0x90, 0x0000F0F1}, {0xD0, f.hostDword}},
                   .name = "ISA bridge and SMBus"});
  for (PciFunctionSpec& other : f.others) b.pci.push_back(std::move(other));
  SmbusHostSpec smbus;
  smbus.install = InstallViaSmbusHost;
  smbus.ioBase = f.ioBase;
  smbus.decode = HostDecode(17, 0, 0xD0);
  smbus.segment0 = std::move(f.modules);
  b.smbus = smbus;
  return b;
}

PciFunctionSpec HostBridge(uint16_t deviceId, uint8_t revision) {
  return {.bus = 0,
          .device = 0,
          .function = 0,
          .vendorId = kVia,
          .deviceId = deviceId,
          .revision = revision,
          .classCode = 0x060000,
          .name = "host bridge"};
}

PciFunctionSpec IdeController() {
  return {.bus = 0,
          .device = 17,
          .function = 1,
          .vendorId = kVia,
          .deviceId = 0x0571,
          .revision = 0x06,
          .classCode = 0x01018A,
          .name = "IDE controller"};
}

// A VT8235 board (KT400, AGP graphics).
Board Vt8235() {
  return IsaBridgeHost(
      {"vt8235",
       "VIA KT400 + VT8235, SMBus 1106:3177 at 0:17.0",
       {HostBridge(0x3189, 0x80),
        {.bus = 0,
         .device = 1,
         .function = 0,
         .vendorId = kVia,
         .deviceId = 0xB168,
         .revision = 0x00,
         .classCode = 0x060400,
         .name = "AGP bridge"}},
       0x3177,
       0x00,
       0x00010501,
       0x0500,
       {IdeController(),
        {.bus = 1,
         .device = 0,
         .function = 0,
         .vendorId = 0x1002,
         .deviceId = 0x5960,
         .revision = 0x01,
         .classCode = 0x030000,
         .name = "AGP graphics"}},
       {{.slot = 0,
         .dimm = Ddr(512, 2, "PC2700", "Samsung", kSamsung, "M368L3223ETM-CB3", 0x82350001)},
        {.slot = 1, .dimm = Ddr(256, 1, "PC2700", "Hynix", kHynix, "HYMD232646B8J-J", 0x82350002)},
        {.slot = 3,
         .dimm = Ddr(512, 2, "PC3200", "Kingston", kKingston, "KVR400X64C3A/512", 0x82350003)}}});
}

// A VT8237R board (K8T800, DDR): the second module's SPD keeps its bytes
// when written.
Board Vt8237r() {
  return IsaBridgeHost(
      {"vt8237r",
       "VIA K8T800 Pro + VT8237R, SMBus 1106:3227 at 0:17.0",
       {HostBridge(0x0282, 0x00)},
       0x3227,
       0x00,
       0x00010401,
       0x0400,
       {IdeController()},
       {{.slot = 0,
         .dimm = Ddr(512, 1, "PC3200", "Micron", kMicron, "MT8VDDT6464AG-40B", 0x32270001)},
        {.slot = 1,
         .dimm = Ddr(1024, 2, "PC3200", "Samsung", kSamsung, "M368L2923DUN-CCC", 0x32270002),
         .eeprom = {.writeProtect = WriteProtect::AckAndKeep}}}});
}

// A VX900 board (integrated north bridge, DDR3).
Board Vx900() {
  return IsaBridgeHost(
      {"vx900",
       "VIA VX900, SMBus 1106:8410 at 0:17.0",
       {HostBridge(0x0410, 0x00)},
       0x8410,
       0x00,
       0x00010C01,
       0x0C00,
       {IdeController()},
       {{.slot = 0,
         .dimm = Ddr3(2048, 2, "PC3-10600", "Kingston", kKingston, "KVR1333D3N9/2G", 0x84100001)},
        {.slot = 1,
         .dimm = Ddr3(4096, 2, "PC3-10600", "Samsung", kSamsung, "M378B5273DH0-CH9", 0x84100002),
         .eeprom = {.writeProtect = WriteProtect::Nack}}}});
}

}  // namespace

std::vector<Board> Via() {
  return {
      Via596("via596a", 0x3050, 0x00, "VT82C596A"),
      Via596("via596b", 0x3051, 0x00, "VT82C596B"),
      Via596SecondPair(),
      Via686("via686", 0x00, "VT82C686"),
      Via686("via686a", 0x01, "VT82C686A"),
      Via686("via686b", 0x04, "VT82C686B"),
      Via686("via686b-40", 0x40, "VT82C686B revision 0x40"),
      Vt8231(),
      Vt8235(),
      Vt8237r(),
      Vx900(),
  };
}

}  // namespace sim::boards
