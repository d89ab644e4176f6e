// The host register block shared by the Intel and VIA SMBus controllers:
// byte-wide I/O ports at fixed offsets from the controller's I/O base, a
// status register polled for the busy bit and cleared by writing bits back,
// and the judgement of a finished transfer by its error bits.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/host_status.h"

namespace smbus_host {

// Register block, offsets from the I/O base; the datasheets' names after
// the readable ones.
constexpr uint16_t kHostStatus = 0x00;    // the status bits below
constexpr uint16_t kHostControl = 0x02;   // protocol code | start
constexpr uint16_t kHostCommand = 0x03;   // command byte (the SPD offset)
constexpr uint16_t kSlaveAddress = 0x04;  // 7-bit address << 1 | read flag
constexpr uint16_t kData0 = 0x05;         // byte data; low byte of word data
constexpr uint16_t kData1 = 0x06;         // high byte of word data
constexpr uint16_t kAuxControl = 0x0D;    // ICH4 and later: bit 0 PEC, bit 1 32-byte buffer
constexpr uint16_t SMBHSTSTS = kHostStatus;
constexpr uint16_t SMBHSTCNT = kHostControl;
constexpr uint16_t SMBHSTCMD = kHostCommand;
constexpr uint16_t SMBHSTADD = kSlaveAddress;
constexpr uint16_t SMBHSTDAT0 = kData0;
constexpr uint16_t SMBHSTDAT1 = kData1;
constexpr uint16_t SMBAUXCTL = kAuxControl;

// Host status bits.
constexpr uint8_t kStatusBusy = 0x01;         // a transfer is under way
constexpr uint8_t kStatusInterrupt = 0x02;    // a transfer ended well
constexpr uint8_t kStatusDeviceError = 0x04;  // no acknowledge, or a command the host refused
constexpr uint8_t kStatusCollision = 0x08;    // lost the bus to another master
constexpr uint8_t kStatusFailed = 0x10;       // the transfer was killed
constexpr uint8_t kStatusInUse = 0x40;        // ICH: INUSE_STS, the host's software semaphore
constexpr uint8_t SMBHSTSTS_HOST_BUSY = kStatusBusy;
constexpr uint8_t SMBHSTSTS_INTR = kStatusInterrupt;
constexpr uint8_t SMBHSTSTS_DEV_ERR = kStatusDeviceError;
constexpr uint8_t SMBHSTSTS_BUS_ERR = kStatusCollision;
constexpr uint8_t SMBHSTSTS_FAILED = kStatusFailed;
constexpr uint8_t SMBHSTSTS_INUSE_STS = kStatusInUse;
constexpr uint8_t kStatusErrorMask = kStatusDeviceError | kStatusCollision | kStatusFailed;
// What a status clear writes as 1: the interrupt and error bits.
constexpr uint8_t kStatusEndBits = kStatusInterrupt | kStatusErrorMask;
constexpr uint16_t kBlockLastPort = 0x0F;  // the block is 16 ports from the base

// Busy clear ends a transfer. The ICH's interrupt bit is a completion its
// datasheets name (on PIIX4 and VIA the bit is unnamed, so not relied on):
// there a transfer has ended when busy is clear and it or an error bit is set.
constexpr host_status::HostStatusBits kHostStatusBits{kStatusBusy, 0, kStatusErrorMask};
constexpr host_status::HostStatusBits kIchStatusBits{kStatusBusy, 0, kStatusErrorMask,
                                                     kStatusInterrupt};
// Host control: KILL, the SMB_CMD protocol field (bits 4-2), START.
constexpr uint8_t kControlKill = 0x02;
constexpr uint8_t SMBHSTCNT_KILL = kControlKill;

constexpr uint8_t kProtocolByte = 0x04;  // send byte / receive byte
constexpr uint8_t kProtocolByteData = 0x08;
constexpr uint8_t kProtocolWordData = 0x0C;
constexpr uint8_t kControlStart = 0x40;
constexpr uint8_t SMBHSTCNT_START = kControlStart;

constexpr int32_t kReadSettleMs = 1;  // after start, before the first poll
constexpr int32_t kWriteSettleMs = 100;

// Polls the host status until its busy bit is clear, 1 ms apart, at most
// host_status::kStatusPollLimit times; returns the last status read, busy or
// not.
uint8_t WaitForBusReady(uint32_t ioBase);

// The ICH's post-start wait: until the transfer has ended by kIchStatusBits
// (host_status::WaitUntilFinished); returns the last status read.
uint8_t WaitForTransferEnd(uint32_t ioBase);

// Kills the transfer under way: the kill bit, a bounded wait for idle, the
// control register cleared, the interrupt and error bits cleared.
void KillTransfer(uint32_t ioBase);

// Right before a start on an idle host: the interrupt and error bits someone
// else left are cleared (written as 1), the rest written as 0 (INUSE_STS
// among them, which a 0 leaves alone).
void ClearEndBits(uint32_t ioBase);

// Reads the host status and writes back (value & keep) | force.
void WriteBackStatus(uint32_t ioBase, uint8_t keep, uint8_t force);

// The address byte of a transfer, computed in 8 bits.
constexpr uint8_t AddressByte(uint8_t slave, uint8_t isRead) {
  return static_cast<uint8_t>((slave << 1) | (isRead & 1u));
}

constexpr uint16_t Port(uint32_t ioBase, uint16_t offset) {
  return static_cast<uint16_t>(ioBase + offset);
}

}  // namespace smbus_host
