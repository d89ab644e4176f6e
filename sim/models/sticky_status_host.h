// What the PIIX4-block (Intel, VIA, PIIX4-compatible), ALi M7101, ALi M1563
// and SiS 5595 host models share over their HostEngine: the
// slave address, command and data registers a transfer takes and fills, the
// protocol a register field names, and a status whose bits a finished
// transfer sets and only a write of 1 clears.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/host_engine.h"
#include "sim/models/smbus_host_model.h"

namespace sim {

class StickyStatusHost : public PortDevice, public SmbusHostModel {
 public:
  HostEngine& Engine() { return engine_; }
  void StickBusy(bool on) override { engine_.SetStuckBusy(on); }

 protected:
  // The status bits the end of a transfer sets.
  struct EndBits {
    uint8_t done;      // every byte acknowledged
    uint8_t noAnswer;  // the slave did not acknowledge
    uint8_t always;    // at every end, failed or not
    uint8_t sticky;    // the bits a write of 1 clears (and an arranged error may set)
  };

  StickyStatusHost(const Machine& machine, SmbusBus& bus, uint32_t transactionMs, EndBits bits)
      : engine_(machine, bus, transactionMs), bits_(bits) {}

  // Ends a transfer whose time is up: its bits join the status, a read's data
  // lands in data 0 and 1. True when one ended.
  bool Settle();
  void ClearStatus(uint8_t written) { status_ &= static_cast<uint8_t>(~(written & bits_.sticky)); }
  // Starts the protocol `field` names with the address, command and data 0
  // registers; false when the start is lost. `byte`: the field's value for
  // send / receive byte, on hosts that run them (0xFF: none).
  bool Start(uint8_t field, uint8_t byteData, uint8_t wordData, uint8_t byte = 0xFF);

  HostEngine engine_;
  EndBits bits_;
  uint8_t status_ = 0;  // the sticky bits
  uint8_t command_ = 0;
  uint8_t address_ = 0;
  uint8_t data0_ = 0;
  uint8_t data1_ = 0;
};

}  // namespace sim
