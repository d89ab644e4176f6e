// Pin driver 0: the SiS 96x south bridges' GPIO pins, 16-bit registers in
// the chip's ACPI I/O block.
#include "hw/hw.h"
#include "smbus/i2c_pins.h"

namespace {

// Register block, offsets from the ACPI base.
constexpr uint16_t kPinEnable = 0x2A;     // word: bit 5 hands the two pins to the GPIO block
constexpr uint16_t kPinEnableBit = 0x0020;
constexpr uint16_t kPins = 0x5E;          // word: output levels and line states
constexpr uint16_t kSclOut = 0x0100;      // bit 8: SCL output level
constexpr uint16_t kSdaOut = 0x0200;      // bit 9: SDA output level
constexpr unsigned kSclInShift = 10;      // bit 10: SCL line state
constexpr unsigned kSdaInShift = 11;      // bit 11: SDA line state

uint16_t Port(const I2cBus* bus, uint16_t offset) {
  return static_cast<uint16_t>(bus->IoBase + offset);
}

void Change(I2cBus* bus, uint16_t offset, uint16_t bits, bool set) {
  const uint16_t old = PortReadWord(Port(bus, offset));
  PortWriteWord(Port(bus, offset), static_cast<uint16_t>(set ? (old | bits) : (old & ~bits)));
}

void ReassertScl(I2cBus* bus) { Change(bus, kPins, kSclOut, true); }

void SetSda(I2cBus* bus, uint8_t level) { Change(bus, kPins, kSdaOut, level != 0); }

void SetScl(I2cBus* bus, uint8_t level) {
  Change(bus, kPins, kSclOut, level != 0);
  I2cClockStretchWait(bus, level, &ReassertScl);
}

uint8_t GetSda(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadWord(Port(bus, kPins)) >> kSdaInShift) & 1u);
}

uint8_t GetScl(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadWord(Port(bus, kPins)) >> kSclInShift) & 1u);
}

void Open(I2cBus* bus) {
  Change(bus, kPinEnable, kPinEnableBit, true);
  SetScl(bus, 1);
  SetSda(bus, 1);
  DelayMs(0);
}

void Close(I2cBus* bus) { Change(bus, kPinEnable, kPinEnableBit, false); }

}  // namespace

const I2cPinDriver kSis96xPins = {&Open,   &Close,  &SetSda,
                                  &SetScl, &GetSda, &GetScl,
                                  static_cast<uint16_t>(kPins + 1)};
