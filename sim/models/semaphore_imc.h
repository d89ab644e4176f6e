// AMD's IMC (or a board's embedded controller) reading its fan sensors over
// an SB800-class host: once per period it wants the host's ownership
// semaphore, takes it as soon as neither the driver nor other firmware owns
// it, keeps it for one transfer of its own and gives it back. It keeps count
// of how the driver used the semaphore meanwhile: the longest time the
// driver kept it, the most transfers the host started within one such hold,
// and the longest the IMC had to wait for it.
#pragma once

#include <stdint.h>

namespace sim {

class SemaphoreImc {
 public:
  static constexpr uint32_t kTransferMs = 2;  // the IMC's own transfer, semaphore held

  void SetPeriod(uint32_t everyMs) { everyMs_ = everyMs; }
  // Before every access to the host's registers, with who owns the
  // semaphore now and how many transfers the host has started so far. True:
  // the IMC takes the semaphore now, for kTransferMs.
  bool TakesNow(uint64_t nowMs, bool driverOwns, bool firmwareHolds, uint64_t hostTransfers);

  uint64_t Takes() const { return takes_; }
  uint64_t LongestDriverHoldMs() const { return longestHoldMs_; }
  uint64_t MostTransfersInOneHold() const { return mostTransfers_; }
  uint64_t LongestWaitMs() const { return longestWaitMs_; }

 private:
  uint32_t everyMs_ = 0;
  uint64_t nextMs_ = 0;
  bool wanting_ = false;
  uint64_t wantedAtMs_ = 0;
  bool driverHolds_ = false;
  uint64_t holdFromMs_ = 0;
  uint64_t transfersAtTake_ = 0;
  uint64_t takes_ = 0;
  uint64_t longestHoldMs_ = 0;
  uint64_t mostTransfers_ = 0;
  uint64_t longestWaitMs_ = 0;
};

}  // namespace sim
