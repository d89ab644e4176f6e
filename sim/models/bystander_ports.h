// Another device's register block at ports a driver might mistake for its
// own: every port holds a value (none reads all ones, as an empty port
// does), and every read and write is counted. A write there is one the
// device never asked for.
#pragma once

#include <stdint.h>

#include "sim/machine.h"

namespace sim {

class BystanderPorts : public PortDevice {
 public:
  uint8_t Read8(uint16_t offset) override {
    ++reads_;
    return static_cast<uint8_t>(0x40 + offset);
  }
  void Write8(uint16_t offset, uint8_t) override {
    (void)offset;
    ++writes_;
  }
  uint64_t Reads() const { return reads_; }
  uint64_t Writes() const { return writes_; }

 private:
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

}  // namespace sim
