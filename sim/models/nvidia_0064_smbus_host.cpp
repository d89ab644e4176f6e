#include "sim/models/nvidia_0064_smbus_host.h"

#include "sim/board.h"
#include "sim/models/smbus_segment.h"

namespace sim {

PciIoDecode Nvidia0064SmbusHost::Decode(uint8_t bus, uint8_t device, uint8_t function,
                                        uint8_t baseRegister) {
  return {.bus = bus,
          .device = device,
          .function = function,
          .baseRegister = baseRegister,
          .baseMask = kPciIoBarMask,
          .blockOffset = 0,
          .size = kBlockSize,
          .enables = {{kPciCommandRegister, kPciCommandIoSpace}, {baseRegister, kPciIoBar}}};
}

bool Nvidia0064SmbusHost::HasAbort(uint16_t deviceId) {
  return deviceId == 0x0064 || deviceId == 0x0264 || deviceId == 0x0368;
}

namespace {

uint16_t SmbusDeviceId(const Board& board) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  for (const PciFunctionSpec& f : board.pci) {
    if (f.bus == hostSpec.pciBus && f.device == hostSpec.pciDevice &&
        f.function == hostSpec.pciFunction) {
      return f.deviceId;
    }
  }
  return 0;
}

}  // namespace

SmbusHostModel* InstallNvidia0064SmbusHost(const Board& board, Machine& machine,
                                           BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  auto& host = PlaceHost<Nvidia0064SmbusHost>(
      machine,
      Nvidia0064SmbusHost::Decode(hostSpec.pciBus, hostSpec.pciDevice, hostSpec.pciFunction),
      InstallModulesBus(hostSpec, machine, models), hostSpec.transactionMs);
  host.Firmware().Configure(hostSpec.firmware);
  return &host;
}

SmbusHostModel* InstallNvidiaMcpSmbusHost(const Board& board, Machine& machine,
                                          BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  SmbusBus& modules = InstallModulesBus(hostSpec, machine, models);
  SmbusHostModel* spd = nullptr;
  for (uint8_t channel = 0; channel < 2; ++channel) {
    const bool modulesHere = channel + 1 == hostSpec.spdChannel;
    auto& host = PlaceHost<Nvidia0064SmbusHost>(
        machine,
        Nvidia0064SmbusHost::Decode(hostSpec.pciBus, hostSpec.pciDevice, hostSpec.pciFunction,
                                    hostSpec.channelBaseRegisters[channel]),
        modulesHere ? modules : machine.Make<SmbusSegment>(), hostSpec.transactionMs);
    if (modulesHere) host.Firmware().Configure(hostSpec.firmware);
    if (!Nvidia0064SmbusHost::HasAbort(SmbusDeviceId(board))) host.RemoveAbort();
    if (modulesHere) spd = &host;
  }
  return spd;
}

Nvidia0064SmbusHost::Nvidia0064SmbusHost(Machine& machine, SmbusBus& bus, uint32_t transactionMs)
    : machine_(machine), bus_(bus), transactionMs_(transactionMs) {}

uint8_t Nvidia0064SmbusHost::StatusRegister() {
  Settle();
  return status_;
}

void Nvidia0064SmbusHost::Settle() {
  if (!running_ || stuck_ || hung_ || machine_.NowMs() < doneAtMs_) return;
  running_ = false;
  status_ = resultStatus_;
  for (uint8_t i = 0; i < resultBytes_; ++i) data_[i] = result_[i];
}

uint8_t Nvidia0064SmbusHost::Read8(uint16_t offset) {
  Settle();
  if (offset >= kData && offset < kData + kDataBytes) return data_[offset - kData];
  switch (offset) {
    case kProtocol: return protocol_;
    case kStatus: ++statusReads_; return status_;
    case kAddress: return address_;
    case kCommand: return command_;
    case kCount: return count_;
    case kAbortStatus: return hasAbort_ ? abortStatus_ : 0;
    case kControl: return hasAbort_ ? static_cast<uint8_t>(control_ & ~kAbort) : 0;
    default: return 0;  // the alarm registers are not modelled
  }
}

void Nvidia0064SmbusHost::Write8(uint16_t offset, uint8_t value) {
  Settle();
  if (offset >= kData && offset < kData + kDataBytes) {
    data_[offset - kData] = value;
    return;
  }
  if (!hasAbort_ && (offset == kAbortStatus || offset == kControl)) {
    ++abortWritesWithout_;  // whatever the part keeps there, it is not ours to write
    return;
  }
  switch (offset) {
    case kProtocol: Start(value); break;
    case kAddress: address_ = value; break;
    case kCommand: command_ = value; break;
    case kCount: count_ = value; break;
    case kAbortStatus: abortStatus_ = static_cast<uint8_t>(abortStatus_ & ~value); break;
    case kControl:
      control_ = value;
      if ((value & kAbort) != 0 && running_ && !stuck_) {
        running_ = false;
        hung_ = false;
        abortStatus_ |= kAborted;
        ++aborts_;
      }
      break;
    default: break;  // the status is read-only
  }
}

void Nvidia0064SmbusHost::Start(uint8_t protocol) {
  if (running_) return;  // a cycle is under way: the new one is lost
  protocol_ = protocol;
  status_ = 0;
  ++transactions_;
  running_ = true;
  doneAtMs_ = machine_.NowMs() + transactionMs_;
  hung_ = firmware_.hangs.Due(machine_.NowMs());
  resultBytes_ = 0;
  if (failNext_ != 0) {
    resultStatus_ = static_cast<uint8_t>(kDone | failNext_);
    failNext_ = 0;
    return;
  }
  const uint8_t slave = static_cast<uint8_t>(address_ >> 1);  // bit 0 is not the direction
  const bool read = (protocol & kRead) != 0;
  bool acked = false;
  switch (protocol & static_cast<uint8_t>(~kRead)) {
    case kProtocolByteData:
      if (read) {
        acked = SmbusReadByteData(bus_, slave, command_, result_[0]);
        resultBytes_ = acked ? 1 : 0;
      } else {
        acked = SmbusWriteByteData(bus_, slave, command_, data_[0]);
      }
      break;
    case kProtocolWordData:
      if (read) {
        uint16_t word = 0;
        acked = SmbusReadWordData(bus_, slave, command_, word);
        result_ = {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
        resultBytes_ = acked ? 2 : 0;
      } else {
        acked = SmbusWriteWordData(bus_, slave, command_,
                                   static_cast<uint16_t>(data_[0] | data_[1] << 8));
      }
      break;
    default:
      // Quick, byte, block cycles and packet error codes are not modelled.
      resultStatus_ = static_cast<uint8_t>(kDone | kResultUnsupported);
      return;
  }
  // Whichever byte went unacknowledged, the model reports the address code.
  resultStatus_ = static_cast<uint8_t>(kDone | (acked ? kResultOk : kResultNoAcknowledge));
}

}  // namespace sim
