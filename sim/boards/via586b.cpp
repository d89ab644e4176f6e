#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/gpio_i2c.h"

namespace sim::boards {

namespace {

// A VIA Apollo VP3 board with the 586B south bridge: ISA bridge 1106:0586
// at 0:7.0, and the power-management function 1106:3040 at 0:7.3 whose I/O
// block holds the GPIO pins the SPD EEPROMs hang on. Revision 0x00 of that
// function keeps the block's base in configuration dword 0x20, later ones in
// dword 0x48; the other register holds an unrelated value. The block answers
// while the function's I/O space is enabled (command register bit 0).
struct Via586bFacts {
  const char* name;
  const char* description;
  uint8_t isaRevision;
  uint8_t pmRevision;
  uint32_t pmBase;  // configuration value: base | 1 (I/O space)
  std::vector<SpdSlotSpec> modules;
};

Board Via586b(const Via586bFacts& f) {
  const bool baseAt20 = f.pmRevision == 0x00;
  Board b;
  b.name = f.name;
  b.description = f.description;
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x1106, .deviceId = 0x0597,
       .revision = 0x04, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 1, .function = 0, .vendorId = 0x1106, .deviceId = 0x8597,
       .revision = 0x00, .classCode = 0x060400, .name = "AGP bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x1106, .deviceId = 0x0586,
       .revision = f.isaRevision, .classCode = 0x060100, .multiFunction = true,
       .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = 0x1106, .deviceId = 0x0571,
       .revision = 0x06, .classCode = 0x01018A, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 2, .vendorId = 0x1106, .deviceId = 0x3038,
       .revision = 0x02, .classCode = 0x0C0300, .name = "USB controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = 0x1106, .deviceId = 0x3040,
       .revision = f.pmRevision, .classCode = 0x068000,
       .dwords = {{0x04, 0x00000001},
                  {0x20, baseAt20 ? f.pmBase : 0x00005001},
                  {0x48, baseAt20 ? 0x00007001 : f.pmBase}},
       .name = "power management"},
  };
  // clang-format on
  SmbusHostSpec pins;
  pins.install = InstallVia586bGpioPins;
  // The firmware leaves both pins inputs with their latches at 0; bits 0
  // and 5-7 of the input register are other pins.
  pins.gpio = {.decode = {.bus = 0,
                          .device = 7,
                          .function = 3,
                          .baseRegister = static_cast<uint8_t>(baseAt20 ? 0x20 : 0x48),
                          .baseMask = 0xFF00,
                          .size = 0x100,
                          .enables = {{0x04, 0x01}}},
               .registers = {0x81, 0x18, 0xA1}};
  pins.segment0 = f.modules;
  b.smbus = pins;
  return b;
}

}  // namespace

Board Via586bRevE() {
  return Via586b(
      {"via586b",
       "VIA VP3 + 586B rev E, SPD on GPIO pins, PM base in dword 0x20",
       0x04,
       0x00,
       0x00006001,
       {{.slot = 0, .dimm = Sdr(64, 1, "PC66", "Micron", kMicron, "MT8LSDT864AG-662", 0x00586E01)},
        {.slot = 1,
         .dimm = Sdr(128, 2, "PC100", "Samsung", kSamsung, "KMM366S1623BT-GL", 0x00586E02)}}});
}

Board Via586bRevF() {
  return Via586b(
      {"via586b-f",
       "VIA VP3 + 586B rev F, SPD on GPIO pins, PM base in dword 0x48",
       0x04,
       0x01,
       0x00006101,
       {{.slot = 0,
         .dimm = Sdr(128, 1, "PC100", "Hynix", kHynix, "HYM7V65801BTFG-10S", 0x00586F01)}}});
}

Board Via586bProdA() {
  return Via586b(
      {"via586b-a",
       "VIA VP3 + 586B Prod-Rev A, SPD on GPIO pins, PM base in dword 0x48",
       0x41,
       0x10,
       0x00004001,
       {{.slot = 2,
         .dimm = Sdr(64, 1, "PC66", "Kingston", kKingston, "KTC-66SD/64", 0x0058A001)}}});
}

Board Via586bRev20() {
  return Via586b(
      {"via586b-rev20",
       "VIA VP3 + 586B rev 0x20, SPD on GPIO pins, PM base in dword 0x48",
       0x47,
       0x20,
       0x0000E401,
       {{.slot = 0,
         .dimm = Sdr(256, 2, "PC100", "Micron", kMicron, "MT16LSDT3264AG-10E", 0x00582001)}}});
}

}  // namespace sim::boards
