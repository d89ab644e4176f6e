#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/ali1563_smbus_host.h"

namespace sim::boards {

// An Athlon 64 board with the ULi M1689 and the M1563 south bridge 0:2.0,
// whose own SMBus host decodes its base from configuration word 0x80
// (0xE800, I/O and host enabled). Two DDR slots filled of four, the second
// module's SPD refusing writes by not acknowledging them.
Board Ali1563() {
  constexpr uint16_t kAli = 0x10B9;
  Board b;
  b.name = "ali1563";
  b.description = "ULi M1689 + M1563, SMBus 10B9:1563 at 0:2.0";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kAli, .deviceId = 0x1689,
       .revision = 0x00, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 2, .function = 0, .vendorId = kAli, .deviceId = 0x1563,
       .revision = 0x70, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x80, 0x0000E803}}, .name = "south bridge and SMBus"},
      {.bus = 0, .device = 2, .function = 1, .vendorId = kAli, .deviceId = 0x7101,
       .revision = 0x00, .classCode = 0x068000, .name = "power management"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallAli1563SmbusHost;
  smbus.ioBase = 0xE800;
  smbus.pciBus = 0;
  smbus.pciDevice = 2;
  smbus.pciFunction = 0;
  smbus.transactionMs = 1;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Ddr(512, 2, "PC3200", "Micron", kMicron, "MT16VDDT6464AG-40B",
       0x1563D001)},
      {.slot = 1, .dimm = Ddr(512, 2, "PC3200", "Hynix", kHynix, "HYMD264646D8J-D43", 0x1563D002),
       .eeprom = {.writeProtect = WriteProtect::Nack}},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

}  // namespace sim::boards
