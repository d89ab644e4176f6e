#include "sim/models/ali1563_smbus_host.h"

#include "sim/board.h"

namespace sim {

namespace {

constexpr uint8_t kBaseWord = 0x80;
constexpr uint8_t kEnables = 0x03;  // I/O decode and host, in the base word's low byte

}  // namespace

PciIoDecode Ali1563SmbusHost::Decode(uint8_t bus, uint8_t device, uint8_t function) {
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = kBaseWord,
          .baseMask = 0xFFF0,
          .size = kBlockSize,
          .enables = {{kBaseWord, kEnables}}};
}

SmbusHostModel* InstallAli1563SmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  return &PlaceHost<Ali1563SmbusHost>(
      machine, Ali1563SmbusHost::Decode(hostSpec.pciBus, hostSpec.pciDevice, hostSpec.pciFunction),
      InstallModulesBus(hostSpec, machine, models), hostSpec.transactionMs);
}

void Ali1563SmbusHost::SettleBus() {
  if (!Settle()) return;
  if ((status_ & kBusError) != 0) busHeld_ = true;
  if (!doneLatches_) status_ &= static_cast<uint8_t>(~kDone);
}

uint8_t Ali1563SmbusHost::StatusRegister() {
  SettleBus();
  return static_cast<uint8_t>(status_ | (engine_.Busy() ? kBusy : 0));
}

uint8_t Ali1563SmbusHost::Read8(uint16_t offset) {
  SettleBus();
  switch (offset) {
    case kStatus: return StatusRegister();
    case kControl1: return static_cast<uint8_t>(control1_ & ~kBusReset);
    case kControl2: return static_cast<uint8_t>(control2_ & ~kStart);
    case kCommand: return command_;
    case kAddress: return address_;
    case kData0: return data0_;
    case kData1: return data1_;
    default: return 0x00;
  }
}

void Ali1563SmbusHost::Write8(uint16_t offset, uint8_t value) {
  SettleBus();
  switch (offset) {
    case kStatus:  // the kill, while its bit stays set, keeps failed standing
      ClearStatus((control2_ & kKill) != 0 ? static_cast<uint8_t>(value & ~kFailed) : value);
      break;
    case kControl1:
      control1_ = value;
      if ((value & kBusReset) != 0) busHeld_ = false;
      break;
    case kControl2: {
      control2_ = value;
      if ((value & kKill) != 0) {
        if (engine_.Busy()) {
          engine_.Abort();
          status_ |= kFailed;
        }
        break;
      }
      if ((value & kStart) == 0) break;
      if (busHeld_) engine_.FailNextWith(kBusError);
      Start(value & kSizeMask, kSizeByteData, kSizeWordData);
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
