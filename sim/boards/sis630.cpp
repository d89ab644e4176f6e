#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/sis630_smbus_host.h"

namespace sim::boards {

namespace {

// A SiS host bridge at 0:0.0 and the south-bridge function at 0:device.0
// whose ACPI block (configuration word 0x74, decoding while bit 7 of byte
// 0x40 is set) holds the SMBus host at `offset`.
Board Sis630Family(const char* name, const char* description, uint16_t hostBridge,
                   uint16_t southBridge, uint8_t device, uint16_t acpiBase, uint16_t offset) {
  Board b;
  b.name = name;
  b.description = description;
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1039, .deviceId = hostBridge,
       .revision = 0x31, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = device, .function = 0, .vendorId = 0x1039, .deviceId = southBridge,
       .revision = 0x00, .classCode = 0x060100, .multiFunction = true,
       .dwords = {{0x40, 0x00000080}, {0x74, acpiBase}}, .name = "PCI-ISA bridge with ACPI"},
      {.bus = 0, .device = device, .function = 1, .vendorId = 0x1039, .deviceId = 0x5513,
       .revision = 0xD0, .classCode = 0x01018A, .name = "IDE controller"},
  };
  SmbusHostSpec smbus;
  smbus.install = InstallSis630SmbusHost;
  smbus.ioBase = static_cast<uint16_t>(acpiBase + offset);
  smbus.decode = Sis630SmbusHost::Decode(0, device, 0, offset);
  smbus.ports = Sis630SmbusHost::kBlockSize;
  b.smbus = smbus;
  return b;
}

}  // namespace

// A SiS 630 board: SDR modules, the host at ACPI base + 0x80; slot 1 empty.
Board Sis630() {
  Board b = Sis630Family("sis630", "SiS 630 + 0008 south bridge, SMBus at ACPI 0x5000 + 0x80",
                         0x0630, 0x0008, 1, 0x5000, Sis630SmbusHost::kOffset630);
  b.smbus->segment0 = {
      {.slot = 0,
       .dimm = Sdr(128, 1, "PC133", "Micron", kMicron, "MT8LSDT1664AG-13E", 0x06300001)},
      {.slot = 2,
       .dimm = Sdr(256, 2, "PC133", "Samsung", kSamsung, "M366S3253CTS-C7A", 0x06300002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  return b;
}

// A SiS 760 board with the 964 south bridge: DDR modules, the host at ACPI
// base + 0xE0.
Board Sis964() {
  Board b = Sis630Family("sis964", "SiS 760 + 964, SMBus at ACPI 0x0C00 + 0xE0", 0x0760, 0x0964,
                         2, 0x0C00, Sis630SmbusHost::kOffset964);
  b.smbus->segment0 = {
      {.slot = 0,
       .dimm = Ddr(512, 2, "PC3200", "Kingston", kKingston, "KVR400X64C3A/512", 0x09640001)},
      {.slot = 1,
       .dimm = Ddr(1024, 2, "PC3200", "Hynix", kHynix, "HYMD564646CP8J-D43", 0x09640002)},
  };
  return b;
}

}  // namespace sim::boards
