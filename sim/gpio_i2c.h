// Puts a bit-banged SPD bus into a machine: the two open-drain lines, an SPD
// EEPROM behind a bit-level I2C slave for each module, and the chipset's GPIO
// pins, whose register block answers where the chip's configuration space
// puts it.
#pragma once

#include "sim/board.h"

namespace sim {

// The SiS 96x pins (16-bit, in the ACPI block) and the VIA 586B's (8-bit, in
// the power-management block). No host: they return null.
SmbusHostModel* InstallSis96xGpioPins(const Board& board, Machine& machine, BoardModels& models);
SmbusHostModel* InstallVia586bGpioPins(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
