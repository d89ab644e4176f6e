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
  // The bit a transaction we started sets when it ends well, for hosts
  // that report their own completion apart from busy. With it a transaction
  // is finished only when busy is clear and it or an error bit is set: busy
  // clear with neither means another agent (firmware sharing the host) took
  // the completion, or the host has not begun to show busy yet. 0: the host
  // has no such bit, and busy clear is the end.
  uint32_t DoneMask = 0;
};

constexpr bool StillBusy(const HostStatusBits& bits, uint32_t status) {
  return (status & bits.BusyMask) != bits.IdleValue;
}

// Busy clear and, on a host with a completion bit, the completion or an error.
constexpr bool Finished(const HostStatusBits& bits, uint32_t status) {
  return !StillBusy(bits, status) &&
         (bits.DoneMask == 0 || (status & (bits.DoneMask | bits.ErrorMask)) != 0);
}

// Before a transaction: after the idle wait the host must be idle. A busy host
// fails the transfer with `hwCode` and the status in HwDetail word 0; the
// caller then starts nothing. Returns 0 when the host may be started.
int32_t RefuseBusyHost(const HostStatusBits& bits, OpStatus* status, uint32_t hostStatus,
                       uint32_t hwCode);

// After a transaction: a final status that is not Finished or has an error
// bit set fails the transfer with `hwCode` and that status; otherwise 0 and
// the status record is left alone.
int32_t JudgeFinalStatus(const HostStatusBits& bits, OpStatus* status, uint32_t finalStatus,
                         uint32_t hwCode);

// How long a host's status is waited for: polls 1 ms apart, this many.
constexpr uint32_t kStatusPollLimit = 3000;
constexpr int32_t kStatusPollIntervalMs = 1;

// The wait every register-driven host makes: reads the status with `read`
// until `ready` accepts it, kStatusPollIntervalMs apart, at most `limit`
// times; returns the last status read, ready or not.
template <typename Status, typename Read, typename Ready>
Status PollStatus(Read read, Ready ready, uint32_t limit = kStatusPollLimit) {
  Status value = 0;
  for (uint32_t poll = 0; poll < limit; ++poll) {
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

// The wait after a start: until the transaction has Finished. On a host
// with a completion bit, busy clear without it for kNoCompletionPolls polls
// in a row ends the wait early (the completion was taken by someone else;
// a busy bit that shows late has shown by then).
constexpr uint32_t kNoCompletionPolls = 5;
template <typename Status, typename Read>
Status WaitUntilFinished(const HostStatusBits& bits, Read read) {
  uint32_t idleWithoutEnd = 0;
  return PollStatus<Status>(read, [&bits, &idleWithoutEnd](Status value) {
    if (Finished(bits, value)) return true;
    idleWithoutEnd = StillBusy(bits, value) ? 0 : idleWithoutEnd + 1;
    return idleWithoutEnd >= kNoCompletionPolls;
  });
}

// A transaction we started and the host still runs after the post-start
// wait is killed; the host is then waited for, this many polls 1 ms apart
// at most, before its status is cleared.
constexpr uint32_t kKillWaitPolls = 100;
template <typename Status, typename Read>
Status WaitAfterKill(const HostStatusBits& bits, Read read) {
  Status value = read();
  for (uint32_t poll = 0; StillBusy(bits, value) && poll < kKillWaitPolls; ++poll) {
    DelayMs(kStatusPollIntervalMs);
    value = read();
  }
  return value;
}

// An I/O base read from configuration space is usable when the BIOS
// programmed it (nonzero) and the register block from `offset` on fits below
// 0x10000 (a subtraction that wrapped lands above).
constexpr bool UsableIoBase(uint32_t ioBase, uint32_t blockEnd = 0) {
  return ioBase != 0 && ioBase + blockEnd <= 0xFFFFu && ioBase + blockEnd >= ioBase;
}

}  // namespace host_status
