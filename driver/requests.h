// The eleven device-control requests without the request packet: which are
// answered at once and which go to the worker, the buffer checks of each, the
// at-once answers and the worker-side handlers with their output envelopes.
// Nothing here waits, locks or completes anything, so a single-threaded
// caller can drive every request straight through these functions.
#pragma once

#include <stdint.h>

#include "driver/device_extension.h"
#include "driver/ioctl.h"
#include "driver/status.h"

enum class RequestKind {
  Unknown,  // not a code of this device
  AtOnce,   // answered in the caller's thread
  Queued,   // served by the worker
};

RequestKind KindOfRequest(uint32_t code);

// Whether a queued request drives the SMBus (SPD reads, DDR4 page reads, the
// write probe): its waits are 1 ms sleeps that need the kernel's fine clock.
bool RequestDrivesSmbus(uint32_t code);

// The checks of `code`, in their order; true when every one passes. Reads only
// input bytes that the lengths say are present; writes nothing.
bool RequestPassesChecks(uint32_t code, const uint8_t* buffer, uint32_t inputLength,
                         uint32_t outputLength);

// The four answers given at once, for a request that passed its checks.
// Returns the completion status and sets the byte count.
NtStatus AnswerAtOnce(uint32_t code, uint8_t* buffer, uint32_t outputLength,
                      uint32_t* information);

// Worker-side handlers. Each reads its input before writing the buffer and
// returns STATUS_SUCCESS; what went wrong below is in the output.
// The SPD handlers run on `segment`, the segment of the handle the request
// came through, and leave the controller on segment 0.
NtStatus ReadSpdEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                         uint32_t outputLength, uint32_t* information);
NtStatus ReadSpdPageEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                             uint32_t outputLength, uint32_t* information);
NtStatus ProbeSpdWriteEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                               uint32_t* information);
NtStatus SlotCountEnvelope(DeviceExtension* extension, uint8_t* buffer, uint32_t* information);
NtStatus ModuleCountEnvelope(DeviceExtension* extension, uint8_t* buffer,
                             uint32_t* information);
// Puts the requested value into `segment`, for the handle to keep.
NtStatus SetSegmentEnvelope(DeviceExtension* extension, uint32_t* segment, uint8_t* buffer,
                            uint32_t* information);
NtStatus DumpPciConfig(DeviceExtension* extension, uint8_t* buffer, uint32_t outputLength,
                       uint32_t* information);

// Routes a queued code to its handler; any other code gives
// STATUS_NOT_IMPLEMENTED and a byte count of 0. `segment` is the segment of
// the request's handle, which IOCTL_SET_SEGMENT replaces.
NtStatus ServeQueuedCode(DeviceExtension* extension, uint32_t code, uint8_t* buffer,
                         uint32_t outputLength, uint32_t* segment, uint32_t* information);
