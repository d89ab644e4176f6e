#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/amd_smbus_host.h"
#include "sim/models/nvidia_0064_smbus_host.h"

namespace sim::boards {

// An Athlon board with the nForce 420D: the SMBus function 0:1.1 (10DE:01B4)
// has two I/O ranges, 0x5000 at configuration dword 0x10 and 0x5100 at 0x14,
// each an AMD-style SMBus host block; the SPD EEPROMs are wired to the one
// at `spdRange`. Three DDR slots, the middle one empty, the third write
// protected.
Board NforceBoard(const char* name, const char* description, uint8_t spdRange) {
  Board b;
  b.name = name;
  b.description = description;
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01A4,
       .revision = 0xB2, .classCode = 0x060000, .multiFunction = true, .name = "host bridge"},
      {.bus = 0, .device = 0, .function = 1, .vendorId = 0x10DE, .deviceId = 0x01AC,
       .revision = 0xB2, .classCode = 0x050000, .name = "memory controller"},
      {.bus = 0, .device = 0, .function = 2, .vendorId = 0x10DE, .deviceId = 0x01AD,
       .revision = 0xB2, .classCode = 0x050000, .name = "memory controller"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01B2,
       .revision = 0xC3, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 1, .function = 1, .vendorId = 0x10DE, .deviceId = 0x01B4,
       .revision = 0xC1, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x00000001}, {0x10, 0x00005001}, {0x14, 0x00005101}},
       .name = "SMBus controller"},
      {.bus = 0, .device = 2, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01C2,
       .revision = 0xC3, .classCode = 0x0C0310, .name = "USB controller"},
      {.bus = 0, .device = 9, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01BC,
       .revision = 0xC3, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 30, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01B7,
       .revision = 0xB2, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 1, .device = 0, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01A0,
       .revision = 0xB1, .classCode = 0x030000, .name = "integrated graphics"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallNforceSmbusHost;
  smbus.pciBus = 0;
  smbus.pciDevice = 1;
  smbus.pciFunction = 1;
  smbus.transactionMs = 0;  // a cycle lasts its bit times
  smbus.nforceSpdRange = spdRange;
  smbus.ioBase = spdRange == 0x10 ? 0x5000 : 0x5100;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Ddr(256, 1, "PC2100", "Micron", kMicron, "MT8VDDT3264AG-265",
       0x01B4C001)},
      {.slot = 2, .dimm = Ddr(512, 2, "PC2100", "Kingston", kKingston, "KVR266X64C25/512",
       0x01B4C002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  b.smbus = smbus;
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFB4A0,
      .tableAddress = 0xF0C00,
      .biosVendor = "Phoenix Technologies, LTD",
      .biosVersion = "6.00 PG",
      .biosDate = "11/27/2001",
      .system = {"Example Computers Ltd", "EC-N420 Media", "1.0", "ECN420-0031337"},
      .board = {"Example Boards Inc.", "N420-IGP", "REV 1.0", "N420IGP-40913"},
      .processorSocket = "Socket A",
      .processorManufacturer = "AMD",
      .processorVersion = "AMD Athlon(tm) XP 1700+",
      .arrays = {{.deviceCount = 3, .devices = {{"DIMM0", 256}, {"DIMM1", 0}, {"DIMM2", 512}}}},
  };
  // clang-format on
  return b;
}

Board Nforce() {
  return NforceBoard("nforce", "nVidia nForce 420D, SMBus 10DE:01B4 at 0:1.1", 0x10);
}

Board NforceRange14() {
  return NforceBoard(
      "nforce-14", "nVidia nForce 420D, SMBus 10DE:01B4 at 0:1.1, modules behind the range at 0x14",
      0x14);
}

// An Athlon XP board with the nForce2 Ultra 400: the MCP's SMBus function
// 0:1.1 (10DE:0064) decodes its host block at configuration dword 0x50
// (0x5000). Three DDR slots, the last empty; the second module's SPD refuses
// writes by not acknowledging them.
Board Nforce2() {
  Board b;
  b.name = "nforce2";
  b.description = "nVidia nForce2 Ultra 400, SMBus 10DE:0064 at 0:1.1";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01E0,
       .revision = 0xC1, .classCode = 0x060000, .multiFunction = true, .name = "host bridge"},
      {.bus = 0, .device = 0, .function = 1, .vendorId = 0x10DE, .deviceId = 0x01EB,
       .revision = 0xC1, .classCode = 0x050000, .name = "memory controller"},
      {.bus = 0, .device = 0, .function = 2, .vendorId = 0x10DE, .deviceId = 0x01EE,
       .revision = 0xC1, .classCode = 0x050000, .name = "memory controller"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x10DE, .deviceId = 0x0060,
       .revision = 0xA4, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 1, .function = 1, .vendorId = 0x10DE, .deviceId = 0x0064,
       .revision = 0xA2, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x00000001}, {0x50, 0x00005001}}, .name = "SMBus controller"},
      {.bus = 0, .device = 2, .function = 0, .vendorId = 0x10DE, .deviceId = 0x0067,
       .revision = 0xA4, .classCode = 0x0C0310, .multiFunction = true, .name = "USB OHCI"},
      {.bus = 0, .device = 2, .function = 2, .vendorId = 0x10DE, .deviceId = 0x0068,
       .revision = 0xA4, .classCode = 0x0C0320, .name = "USB EHCI"},
      {.bus = 0, .device = 9, .function = 0, .vendorId = 0x10DE, .deviceId = 0x0065,
       .revision = 0xA2, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 30, .function = 0, .vendorId = 0x10DE, .deviceId = 0x01E8,
       .revision = 0xC1, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 1, .device = 0, .function = 0, .vendorId = 0x1002, .deviceId = 0x4E44,
       .revision = 0x00, .classCode = 0x030000, .name = "AGP graphics"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallNvidia0064SmbusHost;
  smbus.ioBase = 0x5000;
  smbus.pciBus = 0;
  smbus.pciDevice = 1;
  smbus.pciFunction = 1;
  smbus.transactionMs = 1;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423FTN-CCC",
       0x0064D001)},
      {.slot = 1, .dimm = Ddr(256, 1, "PC2700", "Hynix", kHynix, "HYMD232646D8J-J", 0x0064D002),
       .eeprom = {.writeProtect = WriteProtect::Nack}},
  };
  // clang-format on
  b.smbus = smbus;
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFB5E0,
      .tableAddress = 0xF0E00,
      .biosVendor = "Phoenix Technologies, LTD",
      .biosVersion = "6.00 PG",
      .biosDate = "08/19/2003",
      .system = {"Example Computers Ltd", "EC-N2 Ultra", "2.0", "ECN2U-0065536"},
      .board = {"Example Boards Inc.", "N2-400 Ultra", "REV 2.0", "N2U400-77031"},
      .processorSocket = "Socket A",
      .processorManufacturer = "AMD",
      .processorVersion = "AMD Athlon(tm) XP 2800+",
      .arrays = {{.deviceCount = 3, .devices = {{"DIMM0", 512}, {"DIMM1", 256}, {"DIMM2", 0}}}},
  };
  // clang-format on
  return b;
}

}  // namespace sim::boards
