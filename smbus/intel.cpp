#include "smbus/intel.h"

#include "hw/hw.h"
#include "smbus/intel_rows.h"
#include "smbus/register_transaction.h"

namespace intel {

namespace {

using namespace smbus_host;

// Host status clearing: the interrupt and error bits are written as 1,
// which clears them; the rest as read.
constexpr uint8_t kStatusClearBits = kStatusEndBits;
// ICH only: INUSE_STS is a semaphore the first status read of an access
// takes; written as 1 it is handed back to the firmware that shares the
// host. On PIIX4 the bit is reserved and written as read (0).

// ICH only: SMBALERT_STS latches a device's alert for whoever services it
// (firmware, an alert handler); a status clear writes it as 0, which leaves
// it standing. The PIIX4 block's bit 5 is written back as read.
constexpr uint8_t kStatusSmbAlert = 0x20;  // SMBHSTSTS SMBALERT_STS

// What a status write-back keeps of the value read.
constexpr uint8_t KeptOnClear(bool inUse) {
  return inUse ? static_cast<uint8_t>(~kStatusSmbAlert) : 0xFF;
}

// Host configuration HOSTC, byte 0x40 of the ICH6 and later SMBus function.
constexpr uint8_t kHostConfig = kIchHostConfig;
constexpr uint8_t kHostEnable = 0x01;       // HST_EN; off: the block decodes nothing
constexpr uint8_t kI2cMode = 0x04;          // I2C_EN: transfers framed as I2C, not SMBus
constexpr uint8_t kSpdWriteDisable = 0x10;  // SPD_WD: writes to 0x50-0x57 fail
constexpr uint8_t kSpdFirst = 0x50, kSpdLast = 0x57;
// Loaded into data 0 and data 1 around every transfer, so that a transfer
// that delivers nothing shows a recognisable value.
constexpr uint16_t kDataFiller = 0xCACA;

// Segment switching: a two-bit selector in bits 4-3 of a board register.
constexpr uint32_t kSwitchedSegment = 1;  // the only segment that is switched
constexpr uint8_t kSelectorKeepMask = 0xE7;
constexpr unsigned kSelectorShift = 3;
// The PIIX4 boards: a latch on the board, read and written directly.
constexpr uint16_t kBoardLatchPort = 0xE437;
constexpr uint8_t kLatchSelector = 1;
// The ICH boards: register 0xF1 of logical device 8 of the Super I/O chip.
constexpr uint16_t kSuperIoIndex = 0x2E;
constexpr uint16_t kSuperIoData = 0x2F;
constexpr uint8_t kSuperIoEnterKey = 0x87;  // written twice to the index port
constexpr uint8_t kSuperIoExitKey = 0xAA;   // written once to the index port
constexpr uint8_t kSuperIoChipId = 0x20;    // the chip's ID, in every logical device
constexpr uint8_t kNothingDecodes = 0xFF;   // what a port nobody answers reads
constexpr uint8_t kSuperIoLogicalDevice = 0x07;
constexpr uint8_t kSuperIoSwitchDevice = 0x08;
constexpr uint8_t kSuperIoSwitchRegister = 0xF1;
constexpr uint8_t kSuperIoSelector = 2;

constexpr uint8_t WithSelector(uint8_t old, uint8_t selector) {
  return static_cast<uint8_t>((old & kSelectorKeepMask) | (selector << kSelectorShift));
}

void LoadFiller(uint32_t ioBase) {
  PortWriteWord(Port(ioBase, kData0), kDataFiller);
}

// Before a transfer: the idle wait. A host still busy after it runs someone
// else's transaction (or is stuck): nothing is started on it, the transfer
// fails with the status, and on ICH the semaphore the polls took goes back.
// On ICH the first read takes the semaphore, waiting for a holder to let go;
// a holder that keeps it past the bound fails the transfer with the
// host-held code, nothing started and the holder's claim left alone.
int32_t StartOnIdleHost(const IntelContext* ctx, OpStatus* status, uint32_t hwCode,
                        uint8_t* idleStatus) {
  uint8_t idle;
  if (ctx->InUseSemaphore != 0) {
    idle = TakeHost(ctx->IoBase);
    if (HeldByOther(idle)) {
      SetHwFailure(status, OpError::HostHeldByFirmware, idle);
      return -1;
    }
    if (host_status::StillBusy(kHostStatusBits, idle)) idle = WaitForBusReady(ctx->IoBase);
  } else {
    idle = WaitForBusReady(ctx->IoBase);
  }
  *idleStatus = idle;
  if (host_status::RefuseBusyHost(kHostStatusBits, status, idle, hwCode) == 0) return 0;
  if (ctx->InUseSemaphore != 0) PortWriteByte(Port(ctx->IoBase, kHostStatus), kStatusInUse);
  return -1;
}

// The end of every transfer: filler back in, status cleared (on ICH the
// semaphore released), then the verdict: a final status still busy or with
// an error bit fails.
int32_t FinishTransfer(const IntelContext* ctx, OpStatus* status, uint8_t finalStatus,
                       uint32_t hwCode) {
  LoadFiller(ctx->IoBase);
  ResetStatus(ctx->IoBase, ctx->InUseSemaphore != 0);
  return host_status::JudgeFinalStatus(ctx->InUseSemaphore != 0 ? kIchStatusBits : kHostStatusBits,
                                       status, finalStatus, hwCode);
}

// The chip's registers answer only in its configuration mode, after the
// entry key. Its ID is read first: all ones means no chip took the key (the
// board has none at these ports, or one of another kind), and then no
// register is selected or written. Configuration mode is left with the exit
// key either way, so that the chip's ports are its own again.
void SwitchSuperIo(bool select) {
  PortWriteByte(kSuperIoIndex, kSuperIoEnterKey);
  PortWriteByte(kSuperIoIndex, kSuperIoEnterKey);
  PortWriteByte(kSuperIoIndex, kSuperIoChipId);
  if (PortReadByte(kSuperIoData) != kNothingDecodes) {
    PortWriteByte(kSuperIoIndex, kSuperIoLogicalDevice);
    PortWriteByte(kSuperIoData, kSuperIoSwitchDevice);
    PortWriteByte(kSuperIoIndex, kSuperIoSwitchRegister);
    const uint8_t old = PortReadByte(kSuperIoData);
    PortWriteByte(kSuperIoIndex, kSuperIoSwitchRegister);
    PortWriteByte(kSuperIoData, WithSelector(old, select ? kSuperIoSelector : 0));
  }
  PortWriteByte(kSuperIoIndex, kSuperIoExitKey);
}

void WriteSelector(const IntelContext* ctx, uint32_t segment, bool select) {
  if (segment != kSwitchedSegment) return;
  if (ctx->Segments == SegmentSwitch::BoardLatch) {
    const uint8_t old = PortReadByte(kBoardLatchPort);
    PortWriteByte(kBoardLatchPort, WithSelector(old, select ? kLatchSelector : 0));
  } else if (ctx->Segments == SegmentSwitch::SuperIo) {
    SwitchSuperIo(select);
  }
}

void ReleaseDevice(void* context) {
  PoolFree(context);
}

void SelectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, true);
}

void DeselectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, false);
}

// Host control bits a read shows that are not firmware's settings.
constexpr uint8_t kHostControlActions = kControlStart | kControlKill;
// SMBAUXCTL: AAC (automatically append CRC, packet error checking) and
// E32B (the 32-byte block buffer).
constexpr uint8_t kAuxPecAndBuffer = 0x03;

uint8_t HostControlNow(uint32_t ioBase) {
  return static_cast<uint8_t>(PortReadByte(Port(ioBase, kHostControl)) & ~kHostControlActions);
}

void PutBack(uint32_t ioBase, uint16_t reg, uint8_t now, uint8_t firmware) {
  if (now != firmware) PortWriteByte(Port(ioBase, reg), firmware);
}

// Plain byte and word transfers: no packet error code, no block buffer;
// the firmware's setting kept for the release.
void TakeAuxControl(IntelContext* ctx) {
  ctx->HasAuxControl = 1;
  ctx->FirmwareAuxControl = PortReadByte(Port(ctx->IoBase, kAuxControl));
  if ((ctx->FirmwareAuxControl & kAuxPecAndBuffer) != 0) {
    PortWriteByte(Port(ctx->IoBase, kAuxControl),
                  static_cast<uint8_t>(ctx->FirmwareAuxControl & ~kAuxPecAndBuffer));
  }
}

