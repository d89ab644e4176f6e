// Pin driver 1: the VIA 586B's GPIO pins, 8-bit registers in the
// power-management I/O block. Both pins are made outputs once; from then on
// only their levels change, and the lines are read back from the input
// register.
#include "smbus/i2c_gpio_pins.h"

namespace {

// Offsets from the power-management base: direction 0x40 (1 = output),
// output levels 0x42, line states 0x44; SCL is bit 1 and SDA bit 2 of each.
constexpr GpioPinLayout kLayout = {.Enable = 0x40,
                                   .EnableBits = 0x02 | 0x04,
                                   .Output = 0x42,
                                   .Input = 0x44,
                                   .Scl = 0x02,
                                   .Sda = 0x04,
                                   .SclIn = 1,
                                   .SdaIn = 2};

using Pins = GpioPins<uint8_t, kLayout>;

}  // namespace

// The pins stay outputs; both lines are left high.
constinit const I2cPinDriver kVia586bPins = Pins::Driver(&Pins::LinesHigh, kLayout.Input);
