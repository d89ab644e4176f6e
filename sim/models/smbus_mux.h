// A bus switch on the board: the host sees the first bank of slaves, and the
// second bank instead while the board's segment lines carry the selector
// value that picks it.
#pragma once

#include <stdint.h>

#include "sim/models/smbus_bus.h"

namespace sim {

// Whatever drives the two segment-select lines of the board.
class SegmentLines {
 public:
  virtual ~SegmentLines() = default;
  virtual uint8_t SegmentSelector() const = 0;  // the two lines as a value 0-3
};

class SmbusMux : public SmbusBus {
 public:
  SmbusMux(SmbusBus& first, SmbusBus& second, const SegmentLines& lines, uint8_t selectsSecond)
      : first_(first), second_(second), lines_(lines), selectsSecond_(selectsSecond) {}

  SmbusSlave* Find(uint8_t address) override {
    return (lines_.SegmentSelector() == selectsSecond_ ? second_ : first_).Find(address);
  }

 private:
  SmbusBus& first_;
  SmbusBus& second_;
  const SegmentLines& lines_;
  uint8_t selectsSecond_;
};

}  // namespace sim
