// The DDR4 part of the SPD image builder: the 512 bytes of an EE1004.
#pragma once

#include <stdint.h>

#include <vector>

#include "sim/spd_builder.h"

namespace sim {

// Base configuration (0-127), the module-specific bytes of the module's form
// (128-191), manufacturing data (320-383); both CRCs.
std::vector<uint8_t> BuildDdr4Contents(const DimmSpec& dimm);

}  // namespace sim
