// The Intel SMBus host controller register block (PIIX4 and ICH): host
// status, control, command, slave address and two data registers in byte
// ports from the I/O base. Writing the start bit runs the protocol on the
// bus; the controller then reports busy for a configurable virtual time,
// measured on the machine's clock, before it shows the interrupt bit (done)
// or the device-error bit (the slave did not acknowledge).
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/smbus_bus.h"

namespace sim {

class IntelSmbusHost : public PortDevice {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kData0 = 0x05;
  static constexpr uint16_t kData1 = 0x06;

  static constexpr uint8_t kBusy = 0x01;
  static constexpr uint8_t kInterrupt = 0x02;    // transfer done
  static constexpr uint8_t kDeviceError = 0x04;  // no acknowledge, or a bad protocol
  static constexpr uint8_t kBusCollision = 0x08;
  static constexpr uint8_t kFailed = 0x10;
  static constexpr uint8_t kClearable = 0x1E;    // written as 1 to clear

  static constexpr uint8_t kStart = 0x40;
  static constexpr uint8_t kProtocolMask = 0x1C;
  static constexpr uint8_t kProtocolByteData = 0x08;
  static constexpr uint8_t kProtocolWordData = 0x0C;

  IntelSmbusHost(Machine& machine, uint16_t ioBase, SmbusBus& bus, uint32_t transactionMs = 1);

  uint8_t Read8(uint16_t port) override;
  void Write8(uint16_t port, uint8_t value) override;

  void SetTransactionMs(uint32_t ms) { transactionMs_ = ms; }
  // A controller that never leaves busy and never runs a transfer; the
  // given error bits show alongside busy and cannot be cleared meanwhile.
  void SetStuckBusy(bool stuck, uint8_t errorBits = 0);

  uint16_t IoBase() const { return ioBase_; }
  uint64_t Transactions() const { return transactions_; }
  uint8_t StatusRegister();

 private:
  void Start(uint8_t control);
  void Settle();  // ends a running transfer whose time is up

  Machine& machine_;
  uint16_t ioBase_;
  SmbusBus& bus_;
  uint32_t transactionMs_;
  bool stuckBusy_ = false;
  uint8_t stuckBits_ = 0;

  uint8_t status_ = 0;
  uint8_t control_ = 0;
  uint8_t command_ = 0;
  uint8_t address_ = 0;
  uint8_t data0_ = 0;
  uint8_t data1_ = 0;

  bool running_ = false;
  uint64_t doneAtMs_ = 0;
  uint8_t resultStatus_ = 0;
  bool resultHasData_ = false;
  uint8_t result0_ = 0;
  uint8_t result1_ = 0;
  uint64_t transactions_ = 0;
};

}  // namespace sim
