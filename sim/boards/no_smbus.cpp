#include "sim/boards/boards.h"

namespace sim::boards {

// A board with an ICH9, whose SMBus function 8086:2930 the driver does not
// recognise: it loads without a controller. Its BIOS leaves no SMBIOS entry
// point either, so the memory queries find no table.
Board NoSmbus() {
  Board b;
  b.name = "nosmbus";
  b.description = "Intel Q35 + ICH9, SMBus 8086:2930 not supported by the driver";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x29C0,
       .revision = 0x02, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = 0x2918,
       .revision = 0x02, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = 2, .vendorId = 0x8086, .deviceId = 0x2922,
       .revision = 0x02, .classCode = 0x010601, .name = "SATA controller"},
      {.bus = 0, .device = 31, .function = 3, .vendorId = 0x8086, .deviceId = 0x2930,
       .revision = 0x02, .classCode = 0x0C0500, .dwords = {{0x20, 0x00000B01}},
       .name = "SMBus controller"},
  };
  return b;
}

}  // namespace sim::boards
