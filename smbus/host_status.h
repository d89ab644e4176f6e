// The one verdict every register-driven SMBus host gets, whatever its status
// layout: a host that is still running a transaction has not finished it, so
// nothing may be started on it and nothing read from its data registers can
// be trusted. Each back-end describes its status register with HostStatusBits
// and asks these two questions of it.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "hw/hw.h"

namespace host_status {

struct HostStatusBits {
  uint32_t BusyMask;   // the bits that tell whether a transaction is running
  uint32_t IdleValue;  // their value when none is (0 for busy bits, the bit for a done bit)
  uint32_t ErrorMask;  // the bits that report a failed transaction
};

constexpr bool StillBusy(const HostStatusBits& bits, uint32_t status) {
  return (status & bits.BusyMask) != bits.IdleValue;
}

// Before a transaction: after the idle wait the host must be idle. A busy host
// fails the transfer with `hwCode` and the status in HwDetail word 0; the
// caller then starts nothing. Returns 0 when the host may be started.
int32_t RefuseBusyHost(const HostStatusBits& bits, OpStatus* status, uint32_t hostStatus,
                       uint32_t hwCode);

// After a transaction: a final status that is still busy or has an error bit
// set fails the transfer with `hwCode` and that status; otherwise 0 and the
// status record is left alone.
int32_t JudgeFinalStatus(const HostStatusBits& bits, OpStatus* status, uint32_t finalStatus,
                         uint32_t hwCode);

// How long a host's status is waited for: polls 1 ms apart, this many.
constexpr uint32_t kStatusPollLimit = 3000;
constexpr int32_t kStatusPollIntervalMs = 1;

// The wait every register-driven host makes: reads the status with `read`
// until `ready` accepts it, kStatusPollIntervalMs apart, at most
// kStatusPollLimit times; returns the last status read, ready or not.
template <typename Status, typename Read, typename Ready>
Status PollStatus(Read read, Ready ready) {
  Status value = 0;
  for (uint32_t poll = 0; poll < kStatusPollLimit; ++poll) {
    value = read();
    if (ready(value)) return value;
    DelayMs(kStatusPollIntervalMs);
  }
  return value;
}

// The idle wait: until the status no longer says busy.
template <typename Status, typename Read>
Status WaitWhileBusy(const HostStatusBits& bits, Read read) {
  return PollStatus<Status>(read, [&bits](Status value) { return !StillBusy(bits, value); });
}

// An I/O base read from configuration space is usable when the BIOS
// programmed it (nonzero) and the register block from `offset` on fits below
// 0x10000 (a subtraction that wrapped lands above).
constexpr bool UsableIoBase(uint32_t ioBase, uint32_t blockEnd = 0) {
  return ioBase != 0 && ioBase + blockEnd <= 0xFFFFu && ioBase + blockEnd >= ioBase;
}

}  // namespace host_status
