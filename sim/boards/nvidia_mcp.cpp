#include "sim/boards/boards.h"
#include "sim/boards/modules.h"
#include "sim/models/nvidia_0064_smbus_host.h"

namespace sim::boards {

namespace {

constexpr uint16_t kNvidia = 0x10DE;

// What tells one later-MCP board from another.
struct McpFacts {
  const char* name;
  const char* description;
  uint16_t hostBridge;       // 0:0.0
  uint16_t lpcBridge;        // the MCP's function 0, beside the SMBus function
  uint16_t smbus;            // the SMBus function's device ID
  uint8_t device, function;  // where the SMBus function sits
  uint8_t revision;
  // Its configuration: the I/O enable, BARs or words holding the channels' bases.
  std::vector<std::pair<uint8_t, uint32_t>> dwords;
  std::array<uint8_t, 2> channelBaseRegisters;  // what the host decodes
  uint8_t spdChannel;
  uint16_t spdBase;  // where the modules' channel answers
  std::vector<SpdSlotSpec> modules;
};

// A board with a later nVidia MCP: the SMBus function has two channels with
// the nForce2 host block each; the memory modules hang on one of them.
Board Mcp(McpFacts f) {
  Board b;
  b.name = f.name;
  b.description = f.description;
  // clang-format off
  b.pci = {
      {.bus = 0, .device = 0, .function = 0, .vendorId = kNvidia, .deviceId = f.hostBridge,
       .revision = 0xA2, .classCode = 0x060000, .name = "host bridge"},
      {.bus = 0, .device = f.device, .function = 0, .vendorId = kNvidia,
       .deviceId = f.lpcBridge, .revision = f.revision, .classCode = 0x060100,
       .multiFunction = true, .name = "LPC bridge"},
      {.bus = 0, .device = f.device, .function = f.function, .vendorId = kNvidia,
       .deviceId = f.smbus, .revision = f.revision, .classCode = 0x0C0500,
       .dwords = std::move(f.dwords), .name = "SMBus controller"},
  };
  // clang-format on
  SmbusHostSpec smbus;
  smbus.install = InstallNvidiaMcpSmbusHost;
  smbus.ioBase = f.spdBase;
  smbus.pciBus = 0;
  smbus.pciDevice = f.device;
  smbus.pciFunction = f.function;
  smbus.channelBaseRegisters = f.channelBaseRegisters;
  smbus.spdChannel = f.spdChannel;
  smbus.transactionMs = 1;
  smbus.segment0 = std::move(f.modules);
  b.smbus = smbus;
  // The board's identity is read at discovery (the unsafe boards).
  b.smbios = {.present = true,
              .biosVendor = "Phoenix Technologies, LTD",
              .biosVersion = "6.00 PG",
              .biosDate = "03/12/2008",
              .system = {"Example Computers Ltd", std::string("EC-") + f.name, "1.0", ""},
              .board = {"Example Boards Inc.", std::string("EC-") + f.name, "REV 1.0", ""}};
  return b;
}

}  // namespace

std::vector<Board> NvidiaMcp() {
  return {
      // CK804: no BARs; the channels' bases sit in words 0x50 and 0x54.
      Mcp({"ck804",
           "nVidia nForce4 (CK804), SMBus 10DE:0052 at 0:1.1, modules on channel 1",
           0x005E,
           0x0050,
           0x0052,
           1,
           1,
           0xA2,
           {{0x04, 0x00000001}, {0x50, 0x00004C01}, {0x54, 0x00004C41}},
           {0x50, 0x54},
           1,
           0x4C00,
           {{.slot = 0,
             .dimm = Ddr(512, 2, "PC3200", "Samsung", kSamsung, "M368L6423FTN-CCC", 0x0052D001)},
            {.slot = 2,
             .dimm = Ddr(1024, 2, "PC3200", "Kingston", kKingston, "KVR400X64C3A/1G", 0x0052D002),
             .eeprom = {.writeProtect = WriteProtect::AckAndKeep}}}}),
      // MCP55: BAR4 and BAR5; the words at 0x50 and 0x54 hold other values
      // that decode nothing. The modules are wired to channel 2.
      Mcp({"mcp55",
           "nVidia nForce 570 (MCP55), SMBus 10DE:0368 at 0:1.1, modules on channel 2",
           0x0369,
           0x0360,
           0x0368,
           1,
           1,
           0xA3,
           {{0x04, 0x00000001},
            {0x20, 0x00001C01},
            {0x24, 0x00001C41},
            {0x50, 0x00000601},
            {0x54, 0x00000641}},
           {0x20, 0x24},
           2,
           0x1C40,
           {{.slot = 0,
             .dimm =
                 Ddr2(1024, 2, "PC2-6400", "Samsung", kSamsung, "M378T2863QZS-CF7", 0x0368D001)},
            {.slot = 1,
             .dimm =
                 Ddr2(1024, 2, "PC2-6400", "Samsung", kSamsung, "M378T2863QZS-CF7", 0x0368D002)},
            {.slot = 3,
             .dimm = Ddr2(512, 1, "PC2-5300", "Micron", kMicron, "MT8HTF6464AY-667", 0x0368D003),
             .eeprom = {.writeProtect = WriteProtect::Nack}}}}),
      // MCP79: BAR4 and BAR5, modules on channel 1.
      Mcp({"mcp79",
           "nVidia GeForce 9400 (MCP79), SMBus 10DE:0AA2 at 0:3.2, modules on channel 1",
           0x0A82,
           0x0AAE,
           0x0AA2,
           3,
           2,
           0xB1,
           {{0x04, 0x00000001}, {0x20, 0x00002D01}, {0x24, 0x00002D41}},
           {0x20, 0x24},
           1,
           0x2D00,
           {{.slot = 0,
             .dimm =
                 Ddr3(2048, 2, "PC3-8500", "Kingston", kKingston, "KVR1066D3N7/2G", 0x0AA2D001)},
            {.slot = 2,
             .dimm =
                 Ddr3(2048, 2, "PC3-10600", "Micron", kMicron, "MT16JTF25664AZ-1G4", 0x0AA2D002),
             .eeprom = {.writeProtect = WriteProtect::AckAndKeep}}}}),
  };
}

}  // namespace sim::boards
