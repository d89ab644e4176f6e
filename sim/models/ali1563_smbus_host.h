// The SMBus host of the ALi/ULi M1563 south bridge: 16 byte ports from the
// base in bits 15-4 of its configuration word 0x80, decoded while bits 0
// (I/O) and 1 (host) of that word are set. Status: busy (bit 0) follows the
// transfer; done (1), device error (2, a slave that did not acknowledge),
// bus error (3, a collision), failed (4, killed) and byte ready (7) stay
// until written as 1. Control 2 names the size in bits 5-3 and starts it
// with bit 6; bit 2 kills the transfer under way, which then ends failed,
// and stays set (a start written with it starts nothing, and failed cannot
// be cleared) until control 2 is written without it. Whether done latches differs between parts: a
// test can have it never latch.
// After a bus error the model keeps the bus held, and every transfer ends
// with the bus error again, until the bus-timeout reset (control 1 bit 7)
// is written: silicon may recover by itself, a driver that resets it works
// either way. A test can make the next transfer hang until it is killed.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

class Ali1563SmbusHost : public StickyStatusHost {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl1 = 0x01;
  static constexpr uint16_t kControl2 = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kData0 = 0x05;
  static constexpr uint16_t kData1 = 0x06;
  static constexpr uint16_t kBlockData = 0x07;
  static constexpr uint16_t kBlockSize = 0x10;

  static constexpr uint8_t kBusy = 0x01;
  static constexpr uint8_t kDone = 0x02;
  static constexpr uint8_t kDeviceError = 0x04;
  static constexpr uint8_t kBusError = 0x08;
  static constexpr uint8_t kFailed = 0x10;
  static constexpr uint8_t kByteReady = 0x80;
  static constexpr uint8_t kSticky = 0x9E;  // written as 1 to clear

  static constexpr uint8_t kBusReset = 0x80;  // control 1
  static constexpr uint8_t kSizeMask = 0x38;  // control 2
  static constexpr uint8_t kSizeByteData = 0x10;
  static constexpr uint8_t kSizeWordData = 0x18;
  static constexpr uint8_t kStart = 0x40;
  static constexpr uint8_t kKill = 0x04;

  static PciIoDecode Decode(uint8_t bus, uint8_t device, uint8_t function);

  Ali1563SmbusHost(const Machine& machine, SmbusBus& bus, uint32_t transactionMs = 1)
      : StickyStatusHost(
            machine, bus, transactionMs,
            {.done = kDone, .noAnswer = kDeviceError, .always = 0, .sticky = kSticky}) {}

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  uint8_t StatusRegister();
  uint32_t StuckStatus() const override { return kBusy; }
  uint32_t NoAnswerStatus() const override { return kDeviceError; }
  uint32_t Status() override { return StatusRegister(); }
  // The next transfer started never ends by itself; a kill ends it.
  void HangNext() { engine_.HangNext(); }
  void SetDoneLatches(bool latches) { doneLatches_ = latches; }

 private:
  void SettleBus();

  uint8_t control1_ = 0;
  uint8_t control2_ = 0;
  bool busHeld_ = false;
  bool doneLatches_ = true;
};

// The host of the board's M1563 function, the modules' bus behind it.
SmbusHostModel* InstallAli1563SmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
