#include "sim/models/sis_smbus_host.h"

namespace sim {

void SisSmbusHost::Settle() {
  const auto result = engine_.Settle();
  if (!result) return;
  regs_[kControlLow] &= static_cast<uint8_t>(~kStart);
  if (result->forcedError != 0) {
    statusLow_ |= static_cast<uint8_t>(result->forcedError & kStickyLow);
  } else if (!result->acked) {
    statusLow_ |= kNoAnswer;
  }
  if (result->hasData) {
    regs_[kData0] = result->data0;
    regs_[kData1] = result->data1;
  }
}

uint8_t SisSmbusHost::Register(uint8_t reg) {
  Settle();
  switch (reg) {
    case kStatusLow: return static_cast<uint8_t>(statusLow_ | (engine_.Busy() ? kBusy : 0));
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
