#include "smbus/via.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/register_transaction.h"

namespace via {

namespace {

using namespace smbus_host;

// Host status clearing: the busy, interrupt and error bits that read as set
// are written back as 1 (which clears the sticky ones), bits 5-7 as 0.
constexpr uint8_t kStatusClearKeep = kStatusBusy | kStatusEndBits;

constexpr host_status::HostStatusBits kStatusBits = {
    .BusyMask = kStatusBusy, .IdleValue = 0, .ErrorMask = kStatusErrorMask};

// Segment switching: general-purpose outputs at fixed ports, wired on the
// board to the switch in front of the second bank of modules.
constexpr uint32_t kSwitchedSegment = 1;  // the only segment that is switched
struct SegmentPort {
  uint16_t Port;
  uint8_t KeepMask;   // bits the read-modify-write keeps
  uint8_t SelectBits; // set on select; nothing is set on deselect
};
// Variant 0 (596): bit 3 of port 0xE44F.
constexpr SegmentPort kVariant0Switch = {0xE44F, 0xF7, 0x08};
// Variant 1 (686): bit 0 of port 0xE44D selects, bit 3 is cleared with it.
constexpr SegmentPort kVariant1Switch = {0xE44D, 0xF6, 0x01};

// The last register of the block this back-end uses.
constexpr uint32_t kBlockEnd = kData1;

void ModifyPort(uint16_t port, uint8_t andMask, uint8_t orMask) {
  const uint8_t value = PortReadByte(port);
  PortWriteByte(port, static_cast<uint8_t>((value & andMask) | orMask));
}

void SwitchSegment(const ViaContext* ctx, uint32_t segment, bool select) {
  if (segment != kSwitchedSegment) return;
  const SegmentPort* sw = nullptr;
  if (ctx->Variant == 0) sw = &kVariant0Switch;
  if (ctx->Variant == 1) sw = &kVariant1Switch;
  if (sw == nullptr) return;  // VT8231 and VT8233/5: no switch
  ModifyPort(sw->Port, sw->KeepMask, select ? sw->SelectBits : 0);
}

// The end of every transfer: status cleared, then the verdict on the final
// status, where a host still busy counts as failed.
int32_t Finish(uint32_t ioBase, OpStatus* status, uint8_t finalStatus, uint32_t hwCode) {
  ResetStatus(ioBase);
  return host_status::JudgeFinalStatus(kStatusBits, status, finalStatus, hwCode);
}

uint32_t BaseOf(void* context) { return static_cast<ViaContext*>(context)->IoBase; }

constexpr SmbusOps kOps = {&ReadByte,      &ReadWord,      &WriteByte,
                           &ReleaseDevice, &SelectSegment, &DeselectSegment};

}  // namespace

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant) {
  if (!host_status::UsableIoBase(ioBase, kBlockEnd)) return -1;
  auto* ctx = static_cast<ViaContext*>(PoolAlloc(sizeof(ViaContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Variant = variant;
  InstallOps(controller, ctx, kOps);
  // A transfer under way is firmware's: its end is left for it to see.
  if (!host_status::StillBusy(kStatusBits, PortReadByte(Port(ioBase, kHostStatus)))) {
    ResetStatus(ioBase);
  }
  return 0;
}

int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation,
                    uint32_t ioBase) {
  const int32_t variant = chip.Segments == SegmentSwitch::Gpo596   ? 0
                          : chip.Segments == SegmentSwitch::Gpo686 ? 1
                                                                   : 3;
  return AcquireDevice(controller, ioBase, variant);
}

void ResetStatus(uint32_t ioBase) { WriteBackStatus(ioBase, kStatusClearKeep, 0); }

namespace {

// The slave address before the command.
void Program(uint32_t ioBase, const Transaction& t) {
  PortWriteByte(Port(ioBase, kSlaveAddress), AddressByte(t.Slave, t.IsRead));
  PortWriteByte(Port(ioBase, kHostCommand), t.Command);
  PortWriteByte(Port(ioBase, kHostControl), static_cast<uint8_t>(t.Protocol | kControlStart));
}

// Bit 1 of the status is unnamed on VIA: busy clear ends a transfer. One
// still running after the poll limit is killed.
constexpr TransactionSteps<uint8_t> kSteps = {
    kStatusBits,   false,          &WaitForBusReady, &Program,       nullptr,
    kReadSettleMs, kWriteSettleMs, &WaitForBusReady, kStatusEndBits, &ClearEndBits,
    &KillTransfer};

}  // namespace

uint8_t CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                  uint8_t isRead) {
  return RunTransaction(kSteps, ioBase, {protocol, slave, command, isRead, 0});
}

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value) {
  const uint32_t base = BaseOf(context);
  WaitForBusReady(base);
  const uint8_t final = CallSMBus(base, kProtocolByteData, slave, command, 1);
  *value = PortReadByte(Port(base, kData0));
  return Finish(base, status, final, OpError::ReadByteFailed);
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value) {
  const uint32_t base = BaseOf(context);
  WaitForBusReady(base);
  const uint8_t final = CallSMBus(base, kProtocolWordData, slave, command, 1);
  const uint8_t low = PortReadByte(Port(base, kData0));
  const uint8_t high = PortReadByte(Port(base, kData1));
  *value = static_cast<uint16_t>(low | (high << 8));
  return Finish(base, status, final, OpError::ReadWordFailed);
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value) {
  const uint32_t base = BaseOf(context);
  WaitForBusReady(base);
  PortWriteByte(Port(base, kData0), value);
  const uint8_t final = CallSMBus(base, kProtocolByteData, slave, command, 0);
  ResetStatus(base);
  WaitForBusReady(base);
  return host_status::JudgeFinalStatus(kStatusBits, status, final, OpError::WriteByteFailed);
}

void ReleaseDevice(void* context) { PoolFree(context); }

void SelectSegment(void* context, uint32_t segment) {
  SwitchSegment(static_cast<ViaContext*>(context), segment, true);
}

void DeselectSegment(void* context, uint32_t segment) {
  SwitchSegment(static_cast<ViaContext*>(context), segment, false);
}

}  // namespace via
