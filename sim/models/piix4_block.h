// The SMBus host register block the Intel PIIX4 introduced and the ICH, VIA
// and PIIX4-compatible ServerWorks and ATI/AMD hosts kept: host status,
// control, command, slave address and two data registers in byte ports
// from the I/O base (the board claims the block, so the model sees
// offsets). Writing control with the start bit runs the protocol the
// protocol field names; the host then shows busy (status bit 0, live, not
// writable) for the protocol's bit times at its bus clock, and ends with
// the interrupt bit (done) or the device error (no acknowledge, a protocol
// the model does not run). Firmware sharing the host can leave its own
// error, take a completion, hang a transfer or delay busy (HostFirmware). Done, device error, bus
// collision and failed (bits 1-4) stay until written as 1; bits 5-7 are the chip's own (the PIIX4
// block leaves them reserved, reading 0). The kill bit ends a transfer under way at once, failed. A
// start while busy is lost.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

class Piix4Block : public StickyStatusHost {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kData0 = 0x05;
  static constexpr uint16_t kData1 = 0x06;
  static constexpr uint16_t kBlockData = 0x07;

  // Host status.
  static constexpr uint8_t kBusy = 0x01;
  static constexpr uint8_t kInterrupt = 0x02;    // transfer done
  static constexpr uint8_t kDeviceError = 0x04;  // no acknowledge, or a bad protocol
  static constexpr uint8_t kBusCollision = 0x08;
  static constexpr uint8_t kFailed = 0x10;  // killed
  static constexpr uint8_t kErrors = kDeviceError | kBusCollision | kFailed;
  static constexpr uint8_t kClearable = kInterrupt | kErrors;  // written as 1 to clear

  // Host control.
  static constexpr uint8_t kKill = 0x02;
  static constexpr uint8_t kProtocolMask = 0x1C;
  static constexpr uint8_t kProtocolByte = 0x04;  // send byte / receive byte
  static constexpr uint8_t kProtocolByteData = 0x08;
  static constexpr uint8_t kProtocolWordData = 0x0C;
  static constexpr uint8_t kStart = 0x40;

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // The status register without the side effects of a read.
  uint8_t StatusRegister();
  // A controller that never leaves busy and never runs a transfer; the
  // given error bits show alongside busy and cannot be cleared meanwhile.
  void SetStuckBusy(bool stuck, uint8_t errorBits = 0);
  void SetBusClockHz(uint32_t hz) { engine_.SetBusClockHz(hz); }
  // The firmware sharing the host (see host_firmware.h); call with the
  // machine's lock held.
  HostFirmware& Firmware() { return firmware_; }
  uint64_t Transactions() const { return engine_.Transactions(); }

  void StickBusy(bool on) override { SetStuckBusy(on); }
  uint32_t StuckStatus() const override { return kBusy; }
  uint32_t NoAnswerStatus() const override { return kDeviceError; }
  uint32_t Status() override { return StatusRegister(); }

 protected:
  // `clearable`: the status bits a write of 1 clears, the chip's own among
  // them.
  Piix4Block(const Machine& machine, SmbusBus& bus, uint32_t busHz, uint8_t clearable = kClearable);

  // What the chip does before any access to its registers (firmware that
  // lets go of the host on the machine's clock).
  virtual void BeforeAccess() {}
  // True: the chip ends this start with a device error at the address
  // frame, before anything reaches the bus.
  virtual bool Refuses(uint8_t /*addressByte*/) { return false; }

  uint8_t control_ = 0;

 private:
  void Start();
  // Before every register access: the chip's own step, a start whose busy
  // lags, the end of a transfer whose time is up (and firmware taking its
  // completion), firmware leaving its error on an idle host.
  void Advance();

  const Machine& clock_;
  HostFirmware firmware_{};
  bool lagging_ = false;  // a start written whose busy has not shown yet
  uint64_t lagEndsMs_ = 0;
  uint8_t stuckBits_ = 0;
};

}  // namespace sim
