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
  // clang-format off
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
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallAmdSmbusHost;
  smbus.ioBase = 0x5000;
  smbus.pciBus = 0;
  smbus.pciDevice = 7;
  smbus.pciFunction = 3;
  smbus.transactionMs = 0;  // a cycle lasts its bit times
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(256, 2, "PC133", "Micron", kMicron, "MT16LSDT3264AG-13E",
       0x0756A001)},
      {.slot = 2, .dimm = Sdr(128, 1, "PC100", "Hynix", kHynix, "HYM71V16635HCT8-H", 0x0756A002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  b.smbus = smbus;
  // SMBIOS 2.3 of an Award BIOS of its time: a memory controller with three
  // sockets and one module structure each (log2 of the MB, bit 7 double-bank).
  // clang-format off
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
  // clang-format on
  return b;
}

// A dual-Opteron workstation: the processors' northbridge functions at
// 0:24-25, the AMD-8131 PCI-X tunnel and the AMD-8111 south bridge, whose
// ACPI function 0:7.3 holds the SMBus host of the 756 family (word 0x58 the
// base 0x1000, byte 0x41 bit 7 the enable; the host at 0x10E0). Registered
// ECC DDR, two slots per processor; its SMBus 2.0 function 0:7.2 is another
// interface and has no SPDs.
Board Amd8111() {
  Board b;
  b.name = "amd8111";
  b.description = "Dual Opteron + AMD-8131 + AMD-8111, SMBus in 1022:746B at 0:7.3";
  auto northbridge = [](uint8_t device, uint8_t function, uint16_t id) {
    return PciFunctionSpec{.bus = 0,
                           .device = device,
                           .function = function,
                           .vendorId = 0x1022,
                           .deviceId = id,
                           .revision = 0x00,
                           .classCode = 0x060000,
                           .multiFunction = function == 0,
                           .name = "processor northbridge"};
  };
  for (uint8_t node : {24, 25}) {
    for (uint8_t function = 0; function < 4; ++function) {
      b.pci.push_back(northbridge(node, function, static_cast<uint16_t>(0x1100 + function)));
    }
  }
  // clang-format off
  const std::vector<PciFunctionSpec> southBridge = {
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x1022, .deviceId = 0x7450,
       .revision = 0x12, .classCode = 0x060400, .multiFunction = true, .name = "PCI-X bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x1022, .deviceId = 0x7468,
       .revision = 0x05, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = 0x1022, .deviceId = 0x7469,
       .revision = 0x03, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 2, .vendorId = 0x1022, .deviceId = 0x746A,
       .revision = 0x02, .classCode = 0x0C0500, .dwords = {{0x10, 0x00001C01}},
       .name = "SMBus 2.0 controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = 0x1022, .deviceId = 0x746B,
       .revision = 0x05, .classCode = 0x068000,
       .dwords = {{0x40, 0x00008000}, {0x58, 0x00001001}}, .name = "ACPI controller"},
  };
  // clang-format on
  b.pci.insert(b.pci.end(), southBridge.begin(), southBridge.end());
  SmbusHostSpec smbus;
  smbus.install = InstallAmdSmbusHost;
  smbus.ioBase = 0x1000;
  smbus.pciBus = 0;
  smbus.pciDevice = 7;
  smbus.pciFunction = 3;
  smbus.transactionMs = 0;  // a cycle lasts its bit times
  auto registered = [](uint32_t mb, const char* maker, std::vector<uint8_t> jedec, const char* part,
                       uint32_t serial) {
    DimmSpec d = Ddr(mb, 2, "PC3200", maker, std::move(jedec), part, serial, 72);
    d.form = ModuleForm::Rdimm;
    return d;
  };
  // Slots 0-1 on the first processor, 2-3 on the second; one left empty.
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = registered(1024, "Samsung", kSamsung, "M312L2828ET0-CCC", 0x81110001)},
      {.slot = 1, .dimm = registered(1024, "Samsung", kSamsung, "M312L2828ET0-CCC", 0x81110002)},
      {.slot = 2, .dimm = registered(2048, "Micron", kMicron, "MT36VDDF25672G-40B", 0x81110003),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  b.smbus = smbus;
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFA3B0,
      .tableAddress = 0xF2000,
      .biosVendor = "Phoenix Technologies LTD",
      .biosVersion = "1.04",
      .biosDate = "03/18/2005",
      .system = {"Example Computers Ltd", "EC-W2 Opteron Workstation", "1.0", "ECW2-0081110"},
      .board = {"Example Boards Inc.", "W2D-8111", "REV 2.01", "W2D8111-40917"},
      .processorSocket = "Socket 940",
      .processorManufacturer = "AMD",
      .processorVersion = "AMD Opteron(tm) Processor 250",
      .arrays = {{.deviceCount = 2, .devices = {{"CPU0 DIMM0", 1024}, {"CPU0 DIMM1", 1024}}},
                 {.deviceCount = 2, .devices = {{"CPU1 DIMM0", 2048}, {"CPU1 DIMM1", 0}}}},
  };
  // clang-format on
  return b;
}

}  // namespace sim::boards
