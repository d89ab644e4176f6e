#include "sim/models/piix4_block.h"

namespace sim {

namespace {

constexpr uint32_t kAddressFrameBits = 1 + 9;  // START, then the address and its acknowledge

}  // namespace

Piix4Block::Piix4Block(const Machine& machine, SmbusBus& bus, uint32_t busHz, uint8_t clearable)
    : StickyStatusHost(
          machine, bus, 0,
          {.done = kInterrupt, .noAnswer = kDeviceError, .always = 0, .sticky = clearable}),
      clock_(machine) {
  engine_.SetBusClockHz(busHz);
}

void Piix4Block::Advance() {
  BeforeAccess();
  const uint64_t now = clock_.NowMs();
  if (lagging_ && now >= lagEndsMs_) {
    lagging_ = false;
    Start();
  }
  if (Settle() && firmware_.takesCompletion.Due(now)) {
    status_ &= static_cast<uint8_t>(~kClearable);
    data0_ = kFirmwareData0;
    data1_ = kFirmwareData1;
  }
  if (!engine_.Busy() && !lagging_ && (status_ & kClearable) == 0 &&
      firmware_.leavesError.Due(now)) {
    status_ |= kDeviceError;
  }
}

uint8_t Piix4Block::StatusRegister() {
  Advance();
  return static_cast<uint8_t>(status_ | stuckBits_ | (engine_.Busy() ? kBusy : 0));
}

void Piix4Block::SetStuckBusy(bool stuck, uint8_t errorBits) {
  std::lock_guard<std::recursive_mutex> guard(clock_.Lock());
  engine_.SetStuckBusy(stuck);
  stuckBits_ = stuck ? static_cast<uint8_t>(errorBits & kErrors) : 0;
}

uint8_t Piix4Block::Read8(uint16_t offset) {
  Advance();
  switch (offset) {
    case kStatus: return StatusRegister();
    case kControl: return static_cast<uint8_t>(control_ & ~(kStart | kKill));
    case kCommand: return command_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return 0x00;
  }
}

void Piix4Block::Write8(uint16_t offset, uint8_t value) {
  Advance();
  switch (offset) {
    case kStatus: ClearStatus(value); break;
    case kControl:
      control_ = value;
      if ((value & kKill) != 0 && (engine_.Running() || lagging_)) {
        engine_.Cancel();
        lagging_ = false;
        status_ |= kFailed;
      }
      if ((value & kStart) == 0 || (value & kKill) != 0) break;
      if (firmware_.busyLagMs != 0 && !engine_.Busy() && !lagging_) {
        lagging_ = true;
        lagEndsMs_ = clock_.NowMs() + firmware_.busyLagMs;
        break;
      }
      Start();
      break;
    case kCommand: command_ = value; break;
    case kAddress: address_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    default: break;
  }
}

void Piix4Block::Start() {
  if (engine_.Busy()) return;  // the start of a busy controller is lost
  if (firmware_.hangs.Due(clock_.NowMs())) engine_.HangNext();
  if (Refuses(address_)) {
    engine_.StartRefused(kDeviceError, kAddressFrameBits);
    return;
  }
  StickyStatusHost::Start(control_ & kProtocolMask, kProtocolByteData, kProtocolWordData,
                          kProtocolByte);
}

}  // namespace sim
