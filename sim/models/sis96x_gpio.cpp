#include "sim/models/sis96x_gpio.h"

namespace sim {

namespace {
constexpr uint16_t kInputs = Sis96xGpio::kSclIn | Sis96xGpio::kSdaIn;
}  // namespace

Sis96xGpio::Sis96xGpio(TwoWireBus& bus, uint16_t pinEnable, uint16_t pins)
    : bus_(bus), me_(bus.Join()) {
  regs_[kPinEnable] = static_cast<uint8_t>(pinEnable);
  regs_[kPinEnable + 1] = static_cast<uint8_t>(pinEnable >> 8);
  const uint16_t stored = pins & ~kInputs;
  regs_[kPins] = static_cast<uint8_t>(stored);
  regs_[kPins + 1] = static_cast<uint8_t>(stored >> 8);
  DrivePins();
}

uint8_t Sis96xGpio::Byte(uint16_t offset) const {
  if (offset >= kBlockSize) return 0xFF;
  uint8_t value = regs_[offset];
  if (offset == kPins + 1) {
    if (bus_.Level(Line::Scl)) value |= kSclIn >> 8;
    if (bus_.Level(Line::Sda)) value |= kSdaIn >> 8;
  }
  return value;
}

uint16_t Sis96xGpio::Word(uint16_t offset) const {
  return static_cast<uint16_t>(Byte(offset) | (Byte(static_cast<uint16_t>(offset + 1)) << 8));
}

uint8_t Sis96xGpio::Read8(uint16_t offset) {
  return InPinWord(offset) ? 0xFF : Byte(offset);
}

void Sis96xGpio::Write8(uint16_t offset, uint8_t value) {
  if (offset >= kBlockSize || InPinWord(offset)) return;
  regs_[offset] = value;
}

uint16_t Sis96xGpio::Read16(uint16_t offset) {
  if ((offset & 1u) != 0 && (InPinWord(offset) || InPinWord(static_cast<uint16_t>(offset + 1)))) {
    return 0xFFFF;
  }
  if (offset == kPins) bus_.Sample();
  return Word(offset);
}

// A word access is one bus cycle: both pins change together.
void Sis96xGpio::Write16(uint16_t offset, uint16_t value) {
  if (offset + 1u >= kBlockSize) return;
  if ((offset & 1u) != 0 && (InPinWord(offset) || InPinWord(static_cast<uint16_t>(offset + 1)))) {
    return;
  }
  regs_[offset] = static_cast<uint8_t>(value);
  regs_[offset + 1] = static_cast<uint8_t>(value >> 8);
  if (offset == kPins) regs_[kPins + 1] &= static_cast<uint8_t>(~(kInputs >> 8));
  if (offset == kPins || offset == kPinEnable) DrivePins();
}

void Sis96xGpio::DrivePins() {
  const uint16_t enable = static_cast<uint16_t>(regs_[kPinEnable] | (regs_[kPinEnable + 1] << 8));
  const uint16_t pins = static_cast<uint16_t>(regs_[kPins] | (regs_[kPins + 1] << 8));
  const bool enabled = (enable & kPinEnableBit) != 0;
  bus_.Pull(me_, Line::Scl, enabled && (pins & kSclOut) == 0);
  bus_.Pull(me_, Line::Sda, enabled && (pins & kSdaOut) == 0);
}

}  // namespace sim
