// The SMBus host of the SiS 630/730 and 760/964: 32 byte ports inside the
// ACPI I/O block of the south-bridge function (configuration word 0x74),
// at +0x80 on the 630/730 and +0xE0 on the 760/964, answering while bit 7
// of configuration byte 0x40 (ACPI decoding) is set.
//
// Status (+0x00): device error (bit 1, no acknowledge), collision (2),
// completion (3) and byte done (4, block transfers) stay until written as 1;
// bits 0 and 5-7 read 0. Control (+0x02): host busy (bit 0) is live while a
// transfer runs, slave busy (bit 1, a transfer another master addressed to
// the host) while a test holds it; clock select (5) and master time-out
// enable (6) keep what is written. Host control (+0x03): bits 2-0 the size,
// bit 4 starts it on an idle host (a start on a busy one is lost), bit 5
// kills the transfer under way, which then ends with no status bit (a host
// stuck busy stays so). Sizes 1 (send / receive byte), 2 (byte data) and 3
// (word data) run on the bus; the others end with the device error, as a
// transfer nothing on these buses answers would. A transfer lasts its bit
// times at the 630's slow clock, 14 kHz.
//
// What would hurt the bus on a real board is recorded: a start written
// while the host was busy (it would fall on firmware's transfer), and a
// transfer started with the master time-out enabled (its interrupt is
// firmware's). Firmware sharing the host (HostFirmware): its device error
// left standing, a completion it takes, a transfer that hangs until killed;
// firmware's own control bits are the board's `firmware.leftHostControl`.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

class Sis630SmbusHost : public StickyStatusHost {
 public:
  // The south-bridge function's ACPI base and decode bit.
  static constexpr uint8_t kAcpiBaseWord = 0x74;
  static constexpr uint8_t kAcpiControl = 0x40;
  static constexpr uint8_t kAcpiDecode = 0x80;
  // Where the block sits in the ACPI block.
  static constexpr uint16_t kOffset630 = 0x80;
  static constexpr uint16_t kOffset964 = 0xE0;
  static constexpr uint16_t kBlockSize = 0x20;

  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl = 0x02;
  static constexpr uint16_t kHostControl = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kCommand = 0x05;
  static constexpr uint16_t kData0 = 0x08;
  static constexpr uint16_t kData1 = 0x09;

  static constexpr uint8_t kDeviceError = 0x02;
  static constexpr uint8_t kCollision = 0x04;
  static constexpr uint8_t kCompletion = 0x08;
  static constexpr uint8_t kByteDone = 0x10;
  static constexpr uint8_t kSticky = 0x1E;

  static constexpr uint8_t kHostBusy = 0x01;
  static constexpr uint8_t kSlaveBusy = 0x02;
  static constexpr uint8_t kClockSelect = 0x20;
  static constexpr uint8_t kTimeoutEnable = 0x40;

  static constexpr uint8_t kSizeMask = 0x07;
  static constexpr uint8_t kSizeByte = 0x01;
  static constexpr uint8_t kSizeByteData = 0x02;
  static constexpr uint8_t kSizeWordData = 0x03;
  static constexpr uint8_t kStart = 0x10;
  static constexpr uint8_t kKill = 0x20;

  static constexpr uint32_t kBusHz = 14000;

  // The block on the south-bridge function at bus/device/function, at
  // `offset` in its ACPI block.
  static PciIoDecode Decode(uint8_t bus, uint8_t device, uint8_t function, uint16_t offset);

  Sis630SmbusHost(const Machine& machine, SmbusBus& bus, uint8_t control)
      : StickyStatusHost(machine, bus, 0,
                         {.done = kCompletion, .noAnswer = kDeviceError, .always = 0,
                          .sticky = kSticky}),
        clock_(machine),
        control_(static_cast<uint8_t>(control & ~(kHostBusy | kSlaveBusy))) {
    engine_.SetBusClockHz(kBusHz);
  }

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  uint8_t StatusRegister();
  uint8_t ControlRegister();
  // Status bits standing now, as another master's transfer would leave them.
  void RaiseStatus(uint8_t bits) { status_ |= static_cast<uint8_t>(bits & kSticky); }
  // A slave transfer addressed to the host, under way until released.
  void HoldSlaveBusy(bool on) { slaveBusy_ = on; }
  // Status bits that a write of 1 no longer clears (a damaged or latched
  // status), until released.
  void LatchStatus(uint8_t bits) { latched_ = static_cast<uint8_t>(bits & kSticky); }
  HostFirmware& Firmware() { return firmware_; }

  uint64_t StartsWhileBusy() const { return startsWhileBusy_; }
  uint64_t StartsWithTimeoutEnabled() const { return startsWithTimeout_; }

  // Status in bits 7-0, control in bits 15-8: busy is in control.
  uint32_t StuckStatus() const override { return uint32_t{kHostBusy} << 8; }
  uint32_t NoAnswerStatus() const override { return kDeviceError; }
  uint32_t Status() override { return StatusRegister(); }

 private:
  void Advance();
  void Start(uint8_t hostControl);

  const Machine& clock_;
  HostFirmware firmware_{};
  uint8_t control_;
  uint8_t hostControl_ = 0;
  uint8_t latched_ = 0;
  bool slaveBusy_ = false;
  std::array<uint8_t, kBlockSize> plain_{};  // byte count, block data and the rest, as written
  uint64_t startsWhileBusy_ = 0;
  uint64_t startsWithTimeout_ = 0;
};

// The host where the board's `decode` places it, the modules' bus behind it.
SmbusHostModel* InstallSis630SmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
