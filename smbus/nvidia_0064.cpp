#include "smbus/nvidia_0064.h"

#include "hw/hw.h"
#include "smbus/host_status.h"

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

constexpr SmbusOps kOps = {&NV_ReadByte, &NV_ReadWord, &NV_WriteByte, &NV_ReleaseDevice,
                           nullptr, nullptr};

}  // namespace

int32_t NV_AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant,
                         NvAbort abort) {
  if (!host_status::UsableIoBase(ioBase, kLastRegister)) return -1;
  auto* ctx = static_cast<NvContext*>(PoolAlloc(sizeof(NvContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Unfinished = 0;
  ctx->Abort = abort;
  if (variant != kNvVariantPortIo) {
    PoolFree(ctx);
    return -1;
  }
  ctx->ReadRegister = &PortReadRegister;
  ctx->WriteRegister = &PortWriteRegister;
  InstallOps(controller, ctx, kOps);
  return 0;
}

int32_t NV_AcquireChip(SmbusController* controller, const ChipDescriptor&, PciLocation,
                       uint32_t ioBase) {
  return NV_AcquireDevice(controller, ioBase, kNvVariantPortIo);
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

int32_t NV_ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                    uint8_t* value) {
  auto* ctx = static_cast<NvContext*>(context);
  if (RefuseUnfinished(ctx, status, OpError::ReadByteFailed) != 0) return -1;
  const uint8_t final = NV_CallSMBus(ctx, kNvProtocolReadByteData, slave, command);
  *value = ReadRegister(ctx, kNvData0);
  return Judge(status, final, OpError::ReadByteFailed);
}

int32_t NV_ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                    uint16_t* value) {
  auto* ctx = static_cast<NvContext*>(context);
  if (RefuseUnfinished(ctx, status, OpError::ReadWordFailed) != 0) return -1;
  const uint8_t final = NV_CallSMBus(ctx, kNvProtocolReadWordData, slave, command);
  const uint8_t low = ReadRegister(ctx, kNvData0);
  const uint8_t high = ReadRegister(ctx, kNvData1);
  *value = static_cast<uint16_t>(high << 8 | low);
  return Judge(status, final, OpError::ReadWordFailed);
}

int32_t NV_WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                     uint8_t value) {
  auto* ctx = static_cast<NvContext*>(context);
  if (RefuseUnfinished(ctx, status, OpError::WriteByteFailed) != 0) return -1;
  WriteRegister(ctx, kNvData0, value);
  const uint8_t final = NV_CallSMBus(ctx, kNvProtocolWriteByteData, slave, command);
  const int32_t result = Judge(status, final, OpError::WriteByteFailed);
  if (result == 0) DelayMs(kNvWriteCycleMs);
  return result;
}

void NV_ReleaseDevice(void* context) { PoolFree(context); }
