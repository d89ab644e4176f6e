// The GPIO pins of a SiS 96x south bridge that carry the SPD bus, as seen in
// the chip's ACPI I/O block: word 0x2A bit 5 hands the two pins to the GPIO
// block; word 0x5E holds their output levels (bit 8 SCL, bit 9 SDA) and reads
// the lines themselves (bit 10 SCL, bit 11 SDA). A pin pulls its line low
// while it is enabled and its output bit is 0; otherwise it lets the line go.
// The input bits read the wired-AND state of the line, so a line pulled low
// by the pin or by a slave reads 0. The two words answer only word accesses
// at their own offset: a byte access, or a word access across either of them,
// reads all ones and writes nothing (the widths of these registers are not
// established, so the model takes the narrowest the driver's design needs).
// Every other bit of the block is plain storage (other pins, other ACPI
// registers) and reads back as written.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/two_wire_bus.h"

namespace sim {

class Sis96xGpio : public PortDevice {
 public:
  static constexpr uint16_t kBlockSize = 0x80;  // the ACPI block, 128-byte aligned
  static constexpr uint16_t kPinEnable = 0x2A;
  static constexpr uint16_t kPinEnableBit = 0x0020;
  static constexpr uint16_t kPins = 0x5E;
  static constexpr uint16_t kSclOut = 0x0100;
  static constexpr uint16_t kSdaOut = 0x0200;
  static constexpr uint16_t kSclIn = 0x0400;
  static constexpr uint16_t kSdaIn = 0x0800;

  // `pinEnable` and `pins` are the two words as the firmware leaves them.
  Sis96xGpio(TwoWireBus& bus, uint16_t pinEnable, uint16_t pins);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;
  uint16_t Read16(uint16_t offset) override;
  void Write16(uint16_t offset, uint16_t value) override;

  // A word as software reads it now, without counting as a reading.
  uint16_t Word(uint16_t offset) const;

 private:
  uint8_t Byte(uint16_t offset) const;
  // Whether a byte at `offset` belongs to one of the two pin words.
  static bool InPinWord(uint16_t offset) {
    return (offset & ~1u) == kPinEnable || (offset & ~1u) == kPins;
  }
  void DrivePins();

  TwoWireBus& bus_;
  TwoWireBus::Participant me_;
  std::array<uint8_t, kBlockSize> regs_{};
};

}  // namespace sim
