#include "smbus/sis.h"

#include "hw/hw.h"
#include "smbus/host_status.h"

namespace sis {

namespace {

// The index/data port pair, from the ACPI base, whose low three bits are
// not part of it.
constexpr uint32_t kAcpiBaseMask = 0xFFF8;
constexpr uint16_t kPairOffset = 0x38;
constexpr uint16_t kIndexPort = 0;  // from the pair
constexpr uint16_t kDataPort = 1;

// Registers behind the pair.
constexpr uint8_t kStatusLow = 0x00;   // the status bits in sis.h; written back to clear
constexpr uint8_t kStatusHigh = 0x01;  // written back to clear
constexpr uint8_t kControlLow = 0x02;  // bits 1-3 protocol, bit 4 start
constexpr uint8_t kAddress = 0x04;     // 7-bit address << 1 | read flag
constexpr uint8_t kCommand = 0x05;     // command byte (the SPD offset)
constexpr uint8_t kData0 = 0x08;       // byte data; low byte of word data
constexpr uint8_t kData1 = 0x09;       // high byte of word data

constexpr uint8_t kControlKeep = 0xF1;  // bits 0 and 4-7 survive the protocol write
constexpr unsigned kProtocolShift = 1;
constexpr uint8_t kProtocolField = 0x07;
constexpr uint8_t kControlStart = 0x10;

constexpr uint8_t kProtocolByteData = 2;
constexpr uint8_t kProtocolWordData = 3;
// Left in data 0 after every write transfer.
constexpr uint8_t kDataFiller = 0xCA;

constexpr int32_t kReadSettleMs = 5;
constexpr int32_t kWriteSettleMs = 100;

// Before a start the host must hold no finished transfer nobody claimed;
// after it, the transfer must have finished. The host has no busy bit, and a
// done bit standing never clears by itself: the wait before a start takes
// the first reading (kLookOnce), and a done bit in it refuses the transfer
// at once (the status is cleared on the way out, so the next one runs).
constexpr host_status::HostStatusBits kReady = {
    .BusyMask = kStatusDone, .IdleValue = 0, .ErrorMask = kStatusErrorMask};
constexpr host_status::HostStatusBits kLookOnce = {
    .BusyMask = 0, .IdleValue = 0, .ErrorMask = kStatusErrorMask};
constexpr host_status::HostStatusBits kDone = {
    .BusyMask = kStatusDone, .IdleValue = kStatusDone, .ErrorMask = kStatusErrorMask};

void Trace(const char* line) {
  if (DebugPrintHook != nullptr) DebugPrintHook(line);
}

const SisContext* ContextOf(void* context) {
  return static_cast<const SisContext*>(context);
}

// The end of every transfer: status cleared, then the verdict. A transfer
// never started fails on what stood in its way.
int32_t Finish(const SisContext* ctx, OpStatus* status, const SisTransaction& done,
               uint32_t hwCode) {
  SIS_ResetStatus(ctx);
  return host_status::JudgeFinalStatus(done.Started ? kDone : kReady, status, done.Status, hwCode);
}

void SIS_ReleaseDevice(void* context) {
  Trace("SIS_ReleaseDevice\n");
  PoolFree(context);
}

constexpr SmbusOps kOps = {.Transfer = &SIS_Transfer, .ReleaseDevice = &SIS_ReleaseDevice};

int32_t SIS_AcquireDevice(SmbusController* controller, const ChipFound& found) {
  Trace("SIS_AcquireDevice\n");
  const uint32_t base = found.IoBase & kAcpiBaseMask;
  if (!host_status::UsableIoBase(base, kPairOffset + kDataPort)) return -1;
  auto* ctx = static_cast<SisContext*>(PoolAlloc(sizeof(SisContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = base + kPairOffset;
  ctx->ChipModel = kChip5595;
  InstallOps(controller, ctx, kOps, *found.Chip);
  SIS_ResetStatus(ctx);
  return 0;
}

// The op's name on the debug output.
constexpr const char* kOpTrace[] = {"SIS_ReadByte\n", "SIS_ReadWord\n", "SIS_WriteByte\n",
                                    "SIS_SendByte\n", "SIS_ReceiveByte\n"};

}  // namespace

constexpr ChipDescriptor kSis5595Chip = DrivenBy(0, {});

constexpr SmbusBackend kSisBackend = MakeBackend({
    .Name = "sis5595",
    .Groups = nullptr,
    .GroupCount = 0,
    .Acquire = &SIS_AcquireDevice,
    .Transfer = &SIS_Transfer,
    .Switches = 0,
});

uint8_t ReadRegister(const SisContext* ctx, uint8_t reg) {
  PortWriteByte(static_cast<uint16_t>(ctx->IoBase + kIndexPort), reg);
  return PortReadByte(static_cast<uint16_t>(ctx->IoBase + kDataPort));
}

void WriteRegister(const SisContext* ctx, uint8_t reg, uint8_t value) {
  PortWriteByte(static_cast<uint16_t>(ctx->IoBase + kIndexPort), reg);
  PortWriteByte(static_cast<uint16_t>(ctx->IoBase + kDataPort), value);
}

void SIS_ResetStatus(const SisContext* ctx) {
  Trace("SIS_ResetStatus\n");
  WriteRegister(ctx, kStatusLow, ReadRegister(ctx, kStatusLow));
  WriteRegister(ctx, kStatusHigh, ReadRegister(ctx, kStatusHigh));
}

uint8_t SIS_WaitForBusReady(const SisContext* ctx, const host_status::HostStatusBits& until) {
  Trace("SIS_WaitForBusReady\n");
  const auto ready = [&until](uint8_t status) {
    return !host_status::StillBusy(until, status) || (status & until.ErrorMask) != 0;
  };
  const uint8_t value =
      host_status::PollStatus<uint8_t>([ctx] { return ReadRegister(ctx, kStatusLow); }, ready);
  if (!ready(value)) Trace("WaitForBusReady: Bus never became ready.\n");
  return value;
}

SisTransaction SIS_CallSMBus(const SisContext* ctx, uint8_t protocol, uint8_t slave,
                             uint8_t command, uint8_t isRead) {
  Trace("SIS_CallSMBus\n");
  uint8_t status = SIS_WaitForBusReady(ctx, kLookOnce);
  // Error bits, or a finished transfer nobody claimed: never start over them.
  const bool errors = (status & kStatusErrorMask) != 0;
  if (errors || host_status::StillBusy(kReady, status)) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook(errors ? "SIS_CallSMBus: before transaction, chip model %d had error bits set "
                              "in status: 0x%02X.\n"
                            : "SIS_CallSMBus: before transaction, chip model %d held a transfer "
                              "nobody claimed: 0x%02X.\n",
                     ctx->ChipModel, status);
    }
    return {status, false};
  }
  WriteRegister(ctx, kAddress, static_cast<uint8_t>((slave << 1) | (isRead & 1u)));
  WriteRegister(ctx, kCommand, command);
  const uint8_t control = ReadRegister(ctx, kControlLow);
  WriteRegister(ctx, kControlLow,
                static_cast<uint8_t>((control & kControlKeep) |
                                     ((protocol & kProtocolField) << kProtocolShift)));
  SIS_ResetStatus(ctx);
  WriteRegister(ctx, kControlLow,
                static_cast<uint8_t>(ReadRegister(ctx, kControlLow) | kControlStart));
  DelayMs(isRead != 0 ? kReadSettleMs : kWriteSettleMs);
  status = SIS_WaitForBusReady(ctx, kDone);
  if ((status & kStatusErrorMask) != 0 && DebugPrintHook != nullptr) {
    DebugPrintHook(
        "SIS_CallSMBus: after transaction, chip model %d had error bits set in status: "
        "0x%02X.\n",
        ctx->ChipModel, status);
  }
  return {status, true};
}

int32_t SIS_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data) {
  Trace(kOpTrace[static_cast<uint8_t>(op)]);
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  const SisContext* ctx = ContextOf(context);
  const uint32_t hwCode = HwCodeOf(op);
  if (op == SmbusOp::WriteByte) {
    WriteRegister(ctx, kData0, static_cast<uint8_t>(*data));
    const SisTransaction done = SIS_CallSMBus(ctx, kProtocolByteData, slave, command, 0);
    WriteRegister(ctx, kData0, kDataFiller);
    return Finish(ctx, status, done, hwCode);
  }
  const bool word = op == SmbusOp::ReadWord;
  const SisTransaction done =
      SIS_CallSMBus(ctx, word ? kProtocolWordData : kProtocolByteData, slave, command, 1);
  const uint8_t low = ReadRegister(ctx, kData0);
  const uint8_t high = word ? ReadRegister(ctx, kData1) : 0;
  *data = static_cast<uint16_t>(low | (high << 8));
  return Finish(ctx, status, done, hwCode);
}

}  // namespace sis
