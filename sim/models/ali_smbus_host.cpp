#include "sim/models/ali_smbus_host.h"

#include "sim/board.h"

namespace sim {

SmbusHostModel* InstallAliSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  return &PlaceHost<AliSmbusHost>(machine, hostSpec.decode, InstallModulesBus(hostSpec, machine, models));
}

uint8_t AliSmbusHost::StatusRegister() {
  Settle();
  return static_cast<uint8_t>(status_ | (engine_.Busy() ? kBusy : kIdle));
}

uint8_t AliSmbusHost::Read8(uint16_t offset) {
  Settle();
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
  Settle();
  switch (offset) {
    case kStatus: ClearStatus(value); break;
    case kType: type_ = value; break;
    case kStart: Start(type_ & kTypeMask, kTypeByteData, kTypeWordData); break;
    case kAddress: address_ = value; break;
    case kData0: data0_ = value; break;
    case kData1: data1_ = value; break;
    case kCommand: command_ = value; break;
    default: break;
  }
}

}  // namespace sim
