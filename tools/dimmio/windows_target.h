// The dimmio tool on Windows: the installed driver, reached through
// "\\.\dimmio"; its service, the PCI ID database and the driver image beside
// the program.
#pragma once

#include "cli.h"

namespace dimmio::cli {

Target WindowsMachine();

}  // namespace dimmio::cli
