// The VIA SMBus host controller (596, 686, VT8231, VT8233/5 and later): the
// PIIX4 register block, decoded from the base in the function's
// configuration space while its host enable bit is set. Bits 5-7 of the
// status read 0. A transfer lasts its bit times at kSlowestSmbusHz.
#pragma once

#include "sim/models/piix4_block.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

class ViaSmbusHost : public Piix4Block {
 public:
  static constexpr uint16_t kBlockSize = 8;

  ViaSmbusHost(const Machine& machine, SmbusBus& bus) : Piix4Block(machine, bus, kSlowestSmbusHz) {}
};

// The host where the board's `decode` places it, the modules' bus behind it.
SmbusHostModel* InstallViaSmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
