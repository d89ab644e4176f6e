#include "sim/models/intel_smbus_host.h"

namespace sim {

IntelSmbusHost::IntelSmbusHost(Machine& machine, uint16_t ioBase, SmbusBus& bus,
                               uint32_t transactionMs)
    : machine_(machine), ioBase_(ioBase), bus_(bus), transactionMs_(transactionMs) {}

void IntelSmbusHost::SetStuckBusy(bool stuck, uint8_t errorBits) {
  // The error bits of a stuck controller go away with the fault.
  status_ &= static_cast<uint8_t>(~stuckBits_);
  stuckBusy_ = stuck;
  stuckBits_ = stuck ? static_cast<uint8_t>(errorBits & kClearable) : 0;
  if (stuck) status_ |= static_cast<uint8_t>(kBusy | stuckBits_);
  else if (!running_) status_ &= static_cast<uint8_t>(~kBusy);
}

uint8_t IntelSmbusHost::StatusRegister() {
  Settle();
  return status_;
}

void IntelSmbusHost::Settle() {
  if (!running_ || stuckBusy_ || machine_.NowMs() < doneAtMs_) return;
  running_ = false;
  status_ = static_cast<uint8_t>((status_ & ~kBusy) | resultStatus_);
  if (resultHasData_) {
    data0_ = result0_;
    data1_ = result1_;
  }
}

uint8_t IntelSmbusHost::Read8(uint16_t port) {
  Settle();
  switch (port - ioBase_) {
    case kStatus: return status_;
    case kControl: return static_cast<uint8_t>(control_ & ~kStart);
    case kCommand: return command_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return 0xFF;
  }
}

void IntelSmbusHost::Write8(uint16_t port, uint8_t value) {
  Settle();
  switch (port - ioBase_) {
    case kStatus:
      status_ &= static_cast<uint8_t>(~(value & kClearable));
      status_ |= stuckBits_;
      break;
    case kControl:
      control_ = value;
      if ((value & kStart) != 0) Start(value);
      break;
    case kCommand: command_ = value; break;
    case kAddress: address_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    default: break;
  }
}

void IntelSmbusHost::Start(uint8_t control) {
  if (running_ || stuckBusy_) return;  // the start of a busy controller is lost
  ++transactions_;
  const uint8_t slave = static_cast<uint8_t>(address_ >> 1);
  const bool read = (address_ & 1u) != 0;
  bool acked = false;
  resultHasData_ = false;
  switch (control & kProtocolMask) {
    case kProtocolByteData:
      if (read) {
        acked = SmbusReadByteData(bus_, slave, command_, result0_);
        result1_ = data1_;
        resultHasData_ = acked;
      } else {
        acked = SmbusWriteByteData(bus_, slave, command_, data0_);
      }
      break;
    case kProtocolWordData:
      if (read) {
        uint16_t word = 0;
        acked = SmbusReadWordData(bus_, slave, command_, word);
        result0_ = static_cast<uint8_t>(word & 0xFF);
        result1_ = static_cast<uint8_t>(word >> 8);
        resultHasData_ = acked;
      } else {
        // Word writes are not used by anything on these boards' buses.
        acked = false;
      }
      break;
    default: acked = false; break;
  }
  resultStatus_ = acked ? kInterrupt : kDeviceError;
  running_ = true;
  doneAtMs_ = machine_.NowMs() + transactionMs_;
  status_ |= kBusy;
}

}  // namespace sim
