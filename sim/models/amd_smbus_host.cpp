#include "sim/models/amd_smbus_host.h"

#include "sim/board.h"
#include "sim/models/smbus_segment.h"

namespace sim {

namespace {

constexpr uint8_t kAmdBaseRegister = 0x58;  // word: bits 15-8 are the base
constexpr uint32_t kAmdBaseMask = 0xFF00;
constexpr uint16_t kAmdBlockOffset = 0xE0;
constexpr uint8_t kAmdIoEnableByte = 0x41;
constexpr uint8_t kAmdIoEnableBit = 0x80;

}  // namespace

PciIoDecode AmdSmbusHost::AmdDecode(uint8_t bus, uint8_t device, uint8_t function) {
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = kAmdBaseRegister,
          .baseMask = kAmdBaseMask,
          .blockOffset = kAmdBlockOffset,
          .size = kBlockSize,
          .enables = {{kAmdIoEnableByte, kAmdIoEnableBit}}};
}

PciIoDecode AmdSmbusHost::NforceDecode(uint8_t bus, uint8_t device, uint8_t function, uint8_t bar) {
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = bar,
          .baseMask = kPciIoBarMask,
          .blockOffset = 0,
          .size = kBlockSize,
          .enables = {{kPciCommandRegister, kPciCommandIoSpace}}};
}

SmbusHostModel* InstallAmdSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  auto& host = PlaceHost<AmdSmbusHost>(
      machine, AmdSmbusHost::AmdDecode(hostSpec.pciBus, hostSpec.pciDevice, hostSpec.pciFunction),
      InstallModulesBus(hostSpec, machine, models), hostSpec.transactionMs);
  host.Firmware().Configure(hostSpec.firmware);
  return &host;
}

SmbusHostModel* InstallNforceSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  auto decode = [&hostSpec](uint8_t bar) {
    return AmdSmbusHost::NforceDecode(hostSpec.pciBus, hostSpec.pciDevice, hostSpec.pciFunction,
                                      bar);
  };
  const uint8_t spd = hostSpec.nforceSpdRange;
  auto& host = PlaceHost<AmdSmbusHost>(
      machine, decode(spd), InstallModulesBus(hostSpec, machine, models), hostSpec.transactionMs);
  host.Firmware().Configure(hostSpec.firmware);
  // The other range: a second host with nothing on its bus.
  PlaceHost<AmdSmbusHost>(machine, decode(spd == 0x10 ? 0x14 : 0x10), machine.Make<SmbusSegment>(),
                          hostSpec.transactionMs);
  return &host;
}

AmdSmbusHost::AmdSmbusHost(Machine& machine, SmbusBus& bus, uint32_t transactionMs)
    : machine_(machine), bus_(bus), transactionMs_(transactionMs) {}

uint16_t AmdSmbusHost::StatusRegister() {
  Settle();
  return ReadRegister(kStatus);
}

void AmdSmbusHost::Settle() {
  const uint64_t now = machine_.NowMs();
  if (running_ && !hung_ && now * 1000 >= doneAtUs_) {
    running_ = false;
    if (firmware_.takesCompletion.Due(now)) {
      data_ = static_cast<uint16_t>(kFirmwareData1 << 8 | kFirmwareData0);
    } else {
      status_ |= resultStatus_;
      if (resultHasData_) data_ = resultData_;
    }
  }
  if (!running_ && stuckBusy_ == 0 && (status_ & kWriteOneToClear) == 0 &&
      firmware_.leavesError.Due(now)) {
    status_ |= kProtocolError;
  }
}

uint16_t AmdSmbusHost::ReadRegister(uint16_t reg) {
  switch (reg) {
    case kStatus:
      return static_cast<uint16_t>(status_ | stuckBusy_ | (running_ ? kHostBusy | kBusBusy : 0));
    case kControl: return control_;
    case kAddress: return address_;
    case kData: return data_;
    case kCommand: return command_;
    default: return 0;
  }
}

