// The bit-banged I2C back-end: on chipsets whose SMBus host the driver does
// not use, the driver is the bus master itself and drives the clock (SCL)
// and data (SDA) lines through general-purpose I/O pins of the chipset. The
// protocol engine here is the same for every chip; it reaches the pins only
// through the six operations of a pin driver (smbus/i2c_pins.h).
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

struct I2cBus;

using I2cPinFn = void (*)(I2cBus* bus);
using I2cSetPinFn = void (*)(I2cBus* bus, uint8_t level);  // level nonzero = high
using I2cGetPinFn = uint8_t (*)(I2cBus* bus);              // 0 or 1

// The back-end's private context, owned by the controller record.
struct I2cBus {
  uint32_t IoBase;  // the chipset's GPIO register base, used only by the pin driver
  I2cPinFn Open;    // prepares the pins, leaves both lines high
  I2cPinFn Close;   // gives the pins back; may be null
  I2cSetPinFn SetSda;
  I2cSetPinFn SetScl;  // driving high waits for a slave that stretches the clock
  I2cGetPinFn GetSda;
  I2cGetPinFn GetScl;
};

// HwDetail word 0 of a failed transfer.
namespace I2cDetail {
constexpr uint32_t AddressNotAcknowledged = 3;  // after START or repeated START
// The command or data byte, or the write's completion poll.
constexpr uint32_t ByteNotAcknowledged = 4;
}  // namespace I2cDetail

// Quirks (ChipDescriptor::Quirks): the pins of the VIA 586B (byte-wide, in
// the power-management block); without it the SiS 96x's (word-wide, in the
// ACPI block).
constexpr uint32_t kQuirkVia586bPins = 1u << 0;

// The family's object: the VIA 586B's rows; discovery's SiS decision hands
// its acquire kSis96xChip with the 96x's ACPI base. The acquire builds the
// bus on the chip's pins at that base and fills the controller's slots (no
// segment slots); -1, controller untouched and no port touched, for an I/O
// base of 0 or one whose register block would run past the I/O space, or
// no pool memory.
extern const SmbusBackend kI2cBackend;
extern const ChipDescriptor kSis96xChip;

// The one transfer entry. Read byte: START, address, command, repeated
// START, address with the read bit, one byte, no acknowledge, STOP. Read
// word: two read-byte transfers (command, then command + 1 wrapping past
// 0xFF), low byte first; a failure of either reports HwCode 18 with detail
// 3. Write byte: SMBus write byte data, then the completion poll: the
// address is sent again, 1 ms apart, until the device acknowledges it (it
// does not while it writes). No send or receive byte.
int32_t I2C_Transfer(void* bus, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data);
// Gives the pins back (Close, when the driver has one) and frees the context.
void I2C_ReleaseDevice(void* bus);

// The signal operations the transfers are made of.
constexpr int32_t kI2cAckLimit = 100;  // I2C_WaitAck's limit: ten readings of SDA

// START (or repeated START) and the address byte: 0 when acknowledged, else
// 1 after a STOP. A slave found holding SDA low is first clocked free.
uint8_t I2C_StartAddress(I2cBus* bus, uint8_t addressByte);
void I2C_Stop(I2cBus* bus);
void I2C_SendBit(I2cBus* bus, uint8_t bit);
void I2C_SendByte(I2cBus* bus, uint8_t value);
// Releases SDA for the acknowledge clock: 0 = acknowledged, 1 = not.
uint8_t I2C_WaitAck(I2cBus* bus, int32_t limit);
// Eight bits in, most significant first, then acknowledge (0) or not (1).
uint8_t I2C_ReceiveByte(I2cBus* bus, uint8_t lastByte);
