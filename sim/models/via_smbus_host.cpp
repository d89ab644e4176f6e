#include "sim/models/via_smbus_host.h"

namespace sim {

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
    case kStatus: ClearStatus(value); break;
    case kControl: {
      control_ = value;
      if ((value & kStart) == 0) break;
      Start(value & kProtocolMask, kProtocolByteData, kProtocolWordData);
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
