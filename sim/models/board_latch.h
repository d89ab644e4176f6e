// A one-byte latch on the board at a fixed I/O port, read back as written;
// bits 4-3 drive the SMBus segment-select lines.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/smbus_mux.h"

namespace sim {

class BoardLatch : public PortDevice, public SegmentLines {
 public:
  static constexpr uint16_t kPort = 0xE437;

  explicit BoardLatch(uint8_t initial) : value_(initial) {}
  uint8_t Read8(uint16_t) override { return value_; }
  void Write8(uint16_t, uint8_t value) override { value_ = value; }
  uint8_t SegmentSelector() const override { return (value_ >> 3) & 3u; }
  uint8_t Value() const { return value_; }

 private:
  uint8_t value_;
};

}  // namespace sim
