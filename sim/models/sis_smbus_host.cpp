#include "sim/models/sis_smbus_host.h"

#include "sim/board.h"

namespace sim {

namespace {

constexpr uint8_t kAcpiBaseWord = 0x90;
constexpr uint8_t kAcpiControl = 0x40;
constexpr uint8_t kAcpiEnable = 0x80;

}  // namespace

PciIoDecode SisSmbusHost::Decode(uint8_t bus, uint8_t device, uint8_t function) {
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = kAcpiBaseWord,
          .baseMask = kAcpiBaseMask,
          .blockOffset = kPairOffset,
          .size = kPairSize,
          .enables = {{kPciCommandRegister, kPciCommandIoSpace}, {kAcpiControl, kAcpiEnable}}};
}

SmbusHostModel* InstallSisSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  return &PlaceHost<SisSmbusHost>(machine, hostSpec.decode,
                                  InstallModulesBus(hostSpec, machine, models));
}

void SisSmbusHost::Settle() {
  if (StickyStatusHost::Settle()) regs_[kControlLow] &= static_cast<uint8_t>(~kStart);
}

uint8_t* SisSmbusHost::Plain(uint8_t reg) {
  switch (reg) {
    case kAddress: return &address_;
    case kCommand: return &command_;
    case kData0: return &data0_;
    case kData1: return &data1_;
    default: return reg < regs_.size() ? &regs_[reg] : nullptr;
  }
}

uint8_t SisSmbusHost::Register(uint8_t reg) {
  Settle();
  switch (reg) {
    case kStatusLow: return status_;
    case kStatusHigh: return statusHigh_;
    default: {
      const uint8_t* plain = Plain(reg);
      return plain != nullptr ? *plain : 0x00;
    }
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
    case kStatusLow: ClearStatus(value); break;
    case kStatusHigh: statusHigh_ &= static_cast<uint8_t>(~value); break;
    case kControlLow: {
      if (engine_.Busy()) {
        // A running transfer keeps its start bit; the rest is taken.
        regs_[kControlLow] = static_cast<uint8_t>(value | (regs_[kControlLow] & kStart));
        break;
      }
      regs_[kControlLow] = static_cast<uint8_t>(value & ~kStart);
      if ((value & kStart) != 0 &&
          Start(value & kProtocolMask, kProtocolByteData, kProtocolWordData)) {
        regs_[kControlLow] |= kStart;
      }
      break;
    }
    default:
      if (uint8_t* plain = Plain(index_)) *plain = value;
      break;
  }
}

}  // namespace sim
