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
  uint32_t IoBase;     // the chipset's GPIO register base, used only by the pin driver
  int32_t PinVariant;  // 0: SiS 96x word-wide pins, 1: VIA 586B byte-wide pins
  I2cPinFn Open;       // prepares the pins, leaves both lines high
  I2cPinFn Close;      // gives the pins back; may be null
  I2cSetPinFn SetSda;
  I2cSetPinFn SetScl;  // driving high waits for a slave that stretches the clock
  I2cGetPinFn GetSda;
  I2cGetPinFn GetScl;
};

// HwDetail word 0 of a failed transfer.
namespace I2cDetail {
constexpr uint32_t AddressNotAcknowledged = 3;  // after START or repeated START
constexpr uint32_t ByteNotAcknowledged = 4;     // command or data byte, or the write's completion poll
}  // namespace I2cDetail

// Builds the bus on the pins of `pinVariant` at `ioBase` and fills the
// controller's transfer slots (no segment slots). -1, controller untouched
// and no port touched, for an unknown variant, an I/O base of 0 or one whose
// register block would run past the I/O space, or no pool memory.
int32_t I2C_AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t pinVariant);

// Discovery's entry (see smbus/backend.h): the pin driver is the descriptor's model.
int32_t I2C_AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                        uint32_t ioBase);

// SMBus read byte data: START, address, command, repeated START, address
// with the read bit, one byte, no acknowledge, STOP.
int32_t I2C_ReadByte(void* bus, OpStatus* status, uint8_t slave, uint8_t command, uint8_t* value);
// Two read-byte transfers (command, then command + 1 wrapping past 0xFF),
// low byte first; a failure of either reports HwCode 18 with detail 3.
int32_t I2C_ReadWord(void* bus, OpStatus* status, uint8_t slave, uint8_t command,
                     uint16_t* value);
// SMBus write byte data, then the completion poll: the address is sent again,
// 1 ms apart, until the device acknowledges it (it does not while it writes).
int32_t I2C_WriteByte(void* bus, OpStatus* status, uint8_t slave, uint8_t command, uint8_t value);
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
