// The SiS 5595 SMBus host controller, behind an index port and a data port
// decoded from the ACPI base of the 0x0008 function while its ACPI enable
// bit is set. Status low shows bit 6 while a transfer runs and keeps bit 4
// (the slave did not acknowledge) and bit 5 (collision) until they are
// written as 1; status high likewise. Control low takes the protocol in bits
// 1-3; writing bit 4 on an idle host starts the transfer, and bit 4 reads
// set until it ends.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/host_engine.h"

namespace sim {

class SisSmbusHost : public PortDevice {
 public:
  // The port pair, from the base.
  static constexpr uint16_t kIndexPort = 0;
  static constexpr uint16_t kDataPort = 1;
  static constexpr uint16_t kPairSize = 2;

  // Registers behind the pair.
  static constexpr uint8_t kStatusLow = 0x00;
  static constexpr uint8_t kStatusHigh = 0x01;
  static constexpr uint8_t kControlLow = 0x02;
  static constexpr uint8_t kControlHigh = 0x03;
  static constexpr uint8_t kAddress = 0x04;
  static constexpr uint8_t kCommand = 0x05;
  static constexpr uint8_t kData0 = 0x08;
  static constexpr uint8_t kData1 = 0x09;

  static constexpr uint8_t kNoAnswer = 0x10;
  static constexpr uint8_t kCollision = 0x20;
  static constexpr uint8_t kBusy = 0x40;
  static constexpr uint8_t kStickyLow = 0x30;  // written as 1 to clear

  static constexpr uint8_t kProtocolMask = 0x0E;
  static constexpr uint8_t kProtocolByteData = 0x04;
  static constexpr uint8_t kProtocolWordData = 0x06;
  static constexpr uint8_t kStart = 0x10;

  SisSmbusHost(const Machine& machine, SmbusBus& bus, uint32_t transactionMs = 1)
      : engine_(machine, bus, transactionMs) {}

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  HostEngine& Engine() { return engine_; }
  // Error bits that appear in status low now, as when another master
  // collided on the bus while the host was idle.
  void RaiseStatus(uint8_t bits) { statusLow_ |= static_cast<uint8_t>(bits & kStickyLow); }
  uint8_t Register(uint8_t reg);

 private:
  void Settle();

  HostEngine engine_;
  uint8_t index_ = 0;
  uint8_t statusLow_ = 0;   // the sticky bits
  uint8_t statusHigh_ = 0;
  std::array<uint8_t, 0x20> regs_{};  // the others, as written
};

}  // namespace sim