// Puts the host configuration back as the firmware left it (ICH6 and
// later), then the auxiliary control (where the chip has one) and the host
// control (ICH).
void ReleaseIchDevice(void* context) {
  const auto* ctx = static_cast<IntelContext*>(context);
  if (ctx->HasHostConfig != 0) {
    const uint32_t dword = PciReadConfigDword(ctx->Function, kHostConfig);
    if ((dword & 0xFFu) != ctx->FirmwareHostConfig) {
      PciWriteConfigDword(ctx->Function, (dword & ~0xFFu) | ctx->FirmwareHostConfig, kHostConfig);
    }
  }
  if (ctx->HasAuxControl != 0) {
    PutBack(ctx->IoBase, kAuxControl, PortReadByte(Port(ctx->IoBase, kAuxControl)),
            ctx->FirmwareAuxControl);
  }
  PutBack(ctx->IoBase, kHostControl, HostControlNow(ctx->IoBase), ctx->FirmwareHostControl);
  ReleaseDevice(context);
}

// What the firmware left is cleared only once the host is ours, and not
// while it runs a transfer (the firmware's own, whose end is its to see).
// The ICH's semaphore our read took goes back either way.
void ClearFirmwareStatus(const IntelContext* ctx) {
  const bool inUse = ctx->InUseSemaphore != 0;
  const uint8_t value =
      inUse ? TakeHost(ctx->IoBase) : PortReadByte(Port(ctx->IoBase, kHostStatus));
  if (inUse && HeldByOther(value)) return;
  const uint8_t release = inUse ? kStatusInUse : 0;
  const bool busy = host_status::StillBusy(kHostStatusBits, value);
  PortWriteByte(Port(ctx->IoBase, kHostStatus),
                static_cast<uint8_t>(
                    busy ? release : ((value & KeptOnClear(inUse)) | kStatusClearBits | release)));
}

// ICH6 and later: HOSTC decides first. With the host disabled the block
// decodes nothing: a discovery message, false, no port touched. I2C mode is
// turned off for the driver's transfers, the byte put back as it was at
// release; SPD_WD makes a write to the SPD addresses fail unsent.
bool TakeHostConfig(IntelContext* ctx, PciLocation function) {
  const uint32_t dword = PciReadConfigDword(function, kHostConfig);
  const auto hostConfig = static_cast<uint8_t>(dword & 0xFFu);
  if ((hostConfig & kHostEnable) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: SMBus host disabled by the BIOS (host configuration %02X)\n",
                     hostConfig);
    }
    return false;
  }
  ctx->HasHostConfig = 1;
  ctx->Function = function;
  ctx->FirmwareHostConfig = hostConfig;
  ctx->SpdWritesBlocked = (hostConfig & kSpdWriteDisable) != 0 ? 1 : 0;
  return true;
}

constexpr SmbusOps kPiix4Ops = {.Transfer = &Transfer,
                                .ReleaseDevice = &ReleaseDevice,
                                .SelectSegment = &SelectSegment,
                                .DeselectSegment = &DeselectSegment};
constexpr SmbusOps kIchOps = {.Transfer = &Transfer,
                              .ReleaseDevice = &ReleaseIchDevice,
                              .SelectSegment = &SelectSegment,
                              .DeselectSegment = &DeselectSegment};

