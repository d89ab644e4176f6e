// The ALi M7101 SMBus host controller: byte ports from the base in the
// M7101's configuration space, decoded while its enable bits are set. The
// status register shows idle (bit 2) and busy (bit 3) as the host is, and
// keeps done (bit 4), device error (bit 5), no answer or collision (bit 6)
// and aborted (bit 7) until they are written as 1. Any write to the start
// register starts the transfer the type register names. A slave that does
// not acknowledge ends the transfer with bit 6. Writing the type register's
// kill bit ends a transfer under way with bit 7; its bus time-out reset bit
// lets go of a host stuck busy. Which bits those are is the bridge's: the
// older M1533/M1543C abort with bit 1 and reset with bit 2, the M1535 kills
// with bit 2 and resets with bit 3 (its M7101 decodes its base from word
// 0xE2). Firmware sharing the host can leave its own error, take a
// completion (the status cleared, its sensor's bytes in the data registers)
// or hang a transfer until it is killed (HostFirmware).
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

class AliSmbusHost : public StickyStatusHost {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kType = 0x01;
  static constexpr uint16_t kStart = 0x02;
  static constexpr uint16_t kAddress = 0x03;
  static constexpr uint16_t kData0 = 0x04;
  static constexpr uint16_t kData1 = 0x05;
  static constexpr uint16_t kBlockData = 0x06;
  static constexpr uint16_t kCommand = 0x07;
  static constexpr uint16_t kBlockSize = 0x20;

  static constexpr uint8_t kIdle = 0x04;
  static constexpr uint8_t kBusy = 0x08;
  static constexpr uint8_t kDone = 0x10;
  static constexpr uint8_t kDeviceError = 0x20;
  static constexpr uint8_t kNoAnswer = 0x40;  // no acknowledge, or a collision
  static constexpr uint8_t kAborted = 0x80;
  static constexpr uint8_t kSticky = 0xF0;  // written as 1 to clear

  static constexpr uint8_t kTypeMask = 0x70;
  static constexpr uint8_t kTypeByteData = 0x20;
  static constexpr uint8_t kTypeWordData = 0x30;

  enum class Bridge { M15x3, M1535 };
  static constexpr uint8_t kM15x3Abort = 0x02, kM15x3TimeoutReset = 0x04;
  static constexpr uint8_t kM1535Kill = 0x04, kM1535TimeoutReset = 0x08;

  // A transfer lasts its bit times at kSlowestSmbusHz.
  AliSmbusHost(const Machine& machine, SmbusBus& bus, Bridge bridge = Bridge::M15x3)
      : StickyStatusHost(machine, bus, 0,
                         {.done = kDone, .noAnswer = kNoAnswer, .always = 0, .sticky = kSticky}),
        clock_(machine),
        kill_(bridge == Bridge::M1535 ? kM1535Kill : kM15x3Abort),
        timeoutReset_(bridge == Bridge::M1535 ? kM1535TimeoutReset : kM15x3TimeoutReset) {
    engine_.SetBusClockHz(kSlowestSmbusHz);
  }

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  uint8_t StatusRegister();
  uint32_t StuckStatus() const override { return kBusy; }
  uint32_t NoAnswerStatus() const override { return kNoAnswer | kIdle; }
  uint32_t Status() override { return StatusRegister(); }

  // The firmware sharing the host (see host_firmware.h).
  HostFirmware& Firmware() { return firmware_; }
  // Status bits another agent left standing (done and the error bits).
  void RaiseStatus(uint8_t bits) { status_ |= static_cast<uint8_t>(bits & kSticky); }
  // Writes of the type register with its kill or time-out reset bit.
  uint64_t Kills() const { return kills_; }

 private:
  // Before every register access: the end of a transfer whose time is up
  // (and firmware taking its completion), firmware leaving its error on an
  // idle host.
  void Advance();

  const Machine& clock_;
  HostFirmware firmware_{};
  uint8_t kill_, timeoutReset_;
  uint8_t type_ = 0;
  uint64_t kills_ = 0;
};

// The older bridges' M7101 (base in dword 0x14): while bits 1-2 of byte
// 0x5B (the lock) are set, dword 0x14 reads 0; the base it holds still
// decodes, and writes still reach it.
void InstallM7101BaseLock(PciFunction& m7101);

// The host where the board's `decode` places it, the modules' bus behind it
// (on the older bridges, with the base lock).
SmbusHostModel* InstallAliSmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
