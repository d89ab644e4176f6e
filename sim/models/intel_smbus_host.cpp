#include "sim/models/intel_smbus_host.h"

namespace sim {

namespace {

constexpr uint32_t kFrameBits = 9;  // eight data bits and the acknowledge
constexpr uint32_t kConditionBits = 1;  // a START, repeated START or STOP

constexpr uint8_t kSpdFirst = 0x50, kSpdLast = 0x57;

}  // namespace

IchGeneration IchGenerationOf(uint16_t deviceId) {
  // The 8-series and 9-series PCH (Lynx Point, Wildcat Point, and -LP).
  switch (deviceId) {
    case 0x8C22: case 0x9C22: case 0x8CA2: case 0x9CA2: return {.spdWriteLock = true};
    default: return {};
  }
}

void IntelSmbusHost::SetDecode(const PciIoDecode& decode, IchGeneration generation) {
  decode_ = decode;
  if (family_ != IntelHostFamily::Ich || !generation.spdWriteLock) return;
  PciFunction* f = machine_.FindPciFunction(decode.bus, decode.device, decode.function);
  if (f == nullptr) return;
  // Once set, the write-disable bit no longer takes writes.
  auto lock = [](PciFunction& fn) {
    if ((fn.Dword(kHostConfig) & kSpdWriteDisable) != 0) {
      fn.writeMask[kHostConfig / 4] &= ~uint32_t{kSpdWriteDisable};
    }
  };
  lock(*f);
  f->onWrite = [lock](PciFunction& fn, uint8_t, uint32_t) { lock(fn); };
}

void IntelSmbusHost::HoldInUseUntil(uint64_t untilMs) {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  status_ |= kInUse;
  firmwareHoldsInUse_ = true;
  firmwareReleaseMs_ = untilMs;
}

uint8_t IntelSmbusHost::HostConfig() {
  const PciFunction* f = machine_.FindPciFunction(decode_.bus, decode_.device, decode_.function);
  return f == nullptr ? 0 : static_cast<uint8_t>(f->Dword(kHostConfig) & 0xFF);
}

IntelSmbusHost::IntelSmbusHost(Machine& machine, IntelHostFamily family, SmbusBus& bus)
    : machine_(machine),
      family_(family),
      bus_(bus),
      busHz_(family == IntelHostFamily::Ich ? kIchBusHz : kPiix4BusHz) {}

uint8_t IntelSmbusHost::Clearable() const {
  return family_ == IntelHostFamily::Ich ? kIchClearable : kPiix4Clearable;
}

uint16_t IntelSmbusHost::IoBase() const { return machine_.DecodedBase(decode_).value_or(0); }

void IntelSmbusHost::SetStuckBusy(bool stuck, uint8_t errorBits) {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  // The error bits of a stuck controller go away with the fault.
  status_ &= static_cast<uint8_t>(~stuckBits_);
  stuckBusy_ = stuck;
  stuckBits_ = stuck ? static_cast<uint8_t>(errorBits & (kDeviceError | kBusCollision | kFailed)) : 0;
  if (stuck) status_ |= static_cast<uint8_t>(kBusy | stuckBits_);
  else if (!running_) status_ &= static_cast<uint8_t>(~kBusy);
}

void IntelSmbusHost::RaiseAlert() {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  if (family_ == IntelHostFamily::Ich) status_ |= kSmbAlert;
}

uint8_t IntelSmbusHost::StatusRegister() {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  Settle();
  return status_;
}

uint32_t IntelSmbusHost::BitTimes(uint8_t protocol, bool read) {
  // Write: S, address, command, data, P. Read: S, address, command, Sr,
  // address, data (one byte, or two for a word), P.
  const uint32_t dataFrames = protocol == kProtocolWordData ? 2 : 1;
  if (!read) return 2 * kConditionBits + (2 + dataFrames) * kFrameBits;
  return 3 * kConditionBits + (3 + dataFrames) * kFrameBits;
}

void IntelSmbusHost::Settle() {
  if (firmwareHoldsInUse_ && machine_.NowMs() >= firmwareReleaseMs_) {
    firmwareHoldsInUse_ = false;
    status_ &= static_cast<uint8_t>(~kInUse);
  }
  if (!running_ || stuckBusy_ || machine_.NowMs() * 1000 < doneAtUs_) return;
  running_ = false;
  status_ = static_cast<uint8_t>((status_ & ~kBusy) | resultStatus_);
  if (resultHasData_) {
    data0_ = result0_;
    data1_ = result1_;
  }
}

uint8_t IntelSmbusHost::Read8(uint16_t offset) {
  Settle();
  switch (offset) {
    case kStatus: {
      const uint8_t value = status_;
      // ICH: the read that finds the semaphore free takes it.
      if (family_ == IntelHostFamily::Ich) status_ |= kInUse;
      return value;
    }
    case kControl: return static_cast<uint8_t>(control_ & ~(kStart | kKill));
    case kCommand: return command_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return 0xFF;
  }
}

void IntelSmbusHost::Write8(uint16_t offset, uint8_t value) {
  Settle();
  switch (offset) {
    case kStatus:
      status_ &= static_cast<uint8_t>(~(value & Clearable()));
      status_ |= stuckBits_;
      // Whoever writes the 1, the firmware's hold is over.
      if ((value & Clearable() & kInUse) != 0) firmwareHoldsInUse_ = false;
      break;
    case kControl:
      control_ = value;
      if ((value & kKill) != 0 && running_) {
        running_ = false;
        status_ = static_cast<uint8_t>((status_ & ~kBusy) | kFailed);
      }
      if ((value & kStart) != 0 && (value & kKill) == 0) Start(value);
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
  const uint8_t protocol = control & kProtocolMask;
  bool acked = false;
  resultHasData_ = false;
  const uint8_t hostConfig = family_ == IntelHostFamily::Ich ? HostConfig() : 0;
  const bool refused = (hostConfig & kI2cMode) != 0 ||
                       ((hostConfig & kSpdWriteDisable) != 0 && !read && slave >= kSpdFirst &&
                        slave <= kSpdLast);
  if (refused) {
    // Nothing reaches the bus: the address frame is where the host stops.
    ++((hostConfig & kI2cMode) != 0 ? refusedI2c_ : refusedSpdWrites_);
    resultStatus_ = kDeviceError;
    running_ = true;
    doneAtUs_ = machine_.NowMs() * 1000 +
                (busHz_ == 0 ? 0
                             : (uint64_t{kConditionBits + kFrameBits} * 1000000 + busHz_ - 1) /
                                   busHz_);
    status_ |= kBusy;
    return;
  }
  switch (protocol) {
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
    // The block protocols (the only ones that set BYTE_DONE) and the rest
    // are not modelled: they end in a device error.
    default: acked = false; break;
  }
  resultStatus_ = acked ? kInterrupt : kDeviceError;
  running_ = true;
  const uint64_t micros =
      busHz_ == 0 ? 0 : (uint64_t{BitTimes(protocol, read)} * 1000000 + busHz_ - 1) / busHz_;
  doneAtUs_ = machine_.NowMs() * 1000 + micros;
  status_ |= kBusy;
}

}  // namespace sim
