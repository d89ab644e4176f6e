// Pin driver 1: the VIA 586B's GPIO pins, 8-bit registers in the
// power-management I/O block. Both pins are made outputs once; from then on
// only their levels change, and the lines are read back from the input
// register.
#include "hw/hw.h"
#include "smbus/i2c_pins.h"

namespace {

// Register block, offsets from the power-management base.
constexpr uint16_t kDirection = 0x40;  // 1 = output
constexpr uint16_t kOutput = 0x42;     // output levels
constexpr uint16_t kInput = 0x44;      // line states
constexpr uint8_t kScl = 0x02;         // bit 1 of each register
constexpr uint8_t kSda = 0x04;         // bit 2 of each register
constexpr unsigned kSclShift = 1;
constexpr unsigned kSdaShift = 2;

uint16_t Port(const I2cBus* bus, uint16_t offset) {
  return static_cast<uint16_t>(bus->IoBase + offset);
}

void Change(I2cBus* bus, uint16_t offset, uint8_t bits, bool set) {
  const uint8_t old = PortReadByte(Port(bus, offset));
  PortWriteByte(Port(bus, offset), static_cast<uint8_t>(set ? (old | bits) : (old & ~bits)));
}

void ReassertScl(I2cBus* bus) { Change(bus, kOutput, kScl, true); }

void SetSda(I2cBus* bus, uint8_t level) { Change(bus, kOutput, kSda, level != 0); }

void SetScl(I2cBus* bus, uint8_t level) {
  Change(bus, kOutput, kScl, level != 0);
  I2cClockStretchWait(bus, level, &ReassertScl);
}

uint8_t GetSda(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadByte(Port(bus, kInput)) >> kSdaShift) & 1u);
}

uint8_t GetScl(I2cBus* bus) {
  return static_cast<uint8_t>((PortReadByte(Port(bus, kInput)) >> kSclShift) & 1u);
}

void Open(I2cBus* bus) {
  Change(bus, kDirection, kScl | kSda, true);
  SetScl(bus, 1);
  SetSda(bus, 1);
  DelayMs(0);
}

// The pins stay outputs; both lines are left high.
void Close(I2cBus* bus) {
  SetScl(bus, 1);
  SetSda(bus, 1);
  DelayMs(0);
}

}  // namespace

const I2cPinDriver kVia586bPins = {&Open, &Close, &SetSda, &SetScl, &GetSda, &GetScl, kInput};
