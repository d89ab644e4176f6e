// What every SMBus host controller model answers, whatever its registers
// look like, for the tests that hold a driver to any board: how to make the
// host hang and what its status then shows, and what its status shows after
// a transfer to an address nobody answers at.
#pragma once

#include <stdint.h>

namespace sim {

class SmbusHostModel {
 public:
  virtual ~SmbusHostModel() = default;

  // On: a transfer never ends (a host with a busy bit keeps it and loses
  // every start; one without is started and never shows its end). Off: the
  // host works again and the next transfer runs. Call with the machine's
  // lock held.
  virtual void StickBusy(bool on) = 0;
  // The status register as software polling the stuck host reads it.
  virtual uint32_t StuckStatus() const = 0;
  // The status register as software reads it when a transfer to an address
  // nobody answers at has ended.
  virtual uint32_t NoAnswerStatus() const = 0;
  // The status register now, without the side effects of a read.
  virtual uint32_t Status() = 0;
};

}  // namespace sim
