// The one SMBus controller of the driver: a record of operation slots that
// exactly one chipset back-end fills at start-up, and the SPD operations that
// run on it. The SPD operations know nothing about chipsets; the back-ends
// know nothing about SPD.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/op_status.h"

// The transfers a host makes, as SMBus names them.
enum class SmbusOp : uint8_t {
  ReadByte,     // read byte data: the byte at `command`
  ReadWord,     // read word data: the bytes at `command` (low) and after it (high)
  WriteByte,    // write byte data: *data's low byte to `command`
  SendByte,     // send byte: the address for writing and `command` alone
  ReceiveByte,  // receive byte: the address for reading and one byte back
};

// The one transfer entry of a back-end. 0 on success; nonzero (-1) on
// failure, with the hardware half of the status filled (the code of
// HwCodeOf(op), the back-end's status value as detail). The reads store
// their result in *data (a byte in its low 8 bits); after a failure *data
// may hold anything. Send byte and receive byte return kNotAcknowledged
// when the transfer ran to its end and the host's only complaint is that
// no slave acknowledged it, and -1 on any other failure (host held or busy,
// collision, time-out, a semaphore not granted).
using SmbusTransferFn = int32_t (*)(void* context, OpStatus* status, SmbusOp op, uint8_t slave,
                                    uint8_t command, uint16_t* data);
using SmbusReleaseFn = void (*)(void* context);
using SmbusSegmentFn = void (*)(void* context, uint32_t segment);

constexpr uint32_t HwCodeOf(SmbusOp op) {
  switch (op) {
    case SmbusOp::ReadByte: return OpError::ReadByteFailed;
    case SmbusOp::ReadWord: return OpError::ReadWordFailed;
    case SmbusOp::WriteByte: return OpError::WriteByteFailed;
    case SmbusOp::SendByte: return OpError::SendByteFailed;
    case SmbusOp::ReceiveByte: return OpError::ReceiveByteFailed;
  }
  return OpError::ReadByteFailed;
}

constexpr bool IsReadOp(SmbusOp op) {
  return op == SmbusOp::ReadByte || op == SmbusOp::ReadWord || op == SmbusOp::ReceiveByte;
}

// The chipset record's trait bits the SPD operations ask (the rest in
// client/include/dimmio/dimmio.h): send and receive byte, which choose the
// SPD pages of DDR4 modules.
constexpr uint32_t kChipPageTransfers = 0x20;

struct SmbusController {
  uint32_t Unavailable;  // nonzero: no usable controller; the bus is never touched
  void* Context;         // the back-end's private record (or a plain value)
  SmbusTransferFn Transfer;
  SmbusReleaseFn ReleaseDevice;    // optional
  SmbusSegmentFn SelectSegment;    // optional
  SmbusSegmentFn DeselectSegment;  // optional
  uint32_t Segment;                // the segment of the SPD request in service, else 0
  uint32_t Traits;                 // the installed chip's traits (kChipPageTransfers among them)
};

// The size discovery asks the pool for, as the 32-bit image lays the record out.
#if defined(__i386__)
static_assert(sizeof(SmbusController) == 32);
#endif

inline int32_t SmbusTransfer(SmbusController* c, OpStatus* status, SmbusOp op, uint8_t slave,
                             uint8_t command, uint16_t* data) {
  return c->Transfer(c->Context, status, op, slave, command, data);
}

constexpr int32_t kNotAcknowledged = 1;

constexpr uint8_t kSpdFirstSlave = 0x50;  // slot n answers at 0x50 + n
constexpr uint8_t kSpdSlots = 8;
constexpr uint8_t kSpdProbeOffset = 74;  // the byte the write probe changes and restores
constexpr uint8_t kSpdTypeOffset = 2;    // the memory type byte

// Reads `count` SPD bytes of `slot` from `offset` on (wrapping past 0xFF) into
// `data`; returns how many were read. Word transfers for pairs, a byte
// transfer for an odd last byte; stops at the first failure (code 14).
uint32_t ReadSpdBlock(SmbusController* controller, OpStatus* status, uint8_t slot, uint8_t* data,
                      uint8_t offset, uint32_t count);

// True when a memory slot answers a read of its byte 0 on the controller:
// how a host with two candidate blocks or channels finds the one its
// modules are on. Nothing is written.
bool AnySpdSlotAnswers(SmbusController* controller);

// Changes SPD byte 74 and restores it: 1 = writable, 0 = unchanged
// (protected, or the write failed), -1..-5 = the step that failed. Only a
// module whose byte 2 names a plain-EEPROM SPD (SDR to DDR4) is written:
// another type (45, byte 2 in the detail) or an unreadable byte 2 (46) is
// refused with -1 and nothing written. A DDR4 module's byte 74 is that of
// page 0, selected for the probe only when the modules are known to be DDR4.
int32_t ProbeSpdWrite(SmbusController* controller, OpStatus* status, uint8_t slot);

// DDR4: reads `count` bytes (at most 256, wrapping inside the page) of SPD
// page `page` of `slot` from `offset` on. The page the board left selected
// is found first (a read) and selected again afterwards, whatever happened
// between. A page is selected only on modules known to be DDR4: to the
// 256-byte EEPROMs of older modules the same addresses are write-protect
// commands. Codes: 38 the page select not acknowledged, 39 a host without
// the page transfers, 40 a page other than 0 or 1, 43 the page query failed
// (nothing sent after it), 44 the modules are not known to be DDR4 (the
// slot read as it shows, nothing selected), and those of ReadSpdBlock.
uint32_t ReadSpdPage(SmbusController* controller, OpStatus* status, uint8_t slot, uint8_t page,
                     uint8_t* data, uint8_t offset, uint32_t count);

// Stores the segment value the back-end selects around each SPD operation.
int32_t SetSegment(SmbusController* controller, OpStatus* status, uint32_t value);

// Lets the back-end free its context, then frees the record.
void ReleaseController(SmbusController* controller);
