// Board profiles: named, declarative machines shared by the tests, the
// benchmarks and the command-line tools.
#pragma once

#include <stdint.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/machine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/piix4_compat_host.h"
#include "sim/models/smbus_host_model.h"
#include "sim/models/spd_eeprom.h"
#include "sim/smbios_builder.h"
#include "sim/spd_builder.h"

namespace sim {

struct PciFunctionSpec {
  uint8_t bus = 0, device = 0, function = 0;
  uint16_t vendorId = 0, deviceId = 0;
  uint8_t revision = 0;
  uint32_t classCode = 0;  // base class, subclass, programming interface
  bool multiFunction = false;
  std::vector<std::pair<uint8_t, uint32_t>> dwords{};  // further registers: offset, value
  std::string name{};  // what the function is, for people reading the profile
};

// One memory slot on an SMBus segment: slot n answers at 0x50 + n.
struct SpdSlotSpec {
  uint8_t slot = 0;
  DimmSpec dimm;
  EepromOptions eeprom{};
};

// How the board switches its SMBus between segment 0 and segment 1.
enum class SegmentSwitch {
  None,
  BoardLatch,     // bits 4-3 of the latch at port 0xE437; selector 1 = segment 1
  SuperIo,        // bits 4-3 of Super I/O register 0xF1, logical device 8; selector 2
  ViaGpo596,      // bit 3 of the outputs at port 0xE44F
  ViaGpo686,      // bit 0 of the outputs at port 0xE44D, with bit 3 clear
  AliConfigBits,  // bits 5-6 of the host function's configuration dword 0xB8 = 10b
};

struct Board;
struct BoardModels;
class SmbusHostModel;

// Puts a board's SMBus hardware into the machine: the host model, its buses
// and the modules on them (InstallModulesBus), recording what a test may
// reach into in `models`. Returns the host the modules are behind; null when
// the board decodes no host, or the bus is bit-banged. Each host model's
// file has its own.
using HostInstaller = SmbusHostModel* (*)(const Board& board, Machine& machine,
                                          BoardModels& models);

// The GPIO pins of a bit-banged bus: where their register block answers and
// how the firmware leaves the registers.
struct GpioPinsSpec {
  PciIoDecode decode{};
  // SiS 96x: pin-enable word 0x2A, pins word 0x5E. VIA 586B: direction
  // 0x40, output 0x42, input 0x44 (its other pins' states).
  std::array<uint16_t, 3> registers{};
};

struct SmbusHostSpec {
  HostInstaller install = nullptr;  // the host model's
  uint16_t ioBase = 0;              // where the board's firmware put the block
  // The function whose configuration space decodes the host's registers
  // (the AMD and nVidia hosts).
  uint8_t pciBus = 0, pciDevice = 0, pciFunction = 0;
  // Where the host's register block answers: the function, its base register
  // and enable bits (the VIA, ALi and SiS hosts; the Intel hosts find theirs
  // from the board's Intel SMBus function).
  PciIoDecode decode{};
  uint16_t ports = 0x10;  // size of the decoded register block
  // Virtual time one transfer keeps the host busy; 0: its bit times at
  // kSlowestSmbusHz (AMD and nForce 0x01B4; the Intel, SiS, VIA and ALi
  // M7101 hosts always take it from their bus clock).
  uint32_t transactionMs = 1;
  SegmentSwitch segmentSwitch = SegmentSwitch::None;
  uint8_t switchInitial = 0x00;  // the latch or Super I/O register at power-on
  std::vector<SpdSlotSpec> segment0{};
  std::vector<SpdSlotSpec> segment1{};  // reachable only through the switch
  GpioPinsSpec gpio{};                  // the GPIO pin kinds only; their modules are on segment 0
  // The later nVidia MCPs: the configuration registers channel 1 and channel 2 decode
  // their blocks from (BAR4 and BAR5, or words 0x50 and 0x54), and the
  // channel (1 or 2) the segment-0 modules are wired to; the other channel's
  // bus is empty.
  std::array<uint8_t, 2> channelBaseRegisters{0x20, 0x24};
  uint8_t spdChannel = 1;
  // The nForce 01B4: the I/O range register (0x10 or 0x14) whose host block
  // the modules are wired to; the other range's bus is empty.
  uint8_t nforceSpdRange = 0x10;
  // Intel ICH: the firmware holds the INUSE_STS semaphore from power-on for
  // this many virtual ms (0: it does not).
  uint32_t firmwareHoldsInUseMs = 0;
  // Firmware sharing the host, and a transfer that hangs (the PIIX4-block
  // hosts and the AMD and nForce hosts).
  HostFirmwareSpec firmware{};
  // DDR4: the SPD page the firmware left selected on every EE1004 (0 or 1).
  uint8_t firmwareSpdPage = 0;
  Piix4CompatSpec piix4Compat{};  // the PIIX4-compatible hosts; `decode` places the legacy block
};

struct Board {
  std::string name;
  std::string description;
  std::vector<PciFunctionSpec> pci;
  // The SMBus host and the memory modules on its segments; none: no SMBus
  // hardware is modelled.
  std::optional<SmbusHostSpec> smbus{};
  // The SMBIOS entry point and structure table the BIOS leaves in memory:
  // system and board strings, memory arrays and devices, module sockets.
  SmbiosProfile smbios{};
};

class GpoLatch;
class BoardLatch;
class SuperIo;
class TwoWireBus;
class I2cSlave;

// The device models Build installed, for tests that reach into them.
struct BoardModels {
  // The SMBus host the modules are behind; null on a bit-banged bus, and
  // where the board decodes no host.
  SmbusHostModel* host = nullptr;
  // The host as its own model, for the tests of its own registers; null when
  // the board's host is another kind.
  template <class Model>
  Model* Host() const {
    return dynamic_cast<Model*>(host);
  }
  GpoLatch* gpoLatch = nullptr;
  std::array<std::array<SpdEeprom*, 8>, 2> eeproms{};  // [segment][slot]
  BoardLatch* latch = nullptr;
  SuperIo* superIo = nullptr;
  // A bit-banged bus: its lines, the bit-level slave in front of each
  // module, and the pins' register block (a Sis96xGpio or a Via586bGpio).
  TwoWireBus* wires = nullptr;
  std::array<I2cSlave*, 8> i2cSlaves{};
  PortDevice* gpioPins = nullptr;
  AmdPmRegisters* amdPm = nullptr;  // the PM-placed ATI/AMD hosts
  SpdEeprom* otherPort = nullptr;   // their device on the second port, if any
};

// The modules of `hostSpec` on their segments, behind the board's segment switch
// when it has one: the bus its host runs transfers on.
SmbusBus& InstallModulesBus(const SmbusHostSpec& hostSpec, Machine& machine, BoardModels& models);

// A host model of type `Model` on `bus`, answering where `decode` places it.
template <class Model, class... Args>
Model& PlaceHost(Machine& machine, const PciIoDecode& decode, SmbusBus& bus, Args&&... args) {
  auto& host = machine.Make<Model>(machine, bus, std::forward<Args>(args)...);
  machine.ClaimDecoded(decode, host);
  return host;
}

// The board that stands for a chipset the driver does not support: an SMBus
// function whose device ID no chip has.
inline constexpr const char* kUnsupportedChipsetBoard = "nosmbus";

// Every board the project knows, the default first.
const std::vector<Board>& Boards();
const Board* FindBoard(std::string_view name);
const Board& DefaultBoard();

// Puts the board's hardware into an empty machine.
BoardModels Build(const Board& board, Machine& machine);

}  // namespace sim