void AmdSmbusHost::WriteRegister(uint16_t reg, uint16_t value, uint16_t lanes) {
  auto merge = [&](uint16_t old) {
    return static_cast<uint16_t>((old & ~lanes) | (value & lanes));
  };
  switch (reg) {
    case kStatus:
      // Done and error bits clear when written with 1; the busy bits are live.
      status_ &= static_cast<uint16_t>(~(value & lanes & kWriteOneToClear));
      break;
    case kControl: {
      const uint16_t written = merge(control_);
      control_ = static_cast<uint16_t>(written & ~kStart);
      if ((lanes & 0x00FF) == 0) break;
      if ((written & kAbort) != 0 && running_) {
        // The cycle under way ends at once, without its result.
        running_ = false;
        hung_ = false;
        status_ |= kAbortDone;
      }
      if ((written & kStart) != 0) Start();
      break;
    }
    case kAddress: address_ = merge(address_); break;
    case kData: data_ = merge(data_); break;
    case kCommand:
      if ((lanes & 0x00FF) != 0) command_ = static_cast<uint8_t>(value);
      break;
    default: break;
  }
}

uint8_t AmdSmbusHost::Read8(uint16_t offset) {
  Settle();
  const uint16_t reg = static_cast<uint16_t>(offset & ~1u);
  return static_cast<uint8_t>(ReadRegister(reg) >> (8 * (offset & 1u)));
}

void AmdSmbusHost::Write8(uint16_t offset, uint8_t value) {
  Settle();
  const unsigned shift = 8 * (offset & 1u);
  WriteRegister(static_cast<uint16_t>(offset & ~1u), static_cast<uint16_t>(value << shift),
                static_cast<uint16_t>(0xFF << shift));
}

uint16_t AmdSmbusHost::Read16(uint16_t offset) {
  if ((offset & 1u) != 0) return PortDevice::Read16(offset);
  Settle();
  return ReadRegister(offset);
}

void AmdSmbusHost::Write16(uint16_t offset, uint16_t value) {
  if ((offset & 1u) != 0) return PortDevice::Write16(offset, value);
  Settle();
  WriteRegister(offset, value, 0xFFFF);
}

void AmdSmbusHost::Start() {
  if (running_ || stuckBusy_ != 0) return;  // the start of a busy host is lost
  ++transactions_;
  running_ = true;
  hung_ = firmware_.hangs.Due(machine_.NowMs());
  const bool read = (address_ & 1u) != 0;
  const HostProtocol protocol = (control_ & kProtocolMask) == kProtocolWordData
                                    ? HostProtocol::WordData
                                    : HostProtocol::ByteData;
  doneAtUs_ = machine_.NowMs() * 1000 +
              (transactionMs_ != 0 ? uint64_t{transactionMs_} * 1000
                                   : HostEngine::TransferUs(protocol, read, kSlowestSmbusHz));
  resultHasData_ = false;
  if (failNext_ != 0) {
    resultStatus_ = failNext_;
    failNext_ = 0;
    return;
  }
  const uint8_t slave = static_cast<uint8_t>((address_ >> 1) & 0x7F);
  bool acked = false;
  switch (control_ & kProtocolMask) {
    case kProtocolByteData:
      if (read) {
        uint8_t byte = 0;
        acked = SmbusReadByteData(bus_, slave, command_, byte);
        // A byte lands in the low half; the high half keeps what it held.
        resultData_ = static_cast<uint16_t>((data_ & 0xFF00) | byte);
        resultHasData_ = acked;
      } else {
        acked = SmbusWriteByteData(bus_, slave, command_, static_cast<uint8_t>(data_));
      }
      break;
    case kProtocolWordData:
      if (read) {
        acked = SmbusReadWordData(bus_, slave, command_, resultData_);
        resultHasData_ = acked;
      } else {
        acked = SmbusWriteWordData(bus_, slave, command_, data_);
      }
      break;
    default:
      // Quick, byte, process call and block cycles are not modelled; the
      // codes above 5 name no protocol. Either way the cycle ends in error.
      acked = false;
      break;
  }
  resultStatus_ = acked ? kCycleDone : kProtocolError;
}

}  // namespace sim
