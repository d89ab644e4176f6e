// The board profiles, one file each.
#pragma once

#include "sim/board.h"

namespace sim::boards {

Board Ich5();     // Intel 865 + ICH5 desktop: SMBus 8086:24D3 at 0:31.3
Board Piix4();    // Intel 440BX + PIIX4: SMBus in the power-management function 0:7.3
Board NoSmbus();  // a board whose south bridge the driver does not support

}  // namespace sim::boards
