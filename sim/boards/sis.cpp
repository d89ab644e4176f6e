#include "sim/boards/boards.h"
#include "sim/boards/modules.h"

namespace sim::boards {

// A SiS 5600 board with the 5595 south bridge: its ACPI function 1039:0008
// holds the SMBus base in configuration word 0x90, and the power-management
// function 1039:0009 marks the chip as a 5595.
Board Sis5595() {
  Board b;
  b.name = "sis5595";
  b.description = "SiS 5600 + 5595, ACPI base 0x0800";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1039, .deviceId = 0x5600,
       .revision = 0x02, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x1039, .deviceId = 0x0008,
       .revision = 0x01, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x40, 0x00000080}, {0x90, 0x00000800}}, .name = "PCI-ISA bridge with ACPI"},
      {.bus = 0, .device = 1, .function = 1, .vendorId = 0x1039, .deviceId = 0x5513,
       .revision = 0xD0, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 1, .function = 3, .vendorId = 0x1039, .deviceId = 0x0009,
       .revision = 0x00, .classCode = 0x068000, .name = "power management"},
  };
  // The SMBus host's index/data pair answers at the ACPI base while bit 7
  // of configuration byte 0x40 enables ACPI.
  SmbusHostSpec smbus;
  smbus.kind = SmbusHostKind::Sis;
  smbus.ioBase = 0x0800;
  smbus.decode = {.bus = 0, .device = 1, .function = 0, .baseRegister = 0x90, .baseMask = 0xFFF8,
                  .size = 2, .enables = {{0x40, 0x80}}};
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(64, 1, "PC100", "Micron", kMicron, "MT8LSDT864AG-10E", 0x55950001)},
      {.slot = 2, .dimm = Sdr(128, 2, "PC100", "Samsung", kSamsung, "M366S1623ET-C1H", 0x55950002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  b.smbus = smbus;
  return b;
}

// A SiS 645 board with a 961 MuTIOL south bridge: the LPC function
// 1039:0008 carries the ACPI base in configuration word 0x74.
Board Sis96x() {
  Board b;
  b.name = "sis96x";
  b.description = "SiS 645 + 961, ACPI base 0x0C00";
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1039, .deviceId = 0x0645,
       .revision = 0x00, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 2, .function = 0, .vendorId = 0x1039, .deviceId = 0x0008,
       .revision = 0x00, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x74, 0x00000C00}, {0x90, 0x00000000}}, .name = "LPC bridge"},
      {.bus = 0, .device = 2, .function = 5, .vendorId = 0x1039, .deviceId = 0x5513,
       .revision = 0x00, .classCode = 0x01018A, .name = "IDE controller"},
  };
  return b;
}

}  // namespace sim::boards
