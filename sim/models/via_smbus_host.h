// The VIA SMBus host controller (596, 686, VT8231, VT8233/5): the Intel
// register layout in byte ports, decoded from the base in the function's
// configuration space while its host enable bit is set. Status bits 1-4
// (done, device error, collision, failed) are sticky and cleared by writing
// 1; the busy bit follows the transfer and ignores writes; bits 5-7 read 0.
// A slave that does not acknowledge ends the transfer with the device error.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

class ViaSmbusHost : public StickyStatusHost {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kData0 = 0x05;
  static constexpr uint16_t kData1 = 0x06;
  static constexpr uint16_t kBlockData = 0x07;
  static constexpr uint16_t kBlockSize = 8;

  static constexpr uint8_t kBusy = 0x01;
  static constexpr uint8_t kDone = 0x02;
  static constexpr uint8_t kDeviceError = 0x04;  // no acknowledge
  static constexpr uint8_t kCollision = 0x08;
  static constexpr uint8_t kFailed = 0x10;
  static constexpr uint8_t kSticky = 0x1E;       // written as 1 to clear

  static constexpr uint8_t kStart = 0x40;
  static constexpr uint8_t kProtocolMask = 0x1C;
  static constexpr uint8_t kProtocolByteData = 0x08;
  static constexpr uint8_t kProtocolWordData = 0x0C;

  // A transfer lasts its bit times at kSlowestSmbusHz.
  ViaSmbusHost(const Machine& machine, SmbusBus& bus)
      : StickyStatusHost(machine, bus, 0,
                         {.done = kDone, .noAnswer = kDeviceError, .always = 0, .sticky = kSticky}) {
    engine_.SetBusClockHz(kSlowestSmbusHz);
  }

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  uint8_t StatusRegister();

 private:
  uint8_t control_ = 0;
};

}  // namespace sim