// Discovery's entry. A chip with HOSTC is an ICH6 or later, one with
// INUSE_STS an ICH, any other a PIIX4. An ICH with the auxiliary control
// (ICH4 on) gets its packet error checking and 32-byte buffer cleared for
// the driver's transfers, and put back at release; a chip whose descriptor
// names no segment switch gets none.
int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  const ChipDescriptor& chip = *found.Chip;
  IntelContext init{};
  if ((chip.Quirks & kQuirkHostConfigByte) != 0 && !TakeHostConfig(&init, found.Function)) {
    return -1;
  }
  // A base the firmware never programmed (0) would put the block on the DMA
  // controller's ports: not acquired, no port touched.
  if (!InitContext(&init, found.IoBase, chip)) return -1;
  auto* ctx = static_cast<IntelContext*>(PoolAlloc(sizeof(IntelContext)));
  if (ctx == nullptr) return -1;
  *ctx = init;
  const bool ich = ctx->InUseSemaphore != 0;
  InstallOps(controller, ctx, ich ? kIchOps : kPiix4Ops, chip);
  if (chip.Segments == SegmentSwitch::None) {
    controller->SelectSegment = nullptr;
    controller->DeselectSegment = nullptr;
  }
  if (ich) ctx->FirmwareHostControl = HostControlNow(ctx->IoBase);
  ClearFirmwareStatus(ctx);
  if ((chip.Quirks & kQuirkHostConfigByte) != 0 && (ctx->FirmwareHostConfig & kI2cMode) != 0) {
    // SMBus framing for the driver's transfers; the firmware's choice
    // returns at release.
    const uint32_t dword = PciReadConfigDword(ctx->Function, kHostConfig);
    PciWriteConfigDword(ctx->Function, dword & ~uint32_t{kI2cMode}, kHostConfig);
  }
  if ((chip.Quirks & kQuirkAuxControl) != 0) TakeAuxControl(ctx);
  return 0;
}

}  // namespace

constexpr SmbusBackend kIntelBackend = MakeBackend({
    .Name = "intel",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = kSwitches,
});

bool InitContext(IntelContext* ctx, uint32_t ioBase, const ChipDescriptor& chip) {
  if (!host_status::UsableIoBase(ioBase, kBlockLastPort)) return false;
  ctx->IoBase = ioBase;
  ctx->InUseSemaphore = (chip.Traits & kChipInUseSemaphore) != 0 ? 1 : 0;
  ctx->FirstPollMs = (chip.Traits & kChipLateBusy) != 0 ? kLateBusyFirstPollMs
                                                        : static_cast<uint8_t>(kReadSettleMs);
  ctx->Segments = chip.Segments;
  return true;
}

void ResetStatus(uint32_t ioBase, bool inUseSemaphore) {
  WriteBackStatus(ioBase, KeptOnClear(inUseSemaphore),
                  inUseSemaphore ? kStatusClearBits | kStatusInUse : kStatusClearBits);
}

bool HeldByOther(uint8_t value) {
  // All ones is no host answering at all (nothing decodes the block), not a
  // holder to wait for.
  return (value & kStatusInUse) != 0 && value != 0xFF;
}

uint8_t TakeHost(uint32_t ioBase) {
  uint8_t value = PortReadByte(Port(ioBase, kHostStatus));
  for (uint32_t poll = 0; HeldByOther(value) && poll < kInUseWaitLimit; ++poll) {
    DelayMs(1);
    value = PortReadByte(Port(ioBase, kHostStatus));
  }
  return value;
}

