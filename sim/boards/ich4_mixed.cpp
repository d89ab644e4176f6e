#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/intel_smbus_host.h"

namespace sim::boards {

// An Intel 845 board with an 82801DB (ICH4): four slots of which the middle
// two are empty, one module with ECC. No segment switch is fitted.
Board Ich4Mixed() {
  Board b;
  b.name = "ich4-mixed";
  b.description = "Intel 845PE + 82801DB ICH4, slots 1 and 2 empty, SMBus 8086:24C3 at 0:31.3";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x2560,
       .revision = 0x03, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = 0x24C0,
       .revision = 0x02, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = 3, .vendorId = 0x8086, .deviceId = 0x24C3,
       .revision = 0x02, .classCode = 0x0C0500, .dwords = {{0x04, 0x02800001}, {0x20, 0x00000881},
           {0x40, 0x00000001}},
       .name = "SMBus controller"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallIntelSmbusHost;
  smbus.ioBase = 0x0880;
  smbus.ports = 0x20;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Ddr(256, 1, "PC2100", "Micron", kMicron, "9VDDT3272AG-265", 0x0000E001,
       72)},
      {.slot = 3, .dimm = Ddr(128, 1, "PC2100", "Hynix", kHynix, "HYMD216646D8J-H", 0x0000E002)},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

}  // namespace sim::boards
