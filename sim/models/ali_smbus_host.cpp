#include "sim/models/ali_smbus_host.h"

#include "sim/board.h"

namespace sim {

namespace {
constexpr uint8_t kAliBaseWordM1535 = 0xE2;  // the M1535's M7101 base register
constexpr uint8_t kBaseDword = 0x14, kLockDword = 0x58;
constexpr uint32_t kLockBits = 0x06u << 24;  // byte 0x5B, bits 1-2
}  // namespace

void InstallM7101BaseLock(PciFunction& m7101) {
  m7101.onRead = [](const PciFunction& f, uint8_t offset, uint32_t held) {
    return offset == kBaseDword && (f.Dword(kLockDword) & kLockBits) != 0 ? 0u : held;
  };
}

SmbusHostModel* InstallAliSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  const auto bridge = hostSpec.decode.baseRegister == kAliBaseWordM1535
                          ? AliSmbusHost::Bridge::M1535
                          : AliSmbusHost::Bridge::M15x3;
  auto& host = PlaceHost<AliSmbusHost>(machine, hostSpec.decode,
                                       InstallModulesBus(hostSpec, machine, models), bridge);
  if (bridge == AliSmbusHost::Bridge::M15x3) {
    const PciIoDecode& d = hostSpec.decode;
    if (PciFunction* m7101 = machine.FindPciFunction(d.bus, d.device, d.function)) {
      InstallM7101BaseLock(*m7101);
    }
  }
  host.Firmware().Configure(hostSpec.firmware);
  return &host;
}

void AliSmbusHost::Advance() {
  const uint64_t now = clock_.NowMs();
  if (Settle() && firmware_.takesCompletion.Due(now)) {
    status_ = 0;
    data0_ = kFirmwareData0;
    data1_ = kFirmwareData1;
  }
  if (!engine_.Busy() && status_ == 0 && firmware_.leavesError.Due(now)) status_ |= kDeviceError;
}

uint8_t AliSmbusHost::StatusRegister() {
  Advance();
  return static_cast<uint8_t>(status_ | (engine_.Busy() ? kBusy : kIdle));
}

uint8_t AliSmbusHost::Read8(uint16_t offset) {
  Advance();
  switch (offset) {
    case kStatus: return StatusRegister();
    case kType: return type_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    case kCommand: return command_;
    default: return 0x00;
  }
}

void AliSmbusHost::Write8(uint16_t offset, uint8_t value) {
  Advance();
  switch (offset) {
    case kStatus: ClearStatus(value); break;
    case kType:
      type_ = value;
      if ((value & kill_) != 0) {
        ++kills_;
        if (engine_.Running()) status_ |= kAborted;
        engine_.Cancel();
      }
      if ((value & timeoutReset_) != 0) {
        ++kills_;
        engine_.Abort();
      }
      break;
    case kStart:
      if (engine_.Busy()) break;  // the start of a busy host is lost
      if (firmware_.hangs.Due(clock_.NowMs())) engine_.HangNext();
      Start(type_ & kTypeMask, kTypeByteData, kTypeWordData);
      break;
    case kAddress: address_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    case kCommand: command_ = value; break;
    default: break;
  }
}

}  // namespace sim
