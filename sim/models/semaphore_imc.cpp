#include "sim/models/semaphore_imc.h"

#include <algorithm>

namespace sim {

bool SemaphoreImc::TakesNow(uint64_t nowMs, bool driverOwns, bool firmwareHolds,
                            uint64_t hostTransfers) {
  if (driverOwns) {
    if (!driverHolds_) {
      driverHolds_ = true;
      holdFromMs_ = nowMs;
      transfersAtTake_ = hostTransfers;
    }
    longestHoldMs_ = std::max(longestHoldMs_, nowMs - holdFromMs_);
    mostTransfers_ = std::max(mostTransfers_, hostTransfers - transfersAtTake_);
  } else {
    driverHolds_ = false;
  }
  if (everyMs_ == 0) return false;
  if (!wanting_ && nowMs >= nextMs_) {
    wanting_ = true;
    wantedAtMs_ = nowMs;
  }
  if (!wanting_ || driverOwns || firmwareHolds) return false;
  wanting_ = false;
  longestWaitMs_ = std::max(longestWaitMs_, nowMs - wantedAtMs_);
  nextMs_ = nowMs + everyMs_;
  ++takes_;
  return true;
}

}  // namespace sim
