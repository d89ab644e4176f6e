// The ALi/ULi M1563 SMBus back-end: the south bridge's own host block of
// byte ports (status, two control registers, command, address, two data
// bytes). A transfer waits for the host to be idle, clears the status,
// programs the slave and command and starts the size control 2 names (its
// other bits written as read); it has ended well when busy is clear and no
// error bit is set. A transfer still running when the idle wait runs out is
// killed (control 2 then written 0), and a bus
// error (a collision) is followed by the bus-timeout reset of control 1 so
// that the next transfer finds the bus free. Context holds the I/O base
// itself; there is no segment switch.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace ali1563 {

// Register block, offsets from the I/O base.
constexpr uint8_t kHostStatus = 0x00;    // see the status bits below; written as 1 to clear
constexpr uint8_t kHostControl1 = 0x01;  // bit 7 bus-timeout reset, bit 6 last byte
constexpr uint8_t kHostControl2 = 0x02;  // bits 5-3 size, bit 6 start, bit 2 kill
constexpr uint8_t kHostCommand = 0x03;   // the command byte (the SPD offset)
constexpr uint8_t kSlaveAddress = 0x04;  // 7-bit address << 1 | read flag
constexpr uint8_t kData0 = 0x05;         // byte data; low byte of word data
constexpr uint8_t kData1 = 0x06;         // high byte of word data
constexpr uint8_t kBlockData = 0x07;     // the block port, the last of the block

constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusDone = 0x02;
constexpr uint8_t kStatusDeviceError = 0x04;  // no acknowledge
constexpr uint8_t kStatusBusError = 0x08;     // a collision
constexpr uint8_t kStatusFailed = 0x10;       // killed
constexpr uint8_t kStatusErrorMask = kStatusDeviceError | kStatusBusError | kStatusFailed;

constexpr uint8_t kControl1BusReset = 0x80;
constexpr uint8_t kSizeByteData = 2 << 3;
constexpr uint8_t kSizeWordData = 3 << 3;
constexpr uint8_t kControl2SizeMask = 7 << 3;
constexpr uint8_t kControl2Start = 0x40;
constexpr uint8_t kControl2Kill = 0x04;

constexpr int32_t kReadSettleMs = 1;  // after the start, before the first poll
constexpr int32_t kWriteSettleMs = 100;
constexpr int32_t kKillSettleMs = 1;  // after the kill, before its status is read

// The family's object: the ALi/ULi M1563. Its acquire stores the base and
// fills the slots; -1 (controller untouched, no port touched) when the base
// is 0 or the block runs past port 0xFFFF.
extern const SmbusBackend kAli1563Backend;

int32_t Transfer(void* ioBase, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data);

// The steps of a transfer.
uint8_t WaitForBusReady(uint32_t ioBase);
void ResetStatus(uint32_t ioBase);
// Starts the transfer on an idle host (a write with `data0` as its byte) and
// returns its final status: the one
// the idle wait ended with when the host never went idle (nothing started),
// else the status after the end, or after the kill of a transfer that did
// not end.
uint8_t CallSMBus(uint32_t ioBase, uint8_t size, uint8_t slave, uint8_t command, uint8_t isRead,
                  uint8_t data0 = 0);

}  // namespace ali1563
