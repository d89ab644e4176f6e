#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/intel_smbus_host.h"

namespace sim::boards {

// An Intel 440BX board with a PIIX4E: the SMBus host lives in the
// power-management function 0:7.3 and decodes I/O from the base in
// configuration dword 0x90 (here 0x5000) while I/O space (command bit 0) and
// the host (byte 0xD2 bit 0) are enabled.
Board Piix4() {
  Board b;
  b.name = "piix4";
  b.description = "Intel 440BX + PIIX4E, SMBus in 8086:7113 at 0:7.3";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x7190,
       .revision = 0x03, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x8086, .deviceId = 0x7191,
       .revision = 0x03, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x8086, .deviceId = 0x7110,
       .revision = 0x02, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = 0x8086, .deviceId = 0x7111,
       .revision = 0x01, .classCode = 0x010180, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 2, .vendorId = 0x8086, .deviceId = 0x7112,
       .revision = 0x01, .classCode = 0x0C0300, .name = "USB controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = 0x8086, .deviceId = 0x7113,
       .revision = 0x02, .classCode = 0x068000,
       .dwords = {{0x04, 0x02800001}, {0x90, 0x00005001}, {0xD0, 0x00010000}},
       .name = "power management"},
      {.bus = 1, .device = 0, .function = 0, .vendorId = 0x1002, .deviceId = 0x5246,
       .revision = 0x00, .classCode = 0x030000, .name = "AGP graphics"},
  };
  // clang-format on
  // SDR modules; a latch on the board at port 0xE437 switches segment 1 in
  // with selector 1 in bits 4-3.
  SmbusHostSpec smbus;
  smbus.install = InstallIntelSmbusHost;
  smbus.ioBase = 0x5000;
  smbus.ports = 0x10;
  smbus.segmentSwitch = SegmentSwitch::BoardLatch;
  smbus.switchInitial = 0xA2;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(128, 1, "PC100", "Micron", kMicron, "MT8LSDT1664AG-10E", 0x0000A001)},
      {.slot = 1, .dimm = Sdr(256, 2, "PC133", "Samsung", kSamsung, "M366S3253CTS-C75",
       0x0000A002)},
  };
  // clang-format on
  // clang-format off
  smbus.segment1 = {
      {.slot = 0, .dimm = Sdr(64, 1, "PC100", "Hynix", kHynix, "HYM7V64801BTFG-10", 0x0000B001)},
  };
  // clang-format on
  b.smbus = smbus;
  // SMBIOS 2.1 of its time: the table inside the BIOS area, memory described
  // by a memory controller with four sockets and one module structure per
  // socket (installed size: log2 of the MB, bit 7 double-bank), no memory
  // array or devices.
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFB650,
      .tableAddress = 0xF0800,
      .biosVendor = "Award Software International, Inc.",
      .biosVersion = "4.51 PG",
      .biosDate = "03/24/99",
      .system = {"Example Computers Ltd", "EC-440BX", "", ""},
      .board = {"Example Boards Inc.", "BX-6 Pro", "REV 2.0", ""},
      .processorSocket = "Slot 1",
      .processorManufacturer = "Intel",
      .processorVersion = "Pentium III",
      .controllerSlots = 4,
      .modules = {{"DIMM1", 0x07}, {"DIMM2", 0x88}, {"DIMM3", 0x06}, {"DIMM4", 0x7F}},
  };
  // clang-format on
  return b;
}

}  // namespace sim::boards
