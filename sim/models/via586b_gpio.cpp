#include "sim/models/via586b_gpio.h"

#include <utility>

namespace sim {

namespace {
constexpr uint8_t kLines = Via586bGpio::kScl | Via586bGpio::kSda;
}  // namespace

Via586bGpio::Via586bGpio(TwoWireBus& bus, uint8_t direction, uint8_t output, uint8_t input)
    : bus_(bus), me_(bus.Join()) {
  regs_[kDirection] = direction;
  regs_[kOutput] = output;
  regs_[kInput] = static_cast<uint8_t>(input & ~kLines);
  DrivePins();
}

uint8_t Via586bGpio::Register(uint16_t offset) const {
  if (offset >= kBlockSize) return 0xFF;
  uint8_t value = regs_[offset];
  if (offset == kInput) {
    if (bus_.Level(Line::Scl)) value |= kScl;
    if (bus_.Level(Line::Sda)) value |= kSda;
  }
  return value;
}

uint8_t Via586bGpio::Read8(uint16_t offset) {
  if (offset == kInput) bus_.Sample();
  return Register(offset);
}

void Via586bGpio::Write8(uint16_t offset, uint8_t value) {
  if (offset >= kBlockSize || offset == kInput) return;  // the input register is read-only
  regs_[offset] = value;
  if (offset == kDirection || offset == kOutput) DrivePins();
}

void Via586bGpio::DrivePins() {
  const uint8_t out = regs_[kDirection];
  const uint8_t level = regs_[kOutput];
  for (const auto& [line, bit] : {std::pair{Line::Scl, kScl}, std::pair{Line::Sda, kSda}}) {
    if ((out & bit) == 0) {
      bus_.Pull(me_, line, false);  // an input: the pull-up has the line
    } else if ((level & bit) == 0) {
      bus_.Pull(me_, line, true);
    } else {
      bus_.DriveHigh(me_, line, true);
    }
  }
}

}  // namespace sim
