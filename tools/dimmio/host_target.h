// The dimmio tool of the host build: the driver runs in the tool's own
// process on one of the simulated boards.
#pragma once

#include "cli.h"

namespace dimmio::cli {

// Every simulated board, the default first; Open loads the driver on the
// named one through the in-process transport.
Target SimulatedBoards();

}  // namespace dimmio::cli
