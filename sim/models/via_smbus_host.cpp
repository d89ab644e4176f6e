#include "sim/models/via_smbus_host.h"

namespace sim {

void ViaSmbusHost::Settle() {
  const auto result = engine_.Settle();
  if (!result) return;
  if (result->forcedError != 0) {
    status_ |= static_cast<uint8_t>(result->forcedError & kSticky);
  } else {
    status_ |= result->acked ? kDone : kDeviceError;
  }
  if (result->hasData) {
    data0_ = result->data0;
    data1_ = result->data1;
  }
}

uint8_t ViaSmbusHost::StatusRegister() {
  Settle();
  return static_cast<uint8_t>(status_ | (engine_.Busy() ? kBusy : 0));
}

uint8_t ViaSmbusHost::Read8(uint16_t offset) {
  Settle();
  switch (offset) {
    case kStatus: return StatusRegister();
    case kControl: return static_cast<uint8_t>(control_ & ~kStart);
    case kCommand: return command_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return 0x00;
  }
}

void ViaSmbusHost::Write8(uint16_t offset, uint8_t value) {
  Settle();
  switch (offset) {
    case kStatus: status_ &= static_cast<uint8_t>(~(value & kSticky)); break;
    case kControl: {
      control_ = value;
      if ((value & kStart) == 0) break;
      const uint8_t protocol = value & kProtocolMask;
      engine_.Start(protocol == kProtocolByteData   ? HostProtocol::ByteData
                    : protocol == kProtocolWordData ? HostProtocol::WordData
                                                    : HostProtocol::Unsupported,
                    address_, command_, data0_);
      break;
    }
    case kCommand: command_ = value; break;
    case kAddress: address_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    default: break;
  }
}

}  // namespace sim
