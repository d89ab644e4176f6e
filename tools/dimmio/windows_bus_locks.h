// dimmio.exe's bus locks: the system's named mutexes of the hardware tools.
#pragma once

#include <memory>

#include "bus_locks.h"

namespace dimmio::cli {

// Each lock waited for at most `waitMs`.
std::shared_ptr<BusLocks> NamedMutexBusLocks(uint32_t waitMs = kBusWaitMs);

}  // namespace dimmio::cli
