// Pin driver 1: the VIA 586B's GPIO pins, 8-bit registers in the
// power-management I/O block. The pads are push-pull, so the lines are
// worked open drain through the direction register: a line is pulled low by
// making its pin an output, its latch at 0, and let go by making the pin an
// input, the board's pull-up raising the line. A pin never drives a line
// high against a module pulling it low (an acknowledge, a 0 bit, a
// stretched clock). The lines are read back from the input register.
#include "smbus/i2c_pins.h"

#include "hw/hw.h"

namespace {

// Offsets from the power-management base: direction 0x40 (1 = output),
// output latches 0x42, line states 0x44; SCL is bit 1 and SDA bit 2 of each.
constexpr uint16_t kDirection = 0x40;
constexpr uint16_t kOutput = 0x42;
constexpr uint16_t kInput = 0x44;
constexpr uint8_t kScl = 0x02, kSda = 0x04;
constexpr uint8_t kSclIn = 1, kSdaIn = 2;

uint16_t Port(const I2cBus* bus, uint16_t offset) {
  return static_cast<uint16_t>(bus->IoBase + offset);
}

// Read-modify-write: the chip's other pins keep their bits.
void Change(I2cBus* bus, uint16_t offset, uint8_t bits, bool set) {
  const uint8_t old = PortReadByte(Port(bus, offset));
  PortWriteByte(Port(bus, offset), static_cast<uint8_t>(set ? (old | bits) : (old & ~bits)));
}

// Low: the pin an output (its latch holds 0); high: an input.
void SetLine(I2cBus* bus, uint8_t bit, uint8_t level) {
  Change(bus, kDirection, bit, level == 0);
}

void ReleaseScl(I2cBus* bus) {
  SetLine(bus, kScl, 1);
}

void SetSda(I2cBus* bus, uint8_t level) {
  SetLine(bus, kSda, level);
}

void SetScl(I2cBus* bus, uint8_t level) {
  SetLine(bus, kScl, level);
  I2cClockStretchWait(bus, level, &ReleaseScl);
}

uint8_t GetSda(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadByte(Port(bus, kInput)) >> kSdaIn) & 1u);
}

uint8_t GetScl(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadByte(Port(bus, kInput)) >> kSclIn) & 1u);
}

void LinesHigh(I2cBus* bus) {
  SetScl(bus, 1);
  SetSda(bus, 1);
  DelayMs(0);
}

// Both pins inputs first (nothing is driven while the latches change), then
// both latches 0, so that an output pin can only pull low.
void Open(I2cBus* bus) {
  Change(bus, kDirection, kScl | kSda, false);
  Change(bus, kOutput, kScl | kSda, false);
  LinesHigh(bus);
}

}  // namespace

// At release both pins stay inputs: both lines high, nothing driven.
constinit const I2cPinDriver kVia586bPins = {&Open,   &LinesHigh, &SetSda, &SetScl,
                                             &GetSda, &GetScl,    kInput};
