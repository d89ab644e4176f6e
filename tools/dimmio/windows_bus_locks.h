// dimmio.exe's bus locks: the system's named mutexes of the hardware tools.
#pragma once

#include <memory>

#include "bus_locks.h"

namespace dimmio::cli {

std::shared_ptr<BusLocks> NamedMutexBusLocks();

}  // namespace dimmio::cli
