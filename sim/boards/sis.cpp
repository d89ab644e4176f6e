#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/gpio_i2c.h"
#include "sim/models/sis_smbus_host.h"

namespace sim::boards {

// A SiS 5600 board with the 5595 south bridge: its ACPI function 1039:0008
// holds the SMBus base in configuration word 0x90, and the power-management
// function 1039:0009 marks the chip as a 5595.
Board Sis5595() {
  Board b;
  b.name = "sis5595";
  b.description = "SiS 5600 + 5595, ACPI base 0x0800";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1039, .deviceId = 0x5600,
       .revision = 0x02, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x1039, .deviceId = 0x0008,
       .revision = 0x01, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x04, 0x00000007}, {0x40, 0x00000080}, {0x90, 0x00000800}},
       .name = "PCI-ISA bridge with ACPI"},
      {.bus = 0, .device = 1, .function = 1, .vendorId = 0x1039, .deviceId = 0x5513,
       .revision = 0xD0, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 1, .function = 3, .vendorId = 0x1039, .deviceId = 0x0009,
       .revision = 0x00, .classCode = 0x068000, .name = "power management"},
  };
  // clang-format on
  // The SMBus host's index/data pair answers at 0x0838-0x0839 of the ACPI
  // block while I/O space and bit 7 of configuration byte 0x40 (ACPI) are
  // enabled.
  SmbusHostSpec smbus;
  smbus.install = InstallSisSmbusHost;
  smbus.ioBase = 0x0800;
  smbus.decode = SisSmbusHost::Decode(0, 1, 0);
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(64, 1, "PC100", "Micron", kMicron, "MT8LSDT864AG-10E", 0x55950001)},
      {.slot = 2, .dimm = Sdr(128, 2, "PC100", "Samsung", kSamsung, "M366S1623ET-C1H", 0x55950002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

// A SiS 645 board with a 961 MuTIOL south bridge: the LPC function
// 1039:0008 carries the ACPI base in configuration word 0x74. The chip's
// SMBus host is not used; the SPD EEPROMs hang on two GPIO pins of the ACPI
// block, which the driver drives as an I2C master.
namespace {

Board Sis96xBoard(const char* name, const char* description, uint16_t acpiBase) {
  Board b;
  b.name = name;
  b.description = description;
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1039, .deviceId = 0x0645,
       .revision = 0x00, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 2, .function = 0, .vendorId = 0x1039, .deviceId = 0x0008,
       .revision = 0x00, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x74, acpiBase}, {0x90, 0x00000000}}, .name = "LPC bridge"},
      {.bus = 0, .device = 2, .function = 5, .vendorId = 0x1039, .deviceId = 0x5513,
       .revision = 0x00, .classCode = 0x01018A, .name = "IDE controller"},
  };
  // clang-format on
  return b;
}

}  // namespace

Board Sis96x() {
  Board b =
      Sis96xBoard("sis96x", "SiS 645 + 961, SPD on GPIO pins of the ACPI block at 0x0C00", 0x0C00);
  SmbusHostSpec pins;
  pins.install = InstallSis96xGpioPins;
  // The ACPI block decodes 128 ports at word 0x74 of the LPC function. The
  // firmware leaves the pins disabled with their outputs at 0; the other
  // bits belong to other pins and registers.
  pins.gpio = {.decode = {.bus = 0,
                          .device = 2,
                          .function = 0,
                          .baseRegister = 0x74,
                          .baseMask = 0xFF80,
                          .size = 0x80},
               .registers = {0x0C41, 0x3085, 0}};
  // Slot 1 is empty.
  // clang-format off
  pins.segment0 = {
      {.slot = 0, .dimm = Ddr(512, 2, "PC2700", "Kingston", kKingston, "KVR333X64C25/512",
       0x51500001)},
      {.slot = 2, .dimm = Ddr(256, 1, "PC2100", "Infineon", kInfineon, "HYS64D32300GU-7-B",
       0x51500002)},
  };
  // clang-format on
  b.smbus = pins;
  return b;
}

// The same board whose BIOS never programmed the ACPI base: the pins are
// nowhere in I/O space, and the driver gets no controller.
Board Sis96xNoAcpi() {
  return Sis96xBoard("sis96x-noacpi", "SiS 645 + 961, ACPI base left at 0 by the BIOS", 0);
}

}  // namespace sim::boards
