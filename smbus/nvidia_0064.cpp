#include "smbus/nvidia_0064.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"

namespace {

using host_status::HostStatusBits;

// A transaction has ended when the done bit is set; it succeeded when the
// result bits are 0 as well.
constexpr HostStatusBits kStatusBits = {kNvStatusDone, kNvStatusDone, kNvStatusErrorMask};

constexpr uint32_t kLastRegister = kNvControl;

int32_t PortReadRegister(uint32_t ioBase, uint8_t reg, uint8_t* value) {
  *value = PortReadByte(static_cast<uint16_t>(ioBase + reg));
  return 0;
}

int32_t PortWriteRegister(uint32_t ioBase, uint8_t reg, uint8_t value) {
  PortWriteByte(static_cast<uint16_t>(ioBase + reg), value);
  return 0;
}

uint8_t ReadRegister(const NvContext* ctx, uint8_t reg) {
  uint8_t value = 0;
  ctx->ReadRegister(ctx->IoBase, reg, &value);
  return value;
}

void WriteRegister(const NvContext* ctx, uint8_t reg, uint8_t value) {
  ctx->WriteRegister(ctx->IoBase, reg, value);
}

// Before a transaction: a host left running by the last one must have
// finished it, else nothing is started.
int32_t RefuseUnfinished(NvContext* ctx, OpStatus* status, uint32_t hwCode) {
  if (ctx->Unfinished == 0) return 0;
  const uint8_t now = ReadRegister(ctx, kNvStatus);
  if (host_status::RefuseBusyHost(kStatusBits, status, now, hwCode) != 0) return -1;
  ctx->Unfinished = 0;
  return 0;
}

int32_t Judge(OpStatus* status, uint8_t final, uint32_t hwCode) {
  return host_status::JudgeFinalStatus(kStatusBits, status, final, hwCode);
}

// Aborts the transaction under way and waits, bounded, for the abort to
// show; true when it did (the host is idle again), its bit then cleared.
bool Abort(const NvContext* ctx) {
  WriteRegister(ctx, kNvControl, kNvAbort);
  const uint8_t shown = host_status::PollStatus<uint8_t>(
      [ctx] { return ReadRegister(ctx, kNvAbortStatus); },
      [](uint8_t value) { return (value & kNvAbortDone) != 0; }, kNvPollLimit);
  if ((shown & kNvAbortDone) == 0) return false;
  WriteRegister(ctx, kNvAbortStatus, kNvAbortDone);
  return true;
}

constexpr SmbusOps kOps = {.Transfer = &NV_Transfer, .ReleaseDevice = &NV_ReleaseDevice};

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  return NV_AcquireDevice(controller, found.IoBase, *found.Chip);
}

constexpr ChipDescriptor kNforce2 =
    DrivenBy(0, {.BaseRegister = 0x50, .BaseMask = 0xFFF0, .Quirks = kQuirkNvAbortRegister});
namespace ids {
constexpr uint16_t kNforce2 = 0x0064;  // the nForce2 MCP's SMBus function
}  // namespace ids

constexpr ChipId kNforce2Ids[] = {{.DeviceId = ids::kNforce2}};
constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorNvidia,
     .Chip = &kNforce2,
     .Ids = kNforce2Ids,
     .IdCount = CountOf(kNforce2Ids)},
};

}  // namespace

constexpr SmbusBackend kNvidia0064Backend = MakeBackend({
    .Name = "nvidia_0064",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &NV_Transfer,
    .Switches = 0,
});

int32_t NV_AcquireDevice(SmbusController* controller, uint32_t ioBase, const ChipDescriptor& chip) {
  if (!host_status::UsableIoBase(ioBase, kLastRegister)) return -1;
  auto* ctx = static_cast<NvContext*>(PoolAlloc(sizeof(NvContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Unfinished = 0;
  ctx->Abort = (chip.Quirks & kQuirkNvAbortRegister) != 0 ? NvAbort::Register : NvAbort::None;
  ctx->ReadRegister = &PortReadRegister;
  ctx->WriteRegister = &PortWriteRegister;
  InstallOps(controller, ctx, kOps, chip);
  return 0;
}

uint8_t NV_CallSMBus(NvContext* context, uint8_t protocol, uint8_t slave, uint8_t command) {
  WriteRegister(context, kNvAddress, static_cast<uint8_t>(slave << 1));
  WriteRegister(context, kNvCommand, command);
  WriteRegister(context, kNvProtocol, protocol);
  DelayMs(kNvTransactionMs);
  const uint8_t final = host_status::PollStatus<uint8_t>(
      [context] { return ReadRegister(context, kNvStatus); },
      [](uint8_t value) { return !host_status::StillBusy(kStatusBits, value); }, kNvPollLimit);
  // Without the abort register the host is left to finish on its own; the
  // next transfer waits for that.
  const bool running = host_status::StillBusy(kStatusBits, final);
  const bool aborted = running && context->Abort == NvAbort::Register && Abort(context);
  context->Unfinished = running && !aborted ? 1u : 0u;
  return final;
}

int32_t NV_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                    uint16_t* data) {
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  auto* ctx = static_cast<NvContext*>(context);
  const uint32_t hwCode = HwCodeOf(op);
  if (RefuseUnfinished(ctx, status, hwCode) != 0) return -1;
  if (op == SmbusOp::WriteByte) {
    WriteRegister(ctx, kNvData0, static_cast<uint8_t>(*data));
    const uint8_t final = NV_CallSMBus(ctx, kNvProtocolWriteByteData, slave, command);
    const int32_t result = Judge(status, final, hwCode);
    if (result == 0) DelayMs(kNvWriteCycleMs);
    return result;
  }
  const bool word = op == SmbusOp::ReadWord;
  const uint8_t final =
      NV_CallSMBus(ctx, word ? kNvProtocolReadWordData : kNvProtocolReadByteData, slave, command);
  const uint8_t low = ReadRegister(ctx, kNvData0);
  const uint8_t high = word ? ReadRegister(ctx, kNvData1) : 0;
  *data = static_cast<uint16_t>(high << 8 | low);
  return Judge(status, final, hwCode);
}

void NV_ReleaseDevice(void* context) {
  PoolFree(context);
}
