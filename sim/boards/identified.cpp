#include "sim/boards/boards.h"
#include "sim/boards/modules.h"

namespace sim::boards {

namespace {

Board Named(std::vector<Board> family, const char* name) {
  for (Board& b : family) {
    if (b.name == name) return std::move(b);
  }
  return {};
}

PciFunctionSpec* FunctionAt(Board& b, uint8_t device, uint8_t function) {
  for (PciFunctionSpec& f : b.pci) {
    if (f.bus == 0 && f.device == device && f.function == function) return &f;
  }
  return nullptr;
}

// An AM2 790FX board on the SB600 (RD790 north bridge), its baseboard
// strings as its own SMBIOS table writes them.
Board Rd790(const char* name, const char* maker, const char* product) {
  Board b = Named(Piix4Compat(), "sb600");
  b.name = name;
  b.description =
      std::string(maker) + " " + product + ": AMD 790FX + SB600, SMBus 1002:4385 rev 14 at 0:20.0";
  FunctionAt(b, 0, 0)->vendorId = 0x1002;
  FunctionAt(b, 0, 0)->deviceId = 0x5956;
  b.smbios.board = {maker, product, "1.0", ""};
  return b;
}

// An IBM desktop of the 440BX years: the PIIX4's SMBus also carries the
// system's own configuration EEPROM.
Board IbmPiix4() {
  Board b = Piix4();
  b.name = "piix4-ibm";
  b.description =
      "IBM desktop, Intel 440BX + PIIX4E, SMBus in 8086:7113 at 0:7.3 shared with a "
      "configuration EEPROM";
  // Its modules on the one bus: no board latch is fitted.
  b.smbus->segmentSwitch = SegmentSwitch::None;
  b.smbus->segment1.clear();
  b.smbios.system = {"IBM", "6862-43U", "", "23ABC45"};
  b.smbios.board = {"IBM", "06P4050", "", ""};
  return b;
}

// A 440MX notebook: north bridge and south bridge in one chip, its SMBus in
// the power-management function 8086:719B at 0:7.3 (a PIIX4 host: base in
// dword 0x90, host enable in byte 0xD2); two SO-DIMM sockets, no segment
// switch.
Board Mx440() {
  Board b = Piix4();
  b.name = "mx440";
  b.description = "Intel 440MX notebook, SMBus in 8086:719B at 0:7.3";
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = 0x8086, .deviceId = 0x7194,
       .revision = 0x00, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = 7, .function = 0, .vendorId = 0x8086, .deviceId = 0x7198,
       .revision = 0x00, .classCode = 0x060100, .multiFunction = true, .name = "ISA bridge"},
      {.bus = 0, .device = 7, .function = 1, .vendorId = 0x8086, .deviceId = 0x7199,
       .revision = 0x00, .classCode = 0x010180, .name = "IDE controller"},
      {.bus = 0, .device = 7, .function = 2, .vendorId = 0x8086, .deviceId = 0x719A,
       .revision = 0x00, .classCode = 0x0C0300, .name = "USB controller"},
      {.bus = 0, .device = 7, .function = 3, .vendorId = 0x8086, .deviceId = 0x719B,
       .revision = 0x00, .classCode = 0x068000,
       .dwords = {{0x04, 0x02800001}, {0x90, 0x00001041}, {0xD0, 0x00010000}},
       .name = "power management"},
      {.bus = 0, .device = 7, .function = 5, .vendorId = 0x8086, .deviceId = 0x7195,
       .revision = 0x00, .classCode = 0x040100, .name = "AC'97 audio"},
  };
  // clang-format on
  b.smbus->ioBase = 0x1040;
  b.smbus->segmentSwitch = SegmentSwitch::None;
  // clang-format off
  b.smbus->segment0 = {
      {.slot = 0, .dimm = Sdr(128, 1, "PC100", "Micron", kMicron, "MT4LSDT1664HG-10E", 0x719B0001)},
      {.slot = 1, .dimm = Sdr(64, 1, "PC100", "Samsung", kSamsung, "M464S0924CT1-L1L", 0x719B0002)},
  };
  // clang-format on
  b.smbus->segment1.clear();
  b.smbios.system = {"Example Computers Ltd", "EC-440MX Notebook", "", ""};
  b.smbios.board = {"Example Boards Inc.", "MX-N1", "REV 1.0", ""};
  b.smbios.processorSocket = "Micro-PGA2";
  b.smbios.processorVersion = "Mobile Celeron";
  b.smbios.controllerSlots = 2;
  b.smbios.modules = {{"SODIMM0", 0x07}, {"SODIMM1", 0x06}};
  return b;
}

}  // namespace

std::vector<Board> Identified() {
  Board dfiNf4 = Named(NvidiaMcp(), "ck804");
  dfiNf4.name = "ck804-dfi";
  dfiNf4.description =
      "DFI LP UT NF4 Expert: nForce4 (CK804), SMBus 10DE:0052 at 0:1.1, its "
      "second SMBus not to be touched";
  dfiNf4.smbios.board = {"DFI Corp,LTD", "LP UT NF4 Expert", "1.0", ""};
  std::vector<Board> all;
  all.push_back(Rd790("sb600-sapphire", "SAPPHIRE Inc.", "PC-AM2RD790"));
  all.push_back(Rd790("sb600-dfi", "DFI Inc.", "LP UT 790FX-M2R"));
  all.push_back(std::move(dfiNf4));
  all.push_back(IbmPiix4());
  all.push_back(Mx440());
  return all;
}

}  // namespace sim::boards
