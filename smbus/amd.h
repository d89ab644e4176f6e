// The AMD and nVidia SMBus back-end: the host controller of the AMD-756,
// -766 and -768 power-management functions (1022:740B, 7413, 7443), of the
// AMD-8111's ACPI function (1022:746B) and of the nForce function 10DE:01B4,
// a block of 16-bit I/O ports at offsets 0xE0-0xE8 from the I/O base. There
// is no private record: the controller's Context holds the I/O base itself,
// and there is no segment switch.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace amd {

// Register block, offsets from the I/O base.
constexpr uint16_t kGlobalStatus = 0xE0;   // 16 bits: busy, done and error bits
constexpr uint16_t kGlobalControl = 0xE2;  // 16 bits: protocol in bits 0-2, start in bit 3
constexpr uint16_t kHostAddress = 0xE4;    // 16 bits: 7-bit address << 1 | read flag
constexpr uint16_t kHostData = 0xE6;       // 16 bits: byte data in the low byte; word data
constexpr uint16_t kHostCommand = 0xE8;    // 8 bits: the command byte (the SPD offset)

// Global status bits.
constexpr uint16_t kStatusAborted = 0x0001;
constexpr uint16_t kStatusCollision = 0x0002;
constexpr uint16_t kStatusNoAcknowledge = 0x0004;  // protocol error: no slave answered
constexpr uint16_t kStatusHostBusy = 0x0008;
constexpr uint16_t kStatusDone = 0x0010;  // the cycle ended well
constexpr uint16_t kStatusTimeout = 0x0020;
constexpr uint16_t kStatusHighFlags = 0x0700;  // bits 8-10, cleared with the rest
constexpr uint16_t kStatusBusBusy = 0x0800;
constexpr uint16_t kStatusBusyMask = kStatusHostBusy | kStatusBusBusy;
constexpr uint16_t kStatusErrorMask =
    kStatusAborted | kStatusCollision | kStatusNoAcknowledge | kStatusTimeout;
// Written as 1 when the status is cleared (the done bit as read).
constexpr uint16_t kStatusClearBits = kStatusErrorMask | kStatusBusyMask | kStatusHighFlags;

constexpr uint16_t kProtocolByteData = 2;
constexpr uint16_t kProtocolWordData = 3;
constexpr uint16_t kControlStart = 0x08;
constexpr uint16_t kControlKeepMask = 0xFFF8;  // everything but the protocol field

// Left in host data after every write transfer.
constexpr uint16_t kDataFiller = 0xBEEF;

constexpr int32_t kReadSettleMs = 1;
constexpr int32_t kWriteSettleMs = 100;

// Quirks (ChipDescriptor::Quirks).
// 10DE:01B4: two I/O ranges of this layout in the one function.
constexpr uint32_t kQuirkNforceRanges = 1u << 0;

// The nForce 01B4's function has its SMBus host at the I/O range of word
// 0x14 (bits 15-2, the registers from the range's first port); the range
// at dword 0x10 is another block of the same layout. The one at 0x14 is
// used when it holds an I/O base and a memory slot answers there (one read
// of SPD byte 0 per slot, 0x50-0x57); else the one at 0x10 when usable,
// else the one at 0x14.
constexpr uint8_t kNforceSmbusRange = 0x14;
constexpr uint32_t kNforceRangeMask = 0xFFFC;
constexpr uint32_t kIoRangeFlag = 0x01;  // bit 0: an I/O range

// The family's object: the AMD-756 family, the AMD-8111, the nForce 01B4.
// Its acquire takes the base as the row read it (for the nForce, dword 0x10
// & 0xFFF0 less 0xE0) and fails, nothing touched, when it is 0 (the BIOS
// never programmed the function) or the block would run past port 0xFFFF
// (nVidia's base minus 0xE0 wrapped). The controller's Context holds the
// I/O base itself.
extern const SmbusBackend kAmdBackend;

// The family's one transfer entry; `ioBase` is the Context.
int32_t Transfer(void* ioBase, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data);

// The steps of a transfer.
// Polls the global status until neither busy bit is set, 1 ms apart, at most
// host_status::kStatusPollLimit times; returns the last status read.
uint16_t WaitForBusReady(uint32_t ioBase);
// Writes the status back with kStatusClearBits set, which clears the done
// and error bits.
void ResetStatus(uint32_t ioBase);

}  // namespace amd
