// The one order a transaction follows on the register-driven SMBus hosts
// (the PIIX4/ICH block, the VIA hosts, the ALi M7101 and M1563, the AMD and
// nForce hosts): an idle wait, where a host still busy is not started and
// its status is the transaction's final one; the host programmed and
// started; the settle time; the poll until the transaction has finished;
// a transaction we started that is still running then is killed, where the
// host can kill one; then the host's own step after the poll. What differs
// is data: the host's status bits and waits, the writes that program and
// start it, whether the caller has made the idle wait already, the kill and
// the step after the poll.
#pragma once

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/host_status.h"

namespace smbus_host {

struct Transaction {
  uint8_t Protocol;  // the host's own code for the transfer type
  uint8_t Slave;     // 7-bit address
  uint8_t Command;   // the command byte (the SPD offset)
  uint8_t IsRead;
  uint8_t Data0;  // the byte a write sends, for hosts that load it with the start
};

template <typename Status>
struct TransactionSteps {
  host_status::HostStatusBits Bits;  // what idle means
  bool CallerWaitedForIdle;          // the caller made (and judged) the idle wait itself
  Status (*WaitIdle)(uint32_t ioBase);
  void (*Program)(uint32_t ioBase, const Transaction& t);  // ends with the start
  Status (*AfterPoll)(uint32_t ioBase, Status final);      // null: none
  int32_t ReadSettleMs;                                    // after the start, before the first poll
  int32_t WriteSettleMs;
  // The post-start wait; null: WaitIdle.
  Status (*WaitDone)(uint32_t ioBase) = nullptr;
  // The status bits someone else (firmware sharing the host) may leave on an
  // idle host: with any of them in the idle status, ClearLeft clears them
  // right before the start, so they are not taken for our result. On a
  // healthy bus the previous transfer cleared them and nothing is written.
  Status LeftBits = 0;
  void (*ClearLeft)(uint32_t ioBase) = nullptr;
  // Ends a transaction we started that is still running after WaitDone,
  // waits a bounded time for the host to go idle and clears its status, so
  // that the host serves the next request; the transfer still fails with
  // the status WaitDone returned. Null: the host cannot kill one.
  void (*Kill)(uint32_t ioBase) = nullptr;
};

// `idle`: the status the caller's idle wait returned, where it made it.
template <typename Status>
Status RunTransaction(const TransactionSteps<Status>& host, uint32_t ioBase, const Transaction& t,
                      Status idle = 0) {
  if (!host.CallerWaitedForIdle) {
    idle = host.WaitIdle(ioBase);
    if (host_status::StillBusy(host.Bits, idle)) return idle;  // never start a busy host
  }
  if (host.ClearLeft != nullptr && (idle & host.LeftBits) != 0) host.ClearLeft(ioBase);
  host.Program(ioBase, t);
  DelayMs(t.IsRead != 0 ? host.ReadSettleMs : host.WriteSettleMs);
  const Status final = host.WaitDone != nullptr ? host.WaitDone(ioBase) : host.WaitIdle(ioBase);
  if (host.Kill != nullptr && host_status::StillBusy(host.Bits, final)) host.Kill(ioBase);
  return host.AfterPoll != nullptr ? host.AfterPoll(ioBase, final) : final;
}

}  // namespace smbus_host
