// A Super I/O chip at index port 0x2E and data port 0x2F. It enters its
// configuration mode only after the key 0x87 is written to the index port
// twice in a row, and leaves it on 0xAA; outside it both ports read all ones
// and only the key is heard. Register 0x07 selects the logical device;
// registers 0x20 and 0x21 hold the chip's ID and revision, read-only, the
// same in every logical device; registers from 0x30 on belong to the
// selected device. Register 0xF1 of logical device 8 drives the SMBus
// segment-select lines with bits 4-3. A chip of another kind at these ports
// waits for another key and never hears this one.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/smbus_mux.h"

namespace sim {

class SuperIo : public PortDevice, public SegmentLines {
 public:
  static constexpr uint16_t kIndexPort = 0x2E;
  static constexpr uint16_t kDataPort = 0x2F;
  static constexpr uint8_t kEnterKey = 0x87;
  static constexpr uint8_t kExitKey = 0xAA;
  static constexpr uint8_t kLogicalDevice = 0x07;
  static constexpr uint8_t kSwitchDevice = 8;
  static constexpr uint8_t kSwitchRegister = 0xF1;
  static constexpr uint8_t kChipIdRegister = 0x20;
  static constexpr uint8_t kRevisionRegister = 0x21;
  static constexpr uint8_t kChipId = 0x5A;  // this model's; not a value anything checks
  static constexpr uint8_t kRevision = 0x01;

  explicit SuperIo(uint8_t switchRegister);

  uint8_t Read8(uint16_t port) override;
  void Write8(uint16_t port, uint8_t value) override;
  uint8_t SegmentSelector() const override;

  bool InConfigMode() const { return configMode_; }
  // A chip of another kind: it enters its configuration mode on `key`.
  void ListenFor(uint8_t key) { enterKey_ = key; }
  uint8_t Register(uint8_t device, uint8_t index) const { return regs_[device][index]; }

 private:
  uint8_t enterKey_ = kEnterKey;
  bool configMode_ = false;
  bool keyOnce_ = false;
  uint8_t index_ = 0;
  uint8_t device_ = 0;
  std::array<std::array<uint8_t, 256>, 16> regs_{};
};

}  // namespace sim
