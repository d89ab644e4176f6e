// Puts a bit-banged SPD bus into a machine: the two open-drain lines, an SPD
// EEPROM behind a bit-level I2C slave for each module, and the chipset's GPIO
// pins, whose register block answers where the chip's configuration space
// puts it.
#pragma once

#include "sim/board.h"

namespace sim {

constexpr bool IsGpioI2c(SmbusHostKind kind) {
  return kind == SmbusHostKind::Sis96xGpioPins || kind == SmbusHostKind::Via586bGpioPins;
}

void InstallGpioI2c(const SmbusHostSpec& host, Machine& machine, BoardModels& models);

}  // namespace sim
