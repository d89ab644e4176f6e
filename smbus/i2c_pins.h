// The pin drivers of the bit-banged bus: for each chip family, the six pin
// operations over its general-purpose I/O registers, relative to the bus's
// IoBase. All writes are read-modify-write of the whole register, so the
// chip's other pins keep their state.
#pragma once

#include <stdint.h>

#include "smbus/i2c_bus.h"

struct I2cPinDriver {
  I2cPinFn Open;
  I2cPinFn Close;
  I2cSetPinFn SetSda;
  I2cSetPinFn SetScl;
  I2cGetPinFn GetSda;
  I2cGetPinFn GetScl;
  uint16_t BlockEnd;  // offset of the last port the driver touches, from IoBase
};

extern const I2cPinDriver kSis96xPins;   // 16-bit GPIO in the ACPI block
extern const I2cPinDriver kVia586bPins;  // 8-bit GPIO in the power-management block

// After SetScl has written the new level: a zero-length delay and, when the
// level is high, up to kI2cStretchReassertions re-assertions (each a
// `reassert` of the output bit and a zero-length delay) while a slave still
// holds SCL low. The wait then ends without any report.
constexpr uint32_t kI2cStretchReassertions = 100;
void I2cClockStretchWait(I2cBus* bus, uint8_t level, I2cPinFn reassert);
