#include "smbus/amd.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/register_transaction.h"

namespace amd {

namespace {

using host_status::HostStatusBits;

// A cycle we started has ended when busy is clear and cycle done or an
// error bit is set.
constexpr HostStatusBits kStatusBits = {kStatusBusyMask, 0, kStatusErrorMask, kStatusDone};
constexpr uint16_t kControlAbort = 0x0020;

constexpr uint16_t Port(uint32_t ioBase, uint16_t offset) {
  return static_cast<uint16_t>(ioBase + offset);
}

// The context is the I/O base itself, carried in a pointer-sized value.
uint32_t BaseOf(void* context) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context));
}

constexpr SmbusOps kOps = {&ReadByte, &ReadWord, &WriteByte, &ReleaseDevice, nullptr, nullptr};

}  // namespace

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase) {
  if (!host_status::UsableIoBase(ioBase, kHostCommand)) return -1;
  InstallOps(controller, reinterpret_cast<void*>(static_cast<uintptr_t>(ioBase)), kOps);
  // A cycle under way is firmware's: its end is left for it to see.
  if (!host_status::StillBusy(kStatusBits, PortReadWord(Port(ioBase, kGlobalStatus)))) {
    ResetStatus(ioBase);
  }
  return 0;
}

int32_t AcquireChip(SmbusController* controller, const ChipDescriptor&, PciLocation,
                    uint32_t ioBase) {
  return AcquireDevice(controller, ioBase);
}

uint16_t WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint16_t>(
      kStatusBits, [ioBase] { return PortReadWord(Port(ioBase, kGlobalStatus)); });
}

void ResetStatus(uint32_t ioBase) {
  const uint16_t value = PortReadWord(Port(ioBase, kGlobalStatus));
  PortWriteWord(Port(ioBase, kGlobalStatus), static_cast<uint16_t>(value | kStatusClearBits));
}

namespace {

uint16_t ReadStatus(uint32_t ioBase) { return PortReadWord(Port(ioBase, kGlobalStatus)); }

uint16_t WaitForCycleEnd(uint32_t ioBase) {
  return host_status::WaitUntilFinished<uint16_t>(kStatusBits, [ioBase] { return ReadStatus(ioBase); });
}

// A cycle we started that never ends: abort, a bounded wait for idle, the
// abort bit taken back and the status cleared.
void Abort(uint32_t ioBase) {
  const uint16_t control = PortReadWord(Port(ioBase, kGlobalControl));
  PortWriteWord(Port(ioBase, kGlobalControl), static_cast<uint16_t>(control | kControlAbort));
  host_status::WaitAfterKill<uint16_t>(kStatusBits, [ioBase] { return ReadStatus(ioBase); });
  PortWriteWord(Port(ioBase, kGlobalControl), static_cast<uint16_t>(control & ~kControlAbort));
  ResetStatus(ioBase);
}

void Program(uint32_t ioBase, const smbus_host::Transaction& t) {
  PortWriteWord(Port(ioBase, kHostAddress),
                static_cast<uint16_t>((t.Slave << 1) | (t.IsRead & 1u)));
  PortWriteByte(Port(ioBase, kHostCommand), t.Command);
  // Only the protocol field and the start bit change; the other control
  // bits are written back as they were read.
  const uint16_t control = PortReadWord(Port(ioBase, kGlobalControl));
  PortWriteWord(Port(ioBase, kGlobalControl),
                static_cast<uint16_t>((control & kControlKeepMask) | t.Protocol | kControlStart));
}

// Done and error bits someone else left are cleared before the start.
constexpr smbus_host::TransactionSteps<uint16_t> kSteps = {
    kStatusBits,   false,          &WaitForBusReady, &Program,
    nullptr,       kReadSettleMs,  kWriteSettleMs,   &WaitForCycleEnd,
    kStatusErrorMask | kStatusDone, &ResetStatus,    &Abort};

}  // namespace

uint16_t CallSMBus(uint32_t ioBase, uint16_t protocol, uint8_t slave, uint8_t command,
                   uint8_t isRead) {
  return smbus_host::RunTransaction(
      kSteps, ioBase, {static_cast<uint8_t>(protocol), slave, command, isRead, 0});
}

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value) {
  const uint32_t base = BaseOf(context);
  if (host_status::RefuseBusyHost(kStatusBits, status, WaitForBusReady(base),
                                  OpError::ReadByteFailed) != 0) {
    return -1;
  }
  const uint16_t final = CallSMBus(base, kProtocolByteData, slave, command, 1);
  *value = static_cast<uint8_t>(PortReadWord(Port(base, kHostData)) & 0xFF);
  ResetStatus(base);
  return host_status::JudgeFinalStatus(kStatusBits, status, final, OpError::ReadByteFailed);
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value) {
  const uint32_t base = BaseOf(context);
  if (host_status::RefuseBusyHost(kStatusBits, status, WaitForBusReady(base),
                                  OpError::ReadWordFailed) != 0) {
    return -1;
  }
  const uint16_t final = CallSMBus(base, kProtocolWordData, slave, command, 1);
  *value = PortReadWord(Port(base, kHostData));
  ResetStatus(base);
  return host_status::JudgeFinalStatus(kStatusBits, status, final, OpError::ReadWordFailed);
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value) {
  const uint32_t base = BaseOf(context);
  if (host_status::RefuseBusyHost(kStatusBits, status, WaitForBusReady(base),
                                  OpError::WriteByteFailed) != 0) {
    return -1;
  }
  PortWriteWord(Port(base, kHostData), value);
  const uint16_t final = CallSMBus(base, kProtocolByteData, slave, command, 0);
  ResetStatus(base);
  PortWriteWord(Port(base, kHostData), kDataFiller);
  WaitForBusReady(base);
  return host_status::JudgeFinalStatus(kStatusBits, status, final, OpError::WriteByteFailed);
}

void ReleaseDevice(void*) {}

}  // namespace amd
