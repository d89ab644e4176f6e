#include "smbus/i2c_pins.h"

#include "hw/hw.h"

void I2cClockStretchWait(I2cBus* bus, uint8_t level, I2cPinFn reassert) {
  DelayMs(0);
  if (level == 0) return;
  for (uint32_t reassertions = 0;; ++reassertions) {
    if (bus->GetScl(bus) != 0) return;
    if (reassertions == kI2cStretchReassertions) return;
    reassert(bus);
    DelayMs(0);
  }
}
