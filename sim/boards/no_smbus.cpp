#include "sim/boards/boards.h"

namespace sim::boards {

// A board with a 100-series PCH, whose SMBus host (8086:A123) moved to
// 0:31.4 and which the driver does not recognise: it loads without a
// controller. Its BIOS leaves no SMBIOS entry point either, so the memory
// queries find no table.
Board NoSmbus() {
  Board b;
  b.name = "nosmbus";
  b.description = "Intel Z170 + 100-series PCH, SMBus 8086:A123 at 0:31.4 not supported by the driver";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x191F,
       .revision = 0x07, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = 0xA145,
       .revision = 0x31, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = 2, .vendorId = 0x8086, .deviceId = 0xA121,
       .revision = 0x31, .classCode = 0x058000, .name = "power management controller"},
      {.bus = 0, .device = 31, .function = 4, .vendorId = 0x8086, .deviceId = 0xA123,
       .revision = 0x31, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x00000001}, {0x20, 0x0000F041}, {0x40, 0x00000011}},
       .name = "SMBus controller"},
  };
  return b;
}

}  // namespace sim::boards
