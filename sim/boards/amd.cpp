#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/amd_smbus_host.h"

namespace sim::boards {

// An Athlon board with the AMD-750 north bridge and the AMD-756 south bridge:
// the SMBus host sits in the power-management function 0:7.3, whose
// configuration word 0x58 holds the I/O base 0x5000 and whose byte 0x41
// bit 7 enables it; the host's registers answer at 0x50E0-0x50EF. Three SDR
// slots, the middle one empty; the module in the third has its SPD write
// protected.
Board Amd756() {
  Board b;
  b.name = "amd756";
  b.description = "AMD-750 + AMD-756, SMBus in 1022:740B at 0:7.3";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1022, .deviceId = 0x7006,
       .revision = 0x25, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x1022, .deviceId = 0x7007,
       .revision = 0x00, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x1022, .deviceId = 0x7408,
       .revision = 0x03, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = 0x1022, .deviceId = 0x7409,
       .revision = 0x07, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = 0x1022, .deviceId = 0x740B,
       .revision = 0x03, .classCode = 0x068000,
       .dwords = {{0x40, 0x00008000}, {0x58, 0x00005001}}, .name = "power management"},
      {.bus = 0, .device = 7, .function = 4, .vendorId = 0x1022, .deviceId = 0x740C,
       .revision = 0x06, .classCode = 0x0C0310, .name = "USB controller"},
      {.bus = 1, .device = 5, .function = 0, .vendorId = 0x10DE, .deviceId = 0x0110,
       .revision = 0xA1, .classCode = 0x030000, .name = "AGP graphics"},
  };
  SmbusHostSpec smbus;
  smbus.install = InstallAmdSmbusHost;
  smbus.ioBase = 0x5000;
  smbus.pciBus = 0;
  smbus.pciDevice = 7;
  smbus.pciFunction = 3;
  smbus.transactionMs = 0;  // a cycle lasts its bit times
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(256, 2, "PC133", "Micron", kMicron, "MT16LSDT3264AG-13E", 0x0756A001)},
      {.slot = 2, .dimm = Sdr(128, 1, "PC100", "Hynix", kHynix, "HYM71V16635HCT8-H", 0x0756A002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  b.smbus = smbus;
  // SMBIOS 2.3 of an Award BIOS of its time: a memory controller with three
  // sockets and one module structure each (log2 of the MB, bit 7 double-bank).
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFB2C0,
      .tableAddress = 0xF0A00,
      .biosVendor = "Award Software International, Inc.",
      .biosVersion = "6.00 PG",
      .biosDate = "06/12/2000",
      .system = {"Example Computers Ltd", "EC-K7 Athlon", "1.1", "ECK7-0012345"},
      .board = {"Example Boards Inc.", "K7V-750", "REV 1.03", "K7V750-88172"},
      .processorSocket = "Slot A",
      .processorManufacturer = "AMD",
      .processorVersion = "AMD Athlon(tm) Processor",
      .controllerSlots = 3,
      .modules = {{"DIMM1", 0x88}, {"DIMM2", 0x7F}, {"DIMM3", 0x07}},
  };
  return b;
}

}  // namespace sim::boards
