// Another device's registers at ports an SMBus host's stale base still
// names: a BIOS that disabled the host may have placed a sound or network
// card's block there since. Every access reaches that device (a read can
// pop a FIFO or clear a status, a write reprograms it), so each is counted;
// on a real board any of them is a fault. Every port holds a value (none
// reads all ones, as an empty port does), so the block looks taken.
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
  std::array<uint8_t, 256> registers_ = [] {
    std::array<uint8_t, 256> values{};
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(0x40 + i);
    return values;
  }();
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

}  // namespace sim
