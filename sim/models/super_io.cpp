#include "sim/models/super_io.h"

namespace sim {

SuperIo::SuperIo(uint8_t switchRegister) {
  regs_[kSwitchDevice][kSwitchRegister] = switchRegister;
}

uint8_t SuperIo::SegmentSelector() const {
  return (regs_[kSwitchDevice][kSwitchRegister] >> 3) & 3u;
}

uint8_t SuperIo::Read8(uint16_t port) {
  if (!configMode_) return 0xFF;
  if (port == kIndexPort) return index_;
  if (index_ == kLogicalDevice) return device_;
  if (index_ == kChipIdRegister) return kChipId;
  if (index_ == kRevisionRegister) return kRevision;
  return regs_[device_][index_];
}

void SuperIo::Write8(uint16_t port, uint8_t value) {
  if (!configMode_) {
    // Only the key sequence on the index port is heard.
    if (port == kIndexPort && value == enterKey_) {
      if (keyOnce_) configMode_ = true;
      keyOnce_ = !keyOnce_ && !configMode_;
    } else {
      keyOnce_ = false;
    }
    return;
  }
  if (port == kIndexPort) {
    if (value == kExitKey) {
      configMode_ = false;
      keyOnce_ = false;
    } else {
      index_ = value;
    }
    return;
  }
  if (index_ == kLogicalDevice) {
    device_ = value & 0x0Fu;
  } else if (index_ != kChipIdRegister && index_ != kRevisionRegister) {
    regs_[device_][index_] = value;
  }
}

}  // namespace sim
