#include "smbus/amd.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"
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

void ReleaseDevice(void*) {}

constexpr SmbusOps kOps = {.Transfer = &Transfer, .ReleaseDevice = &ReleaseDevice};

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, const ChipDescriptor& chip) {
  if (!host_status::UsableIoBase(ioBase, kHostCommand)) return -1;
  InstallOps(controller, reinterpret_cast<void*>(static_cast<uintptr_t>(ioBase)), kOps, chip);
  // A cycle under way is firmware's: its end is left for it to see.
  if (!host_status::StillBusy(kStatusBits, PortReadWord(Port(ioBase, kGlobalStatus)))) {
    ResetStatus(ioBase);
  }
  return 0;
}

// The nForce's base by its range at word 0x14: bits 15-2 of an I/O range,
// counted back by the 0xE0 the register offsets start at; 0 when the word
// holds no I/O range.
uint32_t NforceRangeBase(PciLocation function) {
  const uint32_t range = PciReadConfigField(function, kNforceSmbusRange) & 0xFFFFu;
  if ((range & kIoRangeFlag) == 0 || (range & kNforceRangeMask) == 0) return 0;
  return (range & kNforceRangeMask) - kGlobalStatus;
}

// `rowBase`: the base discovery read from the row's register `rowRegister`.
int32_t AcquireNforce(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                      uint32_t rowBase) {
  const uint8_t rowRegister = chip.BaseRegister;
  const uint32_t base14 = NforceRangeBase(function);
  const bool usable14 = host_status::UsableIoBase(base14, kHostCommand);
  bool answers = false;
  if (usable14) {
    SmbusController probe{};
    answers = AcquireDevice(&probe, base14, chip) == 0 && AnySpdSlotAnswers(&probe);
  }
  const bool use14 = answers || (usable14 && !host_status::UsableIoBase(rowBase, kHostCommand));
  const uint32_t base = use14 ? base14 : rowBase;
  if (AcquireDevice(controller, base, chip) != 0) return -1;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook("smbcore: nForce SMBus at %04X (I/O range at %02X)\n", base + kGlobalStatus,
                   uint32_t{use14 ? kNforceSmbusRange : rowRegister});
  }
  return 0;
}

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  if ((found.Chip->Quirks & kQuirkNforceRanges) != 0) {
    return AcquireNforce(controller, *found.Chip, found.Function, found.IoBase);
  }
  return AcquireDevice(controller, found.IoBase, *found.Chip);
}

// A host answers only while bit 7 of configuration byte 0x41 is set
// (SMBus I/O space enable, the AMD-756 family's and the AMD-8111's).
constexpr uint8_t kAmdBaseRegister = 0x58;  // the PM I/O base; the block at +0xE0
constexpr uint8_t kAmdEnableRegister = 0x41;
constexpr uint8_t kAmdIoEnable = 0x80;
constexpr ChipDescriptor kAmd756 = DrivenBy(0, {.BaseRegister = kAmdBaseRegister,
                                                .BaseMask = 0xFF00,
                                                .EnableRegister = kAmdEnableRegister,
                                                .EnableBits = kAmdIoEnable});
// The nForce's BAR points 0xE0 past the block the AMD layout counts from;
// the acquire takes the range at 0x14 first where the modules answer there.
constexpr ChipDescriptor kNforce = DrivenBy(0, {.BaseRegister = 0x10,
                                                .BaseMask = 0xFFF0,
                                                .BaseSubtract = kGlobalStatus,
                                                .Quirks = kQuirkNforceRanges});

// The AMD-756, -766 and -768's power-management function; the AMD-8111's
// ACPI function (its SMBus 2.0 controller is another interface); the
// nForce's SMBus function.
namespace ids {
constexpr uint16_t kAmd756 = 0x740B;
constexpr uint16_t kAmd766 = 0x7413;
constexpr uint16_t kAmd768 = 0x7443;
constexpr uint16_t kAmd8111 = 0x746B;
constexpr uint16_t kNforce = 0x01B4;
}  // namespace ids

constexpr ChipId kAmdIds[] = {{.DeviceId = ids::kAmd756},
                              {.DeviceId = ids::kAmd766},
                              {.DeviceId = ids::kAmd768},
                              {.DeviceId = ids::kAmd8111}};
constexpr ChipId kNforceIds[] = {{.DeviceId = ids::kNforce}};
constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorAmd, .Chip = &kAmd756, .Ids = kAmdIds, .IdCount = CountOf(kAmdIds)},
    {.VendorId = kVendorNvidia,
     .Chip = &kNforce,
     .Ids = kNforceIds,
     .IdCount = CountOf(kNforceIds)},
};

}  // namespace

constexpr SmbusBackend kAmdBackend = MakeBackend({
    .Name = "amd",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = 0,
});

uint16_t WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint16_t>(
      kStatusBits, [ioBase] { return PortReadWord(Port(ioBase, kGlobalStatus)); });
}

void ResetStatus(uint32_t ioBase) {
  const uint16_t value = PortReadWord(Port(ioBase, kGlobalStatus));
  PortWriteWord(Port(ioBase, kGlobalStatus), static_cast<uint16_t>(value | kStatusClearBits));
}

namespace {

uint16_t ReadStatus(uint32_t ioBase) {
  return PortReadWord(Port(ioBase, kGlobalStatus));
}

uint16_t WaitForCycleEnd(uint32_t ioBase) {
  return host_status::WaitUntilFinished<uint16_t>(kStatusBits,
                                                  [ioBase] { return ReadStatus(ioBase); });
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
    .Bits = kStatusBits,
    .CallerWaitedForIdle = false,
    .WaitIdle = &WaitForBusReady,
    .Program = &Program,
    .AfterPoll = nullptr,
    .ReadSettleMs = kReadSettleMs,
    .WriteSettleMs = kWriteSettleMs,
    .WaitDone = &WaitForCycleEnd,
    .LeftBits = kStatusErrorMask | kStatusDone,
    .ClearLeft = &ResetStatus,
    .Kill = &Abort};

// Starts the transaction and returns the status after it. A host that does
// not become idle is not started: its busy status is returned as it is.
uint16_t CallSMBus(uint32_t ioBase, uint16_t protocol, uint8_t slave, uint8_t command,
                   uint8_t isRead) {
  return smbus_host::RunTransaction(kSteps, ioBase,
                                    {static_cast<uint8_t>(protocol), slave, command, isRead, 0});
}

}  // namespace

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  const uint32_t base = BaseOf(context);
  const uint32_t hwCode = HwCodeOf(op);
  if (host_status::RefuseBusyHost(kStatusBits, status, WaitForBusReady(base), hwCode) != 0) {
    return -1;
  }
  const bool write = op == SmbusOp::WriteByte;
  if (write) PortWriteWord(Port(base, kHostData), static_cast<uint8_t>(*data));
  const uint16_t final =
      CallSMBus(base, op == SmbusOp::ReadWord ? kProtocolWordData : kProtocolByteData, slave,
                command, write ? 0 : 1);
  if (op == SmbusOp::ReadWord) *data = PortReadWord(Port(base, kHostData));
  if (op == SmbusOp::ReadByte) *data = static_cast<uint8_t>(PortReadWord(Port(base, kHostData)));
  ResetStatus(base);
  if (write) {
    PortWriteWord(Port(base, kHostData), kDataFiller);
    WaitForBusReady(base);
  }
  return host_status::JudgeFinalStatus(kStatusBits, status, final, hwCode);
}

}  // namespace amd
