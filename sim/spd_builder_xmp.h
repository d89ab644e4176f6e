// XMP profiles in the SPD image builder: DDR3's XMP 1.3 in bytes 176-254 of
// its one page, DDR4's XMP 2.0 in bytes 384-486, the end-user part of page 1.
#pragma once

#include <stdint.h>

#include "sim/spd_builder.h"

namespace sim {

// Writes the module's XMP profiles into its image (256 bytes for DDR3, 512
// for DDR4), after the JEDEC part is written: the profiles take their
// refresh and activate times from it. Nothing when the module has none.
void PutXmpProfiles(const DimmSpec& dimm, uint8_t* image);

}  // namespace sim
