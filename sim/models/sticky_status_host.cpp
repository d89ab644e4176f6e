#include "sim/models/sticky_status_host.h"

namespace sim {

bool StickyStatusHost::Settle() {
  const auto result = engine_.Settle();
  if (!result) return false;
  uint8_t bits = bits_.always;
  if (result->forcedError != 0) {
    bits |= static_cast<uint8_t>(result->forcedError & bits_.sticky);
  } else {
    bits |= result->acked ? bits_.done : bits_.noAnswer;
  }
  status_ |= bits;
  if (result->hasData) {
    data0_ = result->data0;
    data1_ = result->data1;
  }
  return true;
}

bool StickyStatusHost::Start(uint8_t field, uint8_t byteData, uint8_t wordData, uint8_t byte) {
  return engine_.Start(field == byte       ? HostProtocol::Byte
                       : field == byteData ? HostProtocol::ByteData
                       : field == wordData ? HostProtocol::WordData
                                           : HostProtocol::Unsupported,
                       address_, command_, data0_);
}

}  // namespace sim
