#include "sim/models/sis_smbus_host.h"

namespace sim {

namespace {

constexpr uint8_t kAcpiBaseWord = 0x90;
constexpr uint8_t kCommandRegister = 0x04;
constexpr uint8_t kIoSpaceEnable = 0x01;
constexpr uint8_t kAcpiControl = 0x40;
constexpr uint8_t kAcpiEnable = 0x80;

}  // namespace

PciIoDecode SisSmbusHost::Decode(uint8_t bus, uint8_t device, uint8_t function) {
  return {.bus = bus, .device = device, .function = function, .baseRegister = kAcpiBaseWord,
          .baseMask = kAcpiBaseMask, .blockOffset = kPairOffset, .size = kPairSize,
          .enables = {{kCommandRegister, kIoSpaceEnable}, {kAcpiControl, kAcpiEnable}}};
}

void SisSmbusHost::Settle() {
  const auto result = engine_.Settle();
  if (!result) return;
  regs_[kControlLow] &= static_cast<uint8_t>(~kStart);
  uint8_t bits = kDone;
  if (result->forcedError != 0) {
    bits |= static_cast<uint8_t>(result->forcedError & (kNoAnswer | kCollision));
  } else if (!result->acked) {
    bits |= kNoAnswer;
  }
  statusLow_ |= bits;
  if (result->hasData) {
    regs_[kData0] = result->data0;
    regs_[kData1] = result->data1;
  }
}

uint8_t SisSmbusHost::Register(uint8_t reg) {
  Settle();
  switch (reg) {
    case kStatusLow: return statusLow_;
    case kStatusHigh: return statusHigh_;
    default: return reg < regs_.size() ? regs_[reg] : 0x00;
  }
}

uint8_t SisSmbusHost::Read8(uint16_t offset) {
  return offset == kIndexPort ? index_ : Register(index_);
}

void SisSmbusHost::Write8(uint16_t offset, uint8_t value) {
  if (offset == kIndexPort) {
    index_ = value;
    return;
  }
  Settle();
  switch (index_) {
    case kStatusLow: statusLow_ &= static_cast<uint8_t>(~(value & kStickyLow)); break;
    case kStatusHigh: statusHigh_ &= static_cast<uint8_t>(~value); break;
    case kControlLow: {
      if (engine_.Busy()) {
        // A running transfer keeps its start bit; the rest is taken.
        regs_[kControlLow] = static_cast<uint8_t>(value | (regs_[kControlLow] & kStart));
        break;
      }
      regs_[kControlLow] = static_cast<uint8_t>(value & ~kStart);
      if ((value & kStart) == 0) break;
      const uint8_t protocol = value & kProtocolMask;
      if (engine_.Start(protocol == kProtocolByteData   ? HostProtocol::ByteData
                        : protocol == kProtocolWordData ? HostProtocol::WordData
                                                        : HostProtocol::Unsupported,
                        regs_[kAddress], regs_[kCommand], regs_[kData0])) {
        regs_[kControlLow] |= kStart;
      }
      break;
    }
    default:
      if (index_ < regs_.size()) regs_[index_] = value;
      break;
  }
}

}  // namespace sim
