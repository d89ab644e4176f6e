#include "sim/boards/boards.h"

namespace sim::boards {

// An ALi Aladdin V board: M1533 south bridge (revision C3) and the M7101
// power-management function, whose SMBus base register (dword 0x14) the BIOS
// left empty.
Board Ali1535() {
  Board b;
  b.name = "ali1535";
  b.description = "ALi M1541 + M1533 rev C3, M7101 with no SMBus base";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x10B9, .deviceId = 0x1541,
       .revision = 0x04, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x10B9, .deviceId = 0x1533,
       .revision = 0xC3, .classCode = 0x060100, .name = "PCI-ISA bridge"},
      {.bus = 0, .device = 17, .function = 0, .vendorId = 0x10B9, .deviceId = 0x7101,
       .revision = 0x00, .classCode = 0x068000, .dwords = {{0x14, 0x00000001}},
       .name = "power management (M7101)"},
  };
  return b;
}

}  // namespace sim::boards
