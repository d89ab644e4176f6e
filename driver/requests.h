// The device-control requests of the dimmio device, one row each in one
// constant table: the code, whether it is answered at once or queued to the
// worker, whether it drives the SMBus, the least input and output it takes,
// the checks of its arguments and its handler. Dispatch, the worker and its
// fine clock all look a code up here. Nothing here waits, locks or completes
// anything, so a single-threaded caller can drive every request straight
// through the rows.
#pragma once

#include <stdint.h>

#include "driver/device_extension.h"
#include "driver/ioctl.h"
#include "driver/status.h"

enum class RequestKind : uint8_t {
  AtOnce,  // answered in the caller's thread
  Queued,  // served by the worker, one at a time
};

// What a handler works on: the system buffer (the input on entry; every
// handler reads what it needs of it before it writes), the output length,
// the device's storage, and the segment of the handle the request came
// through, which only IOCTL_SET_SEGMENT changes. It sets `Information`, the
// bytes returned.
struct RequestCall {
  DeviceExtension* Extension;
  uint8_t* Buffer;
  uint32_t OutputLength;
  uint32_t Segment;
  uint32_t Information;
};

// The checks beyond the least lengths, run once those have passed: the
// input bytes the least input length holds may be read; nothing is written.
using RequestCheck = bool (*)(const uint8_t* buffer, uint32_t outputLength);
// Returns the completion status. A queued request's handler returns
// STATUS_SUCCESS: what went wrong below is in its output.
using RequestHandler = NtStatus (*)(RequestCall* call);

struct RequestRow {
  uint32_t Code;
  RequestKind Kind;
  // Its waits are 1 ms sleeps on the SMBus, which last a whole clock tick
  // unless the worker holds the kernel's fine clock while it serves it.
  bool DrivesSmbus;
  uint32_t LeastInput;
  uint32_t LeastOutput;
  RequestCheck Check;  // null: the lengths are the only checks
  RequestHandler Handler;
};

// The row of `code`; null for a code this device does not serve.
const RequestRow* FindRequest(uint32_t code);

// The checks of the row, in their order: the lengths, then its own. True
// when every one passes.
bool RequestPassesChecks(const RequestRow& row, const uint8_t* buffer, uint32_t inputLength,
                         uint32_t outputLength);
