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

namespace {

// The nForce's base by its range at word 0x14: bits 15-2 of an I/O range,
// counted back by the 0xE0 the register offsets start at; 0 when the word
// holds no I/O range.
uint32_t NforceRangeBase(PciLocation function) {
  const uint32_t range = PciReadConfigField(function, kNforceSmbusRange) & 0xFFFFu;
  if ((range & kIoRangeFlag) == 0 || (range & kNforceRangeMask) == 0) return 0;
  return (range & kNforceRangeMask) - kGlobalStatus;
}

// `rowBase`: the base discovery read from the row's register `rowRegister`.
int32_t AcquireNforce(SmbusController* controller, PciLocation function, uint8_t rowRegister,
                      uint32_t rowBase) {
  const uint32_t base14 = NforceRangeBase(function);
  const bool usable14 = host_status::UsableIoBase(base14, kHostCommand);
  bool answers = false;
  if (usable14) {
    SmbusController probe{};
    answers = AcquireDevice(&probe, base14) == 0 && AnySpdSlotAnswers(&probe);
  }
  const bool use14 = answers || (usable14 && !host_status::UsableIoBase(rowBase, kHostCommand));
  const uint32_t base = use14 ? base14 : rowBase;
  if (AcquireDevice(controller, base) != 0) return -1;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook("smbcore: nForce SMBus at %04X (I/O range at %02X)\n", base + kGlobalStatus,
                   uint32_t{use14 ? kNforceSmbusRange : rowRegister});
  }
  return 0;
}

}  // namespace

int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t ioBase) {
  if (chip.Model == kChipNforce) return AcquireNforce(controller, function, chip.BaseRegister, ioBase);
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
