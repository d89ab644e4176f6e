#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/ali_smbus_host.h"

namespace sim::boards {

namespace {

constexpr uint16_t kAli = 0x10B9;

// An ALi Aladdin board: M1541 host bridge, M1533 south bridge and the M7101
// power-management function, whose SMBus host decodes its base from
// `baseRegister` while `enables` are set. Bits 5-6 of the M7101's
// configuration dword 0xB8 switch the second bank of modules in; the BIOS
// leaves other bits of that dword set.
Board Aladdin(const char* name, const char* description, uint8_t m1533Revision,
              std::vector<std::pair<uint8_t, uint32_t>> m7101Dwords, PciIoDecode decode) {
  Board b;
  b.name = name;
  b.description = description;
  m7101Dwords.push_back({0xB8, 0x000000A5});
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kAli, .deviceId = 0x1541,
       .revision = 0x04, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = kAli, .deviceId = 0x1533,
       .revision = m1533Revision, .classCode = 0x060100, .name = "PCI-ISA bridge"},
      {.bus = 0, .device = 17, .function = 0, .vendorId = kAli, .deviceId = 0x7101,
       .revision = 0x00, .classCode = 0x068000, .dwords = std::move(m7101Dwords),
       .name = "power management (M7101)"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallAliSmbusHost;
  smbus.decode = decode;
  smbus.segmentSwitch = SegmentSwitch::AliConfigBits;
  // clang-format off
  smbus.segment0 = {
      {.slot = 0, .dimm = Sdr(128, 1, "PC100", "Micron", kMicron, "MT8LSDT1664AG-10E", 0x15330001)},
      {.slot = 1, .dimm = Sdr(256, 2, "PC100", "Samsung", kSamsung, "M366S3253CTS-C1H", 0x15330002),
       .eeprom = {.writeProtect = WriteProtect::AckAndKeep}},
  };
  // clang-format on
  // clang-format off
  smbus.segment1 = {
      {.slot = 0, .dimm = Sdr(64, 1, "PC100", "Hynix", kHynix, "HYM7V64801BTFG-10", 0x15331001)},
      {.slot = 3, .dimm = Sdr(128, 1, "PC133", "Infineon", kInfineon, "HYS64V16220GU-7.5",
       0x15331002)},
  };
  // clang-format on
  b.smbus = smbus;
  return b;
}

// The M1533 layout: the base in dword 0x14, decoded while I/O space (bit 0
// of 0x04) and the host (bit 0 of 0xE0) are enabled.
PciIoDecode BaseInDword14() {
  return {.bus = 0,
          .device = 17,
          .function = 0,
          .baseRegister = 0x14,
          .baseMask = 0xFFE0,
          .size = 0x20,
          .enables = {{0x04, 0x01}, {0xE0, 0x01}}};
}

}  // namespace

// The BIOS left the SMBus base register (dword 0x14) empty: the driver
// programs 0xE800 itself.
Board Ali1535() {
  Board b = Aladdin("ali1535", "ALi M1541 + M1533 rev C3, M7101 with no SMBus base", 0xC3,
                    {{0x04, 0x00000001}, {0x14, 0x00000001}, {0xE0, 0x00200001}}, BaseInDword14());
  b.smbus->ioBase = 0xE800;
  return b;
}

// Revision 0 of the M1533: the base sits in word 0xE2 of the M7101, decoded
// while bit 2 of 0xD1 and bit 0 of 0xF0 are set; dword 0x14 holds no base.
Board Ali1533Rev0() {
  Board b =
      Aladdin("ali1533-r0", "ALi M1541 + M1533 rev 0, M7101 SMBus base 0x7040 in word 0xE2", 0x00,
              {{0x14, 0x0000F0F1}, {0xD0, 0x00000400}, {0xE0, 0x70400000}, {0xF0, 0x00000001}},
              {.bus = 0,
               .device = 17,
               .function = 0,
               .baseRegister = 0xE2,
               .baseMask = 0xFFE0,
               .size = 0x20,
               .enables = {{0xD1, 0x04}, {0xF0, 0x01}}});
  b.smbus->ioBase = 0x7040;
  return b;
}

// A later M1533 (the M1543C's rev C3) whose BIOS programmed the base 0xD000.
Board Ali1543() {
  Board b = Aladdin("ali1543", "ALi M1541 + M1543C (M1533 rev C3), M7101 SMBus base 0xD000", 0xC3,
                    {{0x04, 0x00000001}, {0x14, 0x0000D001}, {0xE0, 0x00200001}}, BaseInDword14());
  b.smbus->ioBase = 0xD000;
  return b;
}

}  // namespace sim::boards
