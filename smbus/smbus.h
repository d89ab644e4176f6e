// The one SMBus controller of the driver: a record of operation slots that
// exactly one chipset back-end fills at start-up, and the SPD operations that
// run on it. The SPD operations know nothing about chipsets; the back-ends
// know nothing about SPD.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/op_status.h"

// Transfer slots return 0 on success and nonzero (-1) on failure, with the
// hardware half of the status filled.
using SmbusReadByteFn = int32_t (*)(void* context, OpStatus* status, uint8_t slave,
                                    uint8_t command, uint8_t* value);
using SmbusReadWordFn = int32_t (*)(void* context, OpStatus* status, uint8_t slave,
                                    uint8_t command, uint16_t* value);
using SmbusWriteByteFn = int32_t (*)(void* context, OpStatus* status, uint8_t slave,
                                     uint8_t command, uint8_t value);
// Send byte: the address for writing and one byte, no command. Receive
// byte: the address for reading and one byte back. Both return
// kNotAcknowledged when the transfer ran to its end and the host's only
// complaint is that no slave acknowledged it, and -1 on any other failure
// (host held or busy, collision, time-out, a semaphore not granted).
using SmbusSendByteFn = int32_t (*)(void* context, OpStatus* status, uint8_t slave,
                                    uint8_t value);
using SmbusReceiveByteFn = int32_t (*)(void* context, OpStatus* status, uint8_t slave,
                                       uint8_t* value);
using SmbusReleaseFn = void (*)(void* context);
using SmbusSegmentFn = void (*)(void* context, uint32_t segment);

struct SmbusController {
  uint32_t Unavailable;        // nonzero: no usable controller; the bus is never touched
  void* Context;               // the back-end's private record (or a plain value)
  SmbusReadByteFn ReadByte;
  SmbusReadWordFn ReadWord;
  SmbusWriteByteFn WriteByte;
  SmbusReleaseFn ReleaseDevice;      // optional
  SmbusSegmentFn SelectSegment;      // optional
  SmbusSegmentFn DeselectSegment;    // optional
  uint32_t Segment;            // the segment of the SPD request in service, else 0
  // Optional, both or neither: the hosts that carry DDR4 modules, whose SPD
  // pages are chosen by these transfers.
  SmbusSendByteFn SendByte;
  SmbusReceiveByteFn ReceiveByte;
};

// The size discovery asks the pool for, as the 32-bit image lays the record out.
#if defined(__i386__)
static_assert(sizeof(SmbusController) == 44);
#endif

constexpr int32_t kNotAcknowledged = 1;

constexpr uint8_t kSpdFirstSlave = 0x50;  // slot n answers at 0x50 + n
constexpr uint8_t kSpdSlots = 8;
constexpr uint8_t kSpdProbeOffset = 74;   // the byte the write probe changes and restores
constexpr uint8_t kSpdTypeOffset = 2;     // the memory type byte

// Reads `count` SPD bytes of `slot` from `offset` on (wrapping past 0xFF) into
// `data`; returns how many were read. Word transfers for pairs, a byte
// transfer for an odd last byte; stops at the first failure (code 14).
uint32_t ReadSpdBlock(SmbusController* controller, OpStatus* status, uint8_t slot,
                      uint8_t* data, uint8_t offset, uint32_t count);

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