namespace {

void Program(uint32_t ioBase, const Transaction& t) {
  PortWriteByte(Port(ioBase, kHostCommand), t.Command);
  PortWriteByte(Port(ioBase, kSlaveAddress), AddressByte(t.Slave, t.IsRead));
  PortWriteByte(Port(ioBase, kHostControl), static_cast<uint8_t>(t.Protocol | kControlStart));
  // Some hosts begin the transfer only when their status is next read (QEMU's
  // PIIX4 does while its interrupt is off, and reports busy on that read).
  // Read it here, so that the settle time covers the transfer instead of the
  // first poll finding it just begun and costing another millisecond.
  PortReadByte(Port(ioBase, kHostStatus));
}

// The idle wait comes before the filler (StartOnIdleHost). The ICH waits
// for its completion bit, PIIX4 for busy clear; the steps are otherwise the same.
constexpr TransactionSteps<uint8_t> kPiix4Steps = {.Bits = kHostStatusBits,
                                                   .CallerWaitedForIdle = true,
                                                   .WaitIdle = &WaitForBusReady,
                                                   .Program = &Program,
                                                   .AfterPoll = nullptr,
                                                   .ReadSettleMs = kReadSettleMs,
                                                   .WriteSettleMs = kWriteSettleMs,
                                                   .WaitDone = &WaitForBusReady,
                                                   .LeftBits = kStatusEndBits,
                                                   .ClearLeft = &ClearEndBits,
                                                   .Kill = &KillTransfer};
constexpr TransactionSteps<uint8_t> kIchSteps = [] {
  TransactionSteps<uint8_t> steps = kPiix4Steps;
  steps.Bits = kIchStatusBits;
  steps.WaitDone = &WaitForTransferEnd;
  return steps;
}();

// A send or receive byte whose transfer ended with the device error alone
// went unacknowledged (on these hosts the bit means no acknowledge, the
// byte protocols having no command the host could refuse): a no-acknowledge
// is an answer there, unlike a collision, a kill or a host left busy.
int32_t ByteTransferResult(int32_t result, uint8_t finalStatus) {
  if (result == 0) return 0;
  const bool deviceErrorAlone =
      (finalStatus & (kStatusBusy | kStatusErrorMask)) == kStatusDeviceError;
  return deviceErrorAlone ? kNotAcknowledged : result;
}

// On a host the caller found idle with status `idle`: clears what someone
// else left there, starts, waits for the end; a transfer still running
// after the poll limit is killed (its busy status returned). The first poll
// waits the chip's time; a send or receive byte settles as a read either
// way: no write cycle follows.
uint8_t CallSMBus(const IntelContext* ctx, uint8_t idle, uint8_t protocol, uint8_t slave,
                  uint8_t command, uint8_t isRead) {
  TransactionSteps<uint8_t> steps = ctx->InUseSemaphore != 0 ? kIchSteps : kPiix4Steps;
  steps.ReadSettleMs = ctx->FirstPollMs;
  if (protocol == kProtocolByte) steps.WriteSettleMs = steps.ReadSettleMs;
  return RunTransaction(steps, ctx->IoBase, {protocol, slave, command, isRead, 0}, idle);
}

}  // namespace

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  const auto* ctx = static_cast<IntelContext*>(context);
  const uint32_t base = ctx->IoBase;
  const uint32_t hwCode = HwCodeOf(op);
  // The host fails such a write itself; nothing is started.
  if (op == SmbusOp::WriteByte && ctx->SpdWritesBlocked != 0 && slave >= kSpdFirst &&
      slave <= kSpdLast) {
    SetHwFailure(status, OpError::SpdWritesBlocked, ctx->FirmwareHostConfig);
    return -1;
  }
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, hwCode, &idle) != 0) return -1;
  if (op == SmbusOp::WriteByte) {
    PortWriteByte(Port(base, kData0), static_cast<uint8_t>(*data));
  } else {
    LoadFiller(base);
  }
  const bool oneByte = op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte;
  const uint8_t protocol = oneByte                   ? kProtocolByte
                           : op == SmbusOp::ReadWord ? kProtocolWordData
                                                     : kProtocolByteData;
  // Send byte carries its byte in the command register.
  const uint8_t final = CallSMBus(ctx, idle, protocol, slave,
                                  op == SmbusOp::ReceiveByte ? 0 : command, IsReadOp(op) ? 1 : 0);
  if (op == SmbusOp::ReadWord) {
    *data = PortReadWord(Port(base, kData0));  // data 0 low, data 1 high
  } else if (IsReadOp(op)) {
    *data = PortReadByte(Port(base, kData0));
  }
  const int32_t result = FinishTransfer(ctx, status, final, hwCode);
  return oneByte ? ByteTransferResult(result, final) : result;
}

}  // namespace intel
