#include "sim/models/sis630_smbus_host.h"

#include "sim/board.h"

namespace sim {

PciIoDecode Sis630SmbusHost::Decode(uint8_t bus, uint8_t device, uint8_t function,
                                    uint16_t offset) {
  // The ACPI block is 128 ports on the 630/730, 256 where the SMBus block
  // sits at +0xE0; its base is aligned to its size.
  const uint32_t mask = offset + kBlockSize > 0x80 ? 0xFF00 : 0xFF80;
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = kAcpiBaseWord,
          .baseMask = mask,
          .blockOffset = offset,
          .size = kBlockSize,
          .enables = {{kAcpiControl, kAcpiDecode}}};
}

SmbusHostModel* InstallSis630SmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  auto& host = PlaceHost<Sis630SmbusHost>(machine, hostSpec.decode,
                                          InstallModulesBus(hostSpec, machine, models),
                                          hostSpec.firmware.leftHostControl);
  host.Firmware().Configure(hostSpec.firmware);
  return &host;
}

void Sis630SmbusHost::Advance() {
  const uint64_t now = clock_.NowMs();
  if (Settle() && firmware_.takesCompletion.Due(now)) {
    // SMM read and cleared the status, and its own sensor read replaced
    // the data registers.
    status_ &= static_cast<uint8_t>(~kSticky);
    data0_ = kFirmwareData0;
    data1_ = kFirmwareData1;
  }
  if (!engine_.Busy() && (status_ & kSticky) == 0 && firmware_.leavesError.Due(now)) {
    status_ |= kDeviceError;
  }
}

uint8_t Sis630SmbusHost::StatusRegister() {
  Advance();
  return static_cast<uint8_t>(status_ | latched_);
}

uint8_t Sis630SmbusHost::ControlRegister() {
  Advance();
  return static_cast<uint8_t>(control_ | (engine_.Busy() ? kHostBusy : 0) |
                              (slaveBusy_ ? kSlaveBusy : 0));
}

uint8_t Sis630SmbusHost::Read8(uint16_t offset) {
  Advance();
  switch (offset) {
    case kStatus: return StatusRegister();
    case kControl: return ControlRegister();
    case kHostControl: return static_cast<uint8_t>(hostControl_ & ~(kStart | kKill));
    case kAddress: return address_;
    case kCommand: return command_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return offset < plain_.size() ? plain_[offset] : 0x00;
  }
}

void Sis630SmbusHost::Write8(uint16_t offset, uint8_t value) {
  Advance();
  switch (offset) {
    case kStatus: ClearStatus(value); break;
    case kControl: control_ = static_cast<uint8_t>(value & ~(kHostBusy | kSlaveBusy)); break;
    case kHostControl:
      hostControl_ = value;
      if ((value & kKill) != 0) {
        engine_.Cancel();  // a host stuck busy stays so
        break;
      }
      if ((value & kStart) != 0) Start(value);
      break;
    case kAddress: address_ = value; break;
    case kCommand: command_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    default:
      if (offset < plain_.size()) plain_[offset] = value;
      break;
  }
}

void Sis630SmbusHost::Start(uint8_t hostControl) {
  if (engine_.Busy() || slaveBusy_) {
    ++startsWhileBusy_;
    return;
  }
  if ((control_ & kTimeoutEnable) != 0) ++startsWithTimeout_;
  if (firmware_.hangs.Due(clock_.NowMs())) engine_.HangNext();
  StickyStatusHost::Start(hostControl & kSizeMask, kSizeByteData, kSizeWordData, kSizeByte);
}

}  // namespace sim
