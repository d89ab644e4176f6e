#include "sim/boards/boards.h"

namespace sim::boards {

// A board whose chipset the driver does not recognise: an Intel SMBus
// function at 0:31.4 whose device ID, 8086:FFFE, no chip has (the top of
// Intel's range, kept clear of FFFF, which an absent function reads as, and
// of the IDs the next PCH rows would take). The driver loads without a
// controller. Its BIOS leaves no SMBIOS entry point either, so the memory
// queries find no table.
Board NoSmbus() {
  Board b;
  b.name = kUnsupportedChipsetBoard;
  b.description = "Intel board whose SMBus function, 8086:FFFE at 0:31.4, the driver does not know";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x191F,
       .revision = 0x07, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = 0xA145,
       .revision = 0x31, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = 2, .vendorId = 0x8086, .deviceId = 0xA121,
       .revision = 0x31, .classCode = 0x058000, .name = "power management controller"},
      {.bus = 0, .device = 31, .function = 4, .vendorId = 0x8086, .deviceId = 0xFFFE,
       .revision = 0x31, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x00000001}, {0x20, 0x0000F041}, {0x40, 0x00000011}},
       .name = "SMBus controller"},
  };
  // clang-format on
  return b;
}

}  // namespace sim::boards
