// The GPIO pins of a VIA 586B that carry the SPD bus, in the chip's
// power-management I/O block: direction at 0x40, output levels at 0x42 and
// line states at 0x44, SCL in bit 1 and SDA in bit 2 of each. The pads are
// push-pull: an output pin drives its line to its output bit, low or high;
// an input lets the line go, the board's pull-up raising it. So a line is
// pulled low by an output at 0 and released by making the pin an input; an
// output at 1 drives the line high, and fights a slave pulling it low (the
// bus counts the contention and the slave's bit is lost). The input
// register reads the lines; its other bits are the other pins' states,
// fixed by the board.
// The rest of the block is plain storage.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/two_wire_bus.h"

namespace sim {

class Via586bGpio : public PortDevice {
 public:
  static constexpr uint16_t kBlockSize = 0x100;  // the power-management block, 256-byte aligned
  static constexpr uint16_t kDirection = 0x40;
  static constexpr uint16_t kOutput = 0x42;
  static constexpr uint16_t kInput = 0x44;
  static constexpr uint8_t kScl = 0x02;
  static constexpr uint8_t kSda = 0x04;

  // The three registers as the firmware leaves them; `input`'s SCL and SDA
  // bits are ignored (they are the lines).
  Via586bGpio(TwoWireBus& bus, uint8_t direction, uint8_t output, uint8_t input);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // A register as software reads it now, without counting as a reading.
  uint8_t Register(uint16_t offset) const;

 private:
  void DrivePins();

  TwoWireBus& bus_;
  TwoWireBus::Participant me_;
  std::array<uint8_t, kBlockSize> regs_{};
};

}  // namespace sim
