// Board profiles: named, declarative machines shared by the tests, the
// benchmarks and the command-line tools.
#pragma once

#include <stdint.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/machine.h"
#include "sim/smbios_builder.h"

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

struct Board {
  std::string name;
  std::string description;
  std::vector<PciFunctionSpec> pci;
  // The SMBIOS entry point and structure table the BIOS leaves in memory:
  // system and board strings, memory arrays and devices, module sockets.
  SmbiosProfile smbios{};
};

// Every board the project knows, the default first.
const std::vector<Board>& Boards();
const Board* FindBoard(std::string_view name);
const Board& DefaultBoard();

// Puts the board's hardware into an empty machine.
void Build(const Board& board, Machine& machine);

}  // namespace sim
