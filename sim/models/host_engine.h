// What every SMBus host controller model shares underneath its own register
// block: a transfer started on the bus runs for a virtual time on the
// machine's clock (a fixed time, or the protocol's bit times at a bus clock),
// then hands its result to the registers. A host that is
// busy loses a start. Faults a test can arrange: a host that never leaves
// busy, and a transfer that ends with error bits of the chip's own choosing
// (a collision, a killed transfer) instead of its bus result.
#pragma once

#include <stdint.h>

#include <optional>

#include "sim/machine.h"
#include "sim/models/smbus_bus.h"

namespace sim {

enum class HostProtocol { Byte, ByteData, WordData, Unsupported };  // Byte: send / receive byte

// The bus clock of the hosts whose clock the board does not program: SMBus's
// slowest, 10 kHz. A byte read (39 bit times) then lasts 3.9 ms and a word
// read 4.8 ms, past a driver's 1 ms settle, so its poll loop runs; a driver
// right at this clock is right at any faster one.
constexpr uint32_t kSlowestSmbusHz = 10000;

class HostEngine {
 public:
  struct Result {
    bool acked = false;       // every byte of the transfer was acknowledged
    uint8_t forcedError = 0;  // nonzero: the arranged error bits instead of the result
    bool hasData = false;     // a read that delivered data0 (and data1 for a word)
    uint8_t data0 = 0;
    uint8_t data1 = 0;
  };

  HostEngine(const Machine& machine, SmbusBus& bus, uint32_t transactionMs)
      : machine_(machine), bus_(bus), transactionMs_(transactionMs) {}

  // Runs `protocol` on the bus for the slave and direction of `addressByte`;
  // `data0` is the byte a write sends. False when the start is lost.
  bool Start(HostProtocol protocol, uint8_t addressByte, uint8_t command, uint8_t data0);
  // A running transfer whose time is up ends here, once.
  std::optional<Result> Settle();
  bool Busy() const { return running_ || stuck_; }
  bool Running() const { return running_; }
  // The transfer under way ends without its result; a stuck host stays so.
  void Cancel() {
    running_ = false;
    hung_ = false;
  }
  // The next transfer started holds the bus and never ends by itself; a
  // kill (Cancel or Abort) ends it.
  void HangNext() { hangNext_ = true; }
  // A start the chip ends by itself with `errorBits` after `bitTimes` on
  // the wire, before the bus sees anything more. False when it is lost.
  bool StartRefused(uint8_t errorBits, uint32_t bitTimes);

  void SetStuckBusy(bool stuck) { stuck_ = stuck; }
  // A kill: the transfer under way ends without its result, and a host
  // stuck busy lets go.
  void Abort() {
    Cancel();
    stuck_ = false;
  }
  void FailNextWith(uint8_t errorBits) { failNext_ = errorBits; }
  void SetTransactionMs(uint32_t ms) { transactionMs_ = ms; }
  // Nonzero: a transfer lasts its bit times at this clock instead of the
  // fixed time.
  void SetBusClockHz(uint32_t hz) { busHz_ = hz; }
  // The bit times of a protocol on the wire, START to STOP.
  static uint32_t BitTimes(HostProtocol protocol, bool read);
  // How long those bit times last at `hz`, in microseconds, rounded up.
  static uint64_t TransferUs(HostProtocol protocol, bool read, uint32_t hz) {
    return (uint64_t{BitTimes(protocol, read)} * 1000000 + hz - 1) / hz;
  }
  uint64_t Transactions() const { return transactions_; }

 private:
  const Machine& machine_;
  SmbusBus& bus_;
  uint32_t transactionMs_;
  uint32_t busHz_ = 0;
  bool stuck_ = false;
  bool hangNext_ = false;
  bool hung_ = false;
  uint8_t failNext_ = 0;
  bool running_ = false;
  uint64_t doneAtUs_ = 0;  // on the machine's clock, in microseconds
  Result result_{};
  uint64_t transactions_ = 0;
};

}  // namespace sim
