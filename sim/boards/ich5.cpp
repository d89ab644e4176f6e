#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/intel_smbus_host.h"

namespace sim::boards {

// An Intel 865PE desktop with an 82801EB (ICH5) south bridge: the SMBus host
// at 0:31.3 decodes I/O 0x0400-0x041F (SMB_BASE, configuration dword 0x20)
// while I/O space (command bit 0) and the host (byte 0x40 bit 0) are enabled.
Board Ich5() {
  Board b;
  b.name = "ich5";
  b.description = "Intel 865PE + 82801EB ICH5, SMBus 8086:24D3 at 0:31.3";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x2570,
       .revision = 0x02, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x8086, .deviceId = 0x2571,
       .revision = 0x02, .classCode = 0x060400, .name = "AGP bridge"},
      // USB controllers: a multi-function device with holes at functions 2-6.
      {.bus = 0, .device = 29, .function = 0, .vendorId = 0x8086, .deviceId = 0x24D2,
       .revision = 0x02, .classCode = 0x0C0300, .multiFunction = true, .name = "USB UHCI #1"},
      {.bus = 0, .device = 29, .function = 1, .vendorId = 0x8086, .deviceId = 0x24D4,
       .revision = 0x02, .classCode = 0x0C0300, .name = "USB UHCI #2"},
      {.bus = 0, .device = 29, .function = 7, .vendorId = 0x8086, .deviceId = 0x24DD,
       .revision = 0x02, .classCode = 0x0C0320, .name = "USB EHCI"},
      {.bus = 0, .device = 30, .function = 0, .vendorId = 0x8086, .deviceId = 0x244E,
       .revision = 0xC2, .classCode = 0x060400, .name = "hub-to-PCI bridge"},
      {.bus = 0, .device = 31, .function = 0, .vendorId = 0x8086, .deviceId = 0x24D0,
       .revision = 0x02, .classCode = 0x060100, .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = 31, .function = 1, .vendorId = 0x8086, .deviceId = 0x24DB,
       .revision = 0x02, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 31, .function = 3, .vendorId = 0x8086, .deviceId = 0x24D3,
       .revision = 0x02, .classCode = 0x0C0500,
       .dwords = {{0x04, 0x02800001}, {0x20, 0x00000401}, {0x40, 0x00000001}},
       .name = "SMBus controller"},
      {.bus = 0, .device = 31, .function = 5, .vendorId = 0x8086, .deviceId = 0x24D5,
       .revision = 0x02, .classCode = 0x040100, .name = "AC'97 audio"},
      {.bus = 1, .device = 0, .function = 0, .vendorId = 0x10DE, .deviceId = 0x0322,
       .revision = 0xA1, .classCode = 0x030000, .name = "AGP graphics"},
  };
  // clang-format on
  // Four DDR modules on the main segment; two more on segment 1, which the
  // board's Super I/O switches in with bits 4-3 of register 0xF1.
  SmbusHostSpec smbus;
  smbus.install = InstallIntelSmbusHost;
  smbus.ioBase = 0x0400;
  smbus.ports = 0x20;
  smbus.segmentSwitch = SegmentSwitch::SuperIo;
  smbus.switchInitial = 0xC5;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423ETN-CCC",
       0x1A2B3C4D)},
      {.slot = 1, .dimm = Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423ETN-CCC",
       0x1A2B3C4E)},
      {.slot = 2, .dimm = Ddr(256, 1, "PC2700", "Micron", kMicron, "8VDDT3264AG-335", 0x00C0FFEE)},
      {.slot = 3, .dimm = Ddr(1024, 2, "PC3200", "Kingston", kKingston, "KVR400X64C3A/1G",
       0x5EED0001)},
  };
  // clang-format on
  // clang-format off
  smbus.segment1 = {
      {.slot = 0, .dimm = Ddr(256, 1, "PC2100", "Infineon", kInfineon, "HYS64D32300GU-7-B",
       0x0BADF00D)},
      {.slot = 1, .dimm = Ddr(512, 2, "PC3200", "Hynix", kHynix, "HYMD564646CP8J-D43", 0x12345678,
       72)},
  };
  // clang-format on
  b.smbus = smbus;
  // SMBIOS 2.3: the table near the top of the 1 GB of RAM; one memory array
  // of eight sockets, four per SMBus segment, holding the modules above.
  // clang-format off
  b.smbios = {
      .present = true,
      .entryPointAddress = 0xFA8B0,
      .tableAddress = 0x3FFF0000,
      .biosVendor = "Intel Corp.",
      .biosVersion = "RL86510A.86A.0092.P13",
      .biosDate = "04/12/2005",
      .system = {"Example Computers Ltd", "EC-865 Desktop", "1.0", "EC865-0004711"},
      .board = {"Intel Corporation", "D865PERL", "AAC27648-208", "BTRL51200233"},
      .processorSocket = "LGA775",
      .processorManufacturer = "Intel",
      .processorVersion = "Intel(R) Pentium(R) 4 CPU 3.00GHz",
      .arrays = {{.deviceCount = 8,
                  .devices = {{"DIMM0", 512}, {"DIMM1", 512}, {"DIMM2", 256}, {"DIMM3", 1024},
                              {"DIMM4", 256}, {"DIMM5", 512}, {"DIMM6", 0}, {"DIMM7", 0}}}},
  };
  // clang-format on
  return b;
}

}  // namespace sim::boards
