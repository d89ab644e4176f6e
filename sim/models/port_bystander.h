// Another device's registers at ports an SMBus host's stale base still
// names: a BIOS that disabled the host may have placed a sound or network
// card's block there since. Every access reaches that device (a read can
// pop a FIFO or clear a status, a write reprograms it), so each is counted;
// on a real board any of them is a fault.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"

namespace sim {

class PortBystander : public PortDevice {
 public:
  uint8_t Read8(uint16_t port) override {
    ++reads_;
    return registers_[port & 0xFF];
  }
  void Write8(uint16_t port, uint8_t value) override {
    ++writes_;
    registers_[port & 0xFF] = value;
  }
  uint64_t Reads() const { return reads_; }
  uint64_t Writes() const { return writes_; }

 private:
  std::array<uint8_t, 256> registers_{};
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

}  // namespace sim
