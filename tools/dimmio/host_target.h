// The dimmio tool of the host build: the driver runs in the tool's own
// process on one of the simulated boards.
#pragma once

#include "cli.h"

namespace dimmio::cli {

// Every simulated board, the default first; Open loads the driver on the
// named one through the in-process transport.
Target SimulatedBoards();

// The bus locks of this process, which every SimulatedBoards target shares
// (kBusWaitMs each): a thread that holds one plays another hardware tool.
std::shared_ptr<BusLocks> ProcessBusLocks();

}  // namespace dimmio::cli
