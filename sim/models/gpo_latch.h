// General-purpose outputs of a south bridge at a fixed I/O port, read back as
// written, of which the board wires one or two bits to the SMBus segment
// switch. The selector is the first wired bit as bit 0 and the second (if
// any) as bit 1.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/smbus_mux.h"

namespace sim {

class GpoLatch : public PortDevice, public SegmentLines {
 public:
  GpoLatch(uint8_t initial, uint8_t firstLine, uint8_t secondLine = 0)
      : value_(initial), first_(firstLine), second_(secondLine) {}
  uint8_t Read8(uint16_t) override { return value_; }
  void Write8(uint16_t, uint8_t value) override { value_ = value; }
  uint8_t SegmentSelector() const override {
    return static_cast<uint8_t>(((value_ & first_) != 0 ? 1 : 0) |
                                ((value_ & second_) != 0 ? 2 : 0));
  }
  uint8_t Value() const { return value_; }

 private:
  uint8_t value_;
  uint8_t first_;
  uint8_t second_;
};

}  // namespace sim
