// Pin driver 0: the SiS 96x south bridges' GPIO pins, 16-bit registers in
// the chip's ACPI I/O block.
#include "smbus/i2c_gpio_pins.h"

namespace {

// Offsets from the ACPI base: word 0x2A bit 5 hands the two pins to the
// GPIO block; word 0x5E holds the output levels (SCL bit 8, SDA bit 9) and
// the line states (SCL bit 10, SDA bit 11).
constexpr GpioPinLayout kLayout = {.Enable = 0x2A,
                                   .EnableBits = 0x0020,
                                   .Output = 0x5E,
                                   .Input = 0x5E,
                                   .Scl = 0x0100,
                                   .Sda = 0x0200,
                                   .SclIn = 10,
                                   .SdaIn = 11};

using Pins = GpioPins<uint16_t, kLayout>;

}  // namespace

// At release the pins go back to the chip.
constinit const I2cPinDriver kSis96xPins = Pins::Driver(&Pins::Disable, kLayout.Output + 1);
