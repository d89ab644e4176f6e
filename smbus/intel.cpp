#include "smbus/intel.h"

#include "hw/hw.h"
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

constexpr bool HasSemaphore(int32_t variant) {
  return variant == kVariantIch || variant == kVariantLaterIch;
}

// ICH only: SMBALERT_STS latches a device's alert for whoever services it
// (firmware, an alert handler); a status clear writes it as 0, which leaves
// it standing. The PIIX4 block's bit 5 is written back as read.
constexpr uint8_t kStatusSmbAlert = 0x20;

// What a status write-back keeps of the value read.
constexpr uint8_t KeptOnClear(int32_t variant) {
  return HasSemaphore(variant) ? static_cast<uint8_t>(~kStatusSmbAlert) : 0xFF;
}

// Host configuration, byte 0x40 of the ICH6 and later SMBus function.
constexpr uint8_t kHostConfig = 0x40;
constexpr uint8_t kHostEnable = 0x01;       // off: the block decodes nothing
constexpr uint8_t kI2cMode = 0x04;          // transfers framed as I2C, not SMBus
constexpr uint8_t kSpdWriteDisable = 0x10;  // writes to 0x50-0x57 fail
constexpr uint8_t kSpdFirst = 0x50, kSpdLast = 0x57;
// Loaded into data 0 and data 1 around every transfer, so that a transfer
// that delivers nothing shows a recognisable value.
constexpr uint16_t kDataFiller = 0xCACA;

// Segment switching: a two-bit selector in bits 4-3 of a board register.
constexpr uint32_t kSwitchedSegment = 1;  // the only segment that is switched
constexpr uint8_t kSelectorKeepMask = 0xE7;
constexpr unsigned kSelectorShift = 3;
// Variant 0: a latch on the board, read and written directly.
constexpr uint16_t kBoardLatchPort = 0xE437;
constexpr uint8_t kLatchSelector = 1;
// Variant 1: register 0xF1 of logical device 8 of the Super I/O chip.
constexpr uint16_t kSuperIoIndex = 0x2E;
constexpr uint16_t kSuperIoData = 0x2F;
constexpr uint8_t kSuperIoEnterKey = 0x87;     // written twice to the index port
constexpr uint8_t kSuperIoExitKey = 0xAA;      // written once to the index port
constexpr uint8_t kSuperIoChipId = 0x20;       // the chip's ID, in every logical device
constexpr uint8_t kNothingDecodes = 0xFF;      // what a port nobody answers reads
constexpr uint8_t kSuperIoLogicalDevice = 0x07;
constexpr uint8_t kSuperIoSwitchDevice = 0x08;
constexpr uint8_t kSuperIoSwitchRegister = 0xF1;
constexpr uint8_t kSuperIoSelector = 2;

constexpr uint8_t WithSelector(uint8_t old, uint8_t selector) {
  return static_cast<uint8_t>((old & kSelectorKeepMask) | (selector << kSelectorShift));
}

void LoadFiller(uint32_t ioBase) { PortWriteWord(Port(ioBase, kData0), kDataFiller); }

// Before a transfer: the idle wait. A host still busy after it runs someone
// else's transaction (or is stuck): nothing is started on it, the transfer
// fails with the status, and on ICH the semaphore the polls took goes back.
// On ICH the first read takes the semaphore, waiting for a holder to let go;
// a holder that keeps it past the bound fails the transfer with the
// host-held code, nothing started and the holder's claim left alone.
int32_t StartOnIdleHost(const IntelContext* ctx, OpStatus* status, uint32_t hwCode,
                        uint8_t* idleStatus) {
  uint8_t idle;
  if (HasSemaphore(ctx->Variant)) {
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
  if (HasSemaphore(ctx->Variant)) PortWriteByte(Port(ctx->IoBase, kHostStatus), kStatusInUse);
  return -1;
}

// The end of every transfer: filler back in, status cleared (on ICH the
// semaphore released), then the verdict: a final status still busy or with
// an error bit fails.
int32_t FinishTransfer(const IntelContext* ctx, OpStatus* status, uint8_t finalStatus,
                       uint32_t hwCode) {
  LoadFiller(ctx->IoBase);
  ResetStatus(ctx->IoBase, ctx->Variant);
  return host_status::JudgeFinalStatus(HasSemaphore(ctx->Variant) ? kIchStatusBits : kHostStatusBits,
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
  if (ctx->Variant == kVariantPiix4) {
    const uint8_t old = PortReadByte(kBoardLatchPort);
    PortWriteByte(kBoardLatchPort, WithSelector(old, select ? kLatchSelector : 0));
  } else if (ctx->Variant == kVariantIch) {
    SwitchSuperIo(select);
  }
}

void ReleaseIchDevice(void* context);
void ReleaseLaterIchDevice(void* context);

// Host control bits a read shows that are not firmware's settings.
constexpr uint8_t kHostControlActions = kControlStart | kControlKill;
// Auxiliary control: packet error checking and the 32-byte block buffer.
constexpr uint8_t kAuxPecAndBuffer = 0x03;

uint8_t HostControlNow(uint32_t ioBase) {
  return static_cast<uint8_t>(PortReadByte(Port(ioBase, kHostControl)) & ~kHostControlActions);
}

void PutBack(uint32_t ioBase, uint16_t reg, uint8_t now, uint8_t firmware) {
  if (now != firmware) PortWriteByte(Port(ioBase, reg), firmware);
}

constexpr SmbusOps kOps = {&ReadByte,      &ReadWord,      &WriteByte,
                           &ReleaseDevice, &SelectSegment, &DeselectSegment};
constexpr SmbusOps kIchOps = {&ReadByte,         &ReadWord,      &WriteByte,
                              &ReleaseIchDevice, &SelectSegment, &DeselectSegment};
// The ICH6 and later put the firmware's host configuration back at release.
constexpr SmbusOps kLaterIchOps = {&ReadByte,      &ReadWord,      &WriteByte,
                                   &ReleaseLaterIchDevice, &SelectSegment, &DeselectSegment,
                                   &SendByte,      &ReceiveByte};

}  // namespace

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant) {
  // A base the firmware never programmed (0) would put the block on the DMA
  // controller's ports: not acquired, no port touched.
  if (!host_status::UsableIoBase(ioBase, kBlockLastPort)) return -1;
  auto* ctx = static_cast<IntelContext*>(PoolAlloc(sizeof(IntelContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Variant = variant;
  ctx->Function = PciLocation{0, 0, 0};
  ctx->FirmwareHostConfig = 0;
  ctx->SpdWritesBlocked = 0;
  ctx->FirmwareHostControl = 0;
  ctx->FirmwareAuxControl = 0;
  ctx->HasAuxControl = 0;
  InstallOps(controller, ctx, variant == kVariantIch ? kIchOps : kOps);
  if (HasSemaphore(variant)) ctx->FirmwareHostControl = HostControlNow(ioBase);
  // What the firmware left is cleared only once the host is ours, and not
  // while it runs a transfer (the firmware's own, whose end is its to see).
  // The ICH's semaphore our read took goes back either way.
  const uint8_t value = HasSemaphore(variant) ? TakeHost(ioBase)
                                              : PortReadByte(Port(ioBase, kHostStatus));
  if (HasSemaphore(variant) && HeldByOther(value)) return 0;
  const uint8_t release = HasSemaphore(variant) ? kStatusInUse : 0;
  const bool busy = host_status::StillBusy(kHostStatusBits, value);
  PortWriteByte(Port(ioBase, kHostStatus),
                static_cast<uint8_t>(busy ? release
                                          : ((value & KeptOnClear(variant)) | kStatusClearBits |
                                             release)));
  return 0;
}

namespace {

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

// Puts the auxiliary control (where the chip has one) and the host control
// back as the firmware left them.
void ReleaseIchDevice(void* context) {
  const auto* ctx = static_cast<IntelContext*>(context);
  if (ctx->HasAuxControl != 0) {
    PutBack(ctx->IoBase, kAuxControl, PortReadByte(Port(ctx->IoBase, kAuxControl)),
            ctx->FirmwareAuxControl);
  }
  PutBack(ctx->IoBase, kHostControl, HostControlNow(ctx->IoBase), ctx->FirmwareHostControl);
  ReleaseDevice(context);
}

// Puts the host configuration back as the firmware left it, then the
// auxiliary and the host control.
void ReleaseLaterIchDevice(void* context) {
  const auto* ctx = static_cast<IntelContext*>(context);
  const uint32_t dword = PciReadConfigDword(ctx->Function, kHostConfig);
  if ((dword & 0xFFu) != ctx->FirmwareHostConfig) {
    PciWriteConfigDword(ctx->Function, (dword & ~0xFFu) | ctx->FirmwareHostConfig, kHostConfig);
  }
  ReleaseIchDevice(context);
}

}  // namespace

int32_t AcquireLaterIchDevice(SmbusController* controller, uint32_t ioBase,
                              PciLocation function) {
  const uint32_t dword = PciReadConfigDword(function, kHostConfig);
  const auto hostConfig = static_cast<uint8_t>(dword & 0xFFu);
  if ((hostConfig & kHostEnable) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: SMBus host disabled by the BIOS (host configuration %02X)\n",
                     hostConfig);
    }
    return -1;
  }
  if (AcquireDevice(controller, ioBase, kVariantLaterIch) != 0) return -1;
  auto* ctx = static_cast<IntelContext*>(controller->Context);
  ctx->Function = function;
  ctx->FirmwareHostConfig = hostConfig;
  ctx->SpdWritesBlocked = (hostConfig & kSpdWriteDisable) != 0 ? 1 : 0;
  InstallOps(controller, ctx, kLaterIchOps);
  // SMBus framing for the driver's transfers; the firmware's choice returns
  // at release.
  if ((hostConfig & kI2cMode) != 0) {
    PciWriteConfigDword(function, dword & ~uint32_t{kI2cMode}, kHostConfig);
  }
  TakeAuxControl(ctx);
  return 0;
}

int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t ioBase) {
  if ((chip.Features & kHostConfigByte) != 0) {
    return AcquireLaterIchDevice(controller, ioBase, function);
  }
  const int32_t variant = (chip.Features & kHostInUseSemaphore) != 0 ? kVariantIch : kVariantPiix4;
  if (AcquireDevice(controller, ioBase, variant) != 0) return -1;
  if (variant == kVariantIch && (chip.Features & kHostAuxControl) != 0) {
    TakeAuxControl(static_cast<IntelContext*>(controller->Context));
  }
  // A board with no known segment switch (the 440MX's): segment 1 is not
  // switched, and no board port is written for it.
  if (chip.Segments == SegmentSwitch::None) {
    controller->SelectSegment = nullptr;
    controller->DeselectSegment = nullptr;
  }
  return 0;
}

void ResetStatus(uint32_t ioBase, int32_t variant) {
  WriteBackStatus(ioBase, KeptOnClear(variant),
                  HasSemaphore(variant) ? kStatusClearBits | kStatusInUse : kStatusClearBits);
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
// for its completion bit; PIIX4 for busy clear.
constexpr TransactionSteps<uint8_t> kPiix4Steps = {
    kHostStatusBits, true,           &WaitForBusReady, &Program,       nullptr,
    kReadSettleMs,   kWriteSettleMs, &WaitForBusReady, kStatusEndBits, &ClearEndBits,
    &KillTransfer};
constexpr TransactionSteps<uint8_t> kIchSteps = {
    kIchStatusBits, true,           &WaitForBusReady,    &Program,       nullptr,
    kReadSettleMs,  kWriteSettleMs, &WaitForTransferEnd, kStatusEndBits, &ClearEndBits,
    &KillTransfer};
// Send and receive byte carry one byte after the address: no write cycle to
// wait out, the read settle time either way.
constexpr TransactionSteps<uint8_t> ByteSteps(TransactionSteps<uint8_t> steps) {
  steps.WriteSettleMs = steps.ReadSettleMs;
  return steps;
}
constexpr TransactionSteps<uint8_t> kPiix4ByteSteps = ByteSteps(kPiix4Steps);
constexpr TransactionSteps<uint8_t> kIchByteSteps = ByteSteps(kIchSteps);
constexpr TransactionSteps<uint8_t> Csb5Steps(TransactionSteps<uint8_t> steps) {
  steps.ReadSettleMs = kCsb5ReadSettleMs;
  return steps;
}
constexpr TransactionSteps<uint8_t> kCsb5Steps = Csb5Steps(kPiix4Steps);
constexpr TransactionSteps<uint8_t> kCsb5ByteSteps = ByteSteps(kCsb5Steps);

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

const TransactionSteps<uint8_t>& StepsFor(int32_t variant, bool oneByte) {
  if (HasSemaphore(variant)) return oneByte ? kIchByteSteps : kIchSteps;
  if (variant == kVariantCsb5) return oneByte ? kCsb5ByteSteps : kCsb5Steps;
  return oneByte ? kPiix4ByteSteps : kPiix4Steps;
}

}  // namespace

// A send or receive byte settles as a read either way: no write cycle follows.
uint8_t CallSMBus(const IntelContext* ctx, uint8_t idle, uint8_t protocol, uint8_t slave,
                  uint8_t command, uint8_t isRead) {
  return RunTransaction(StepsFor(ctx->Variant, protocol == kProtocolByte), ctx->IoBase,
                        {protocol, slave, command, isRead, 0}, idle);
}

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value) {
  const auto* ctx = static_cast<IntelContext*>(context);
  const uint32_t base = ctx->IoBase;
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, OpError::ReadByteFailed, &idle) != 0) return -1;
  LoadFiller(base);
  const uint8_t final = CallSMBus(ctx, idle, kProtocolByteData, slave, command, 1);
  *value = PortReadByte(Port(base, kData0));
  return FinishTransfer(ctx, status, final, OpError::ReadByteFailed);
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value) {
  const auto* ctx = static_cast<IntelContext*>(context);
  const uint32_t base = ctx->IoBase;
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, OpError::ReadWordFailed, &idle) != 0) return -1;
  LoadFiller(base);
  const uint8_t final = CallSMBus(ctx, idle, kProtocolWordData, slave, command, 1);
  *value = PortReadWord(Port(base, kData0));  // data 0 low, data 1 high
  return FinishTransfer(ctx, status, final, OpError::ReadWordFailed);
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value) {
  const auto* ctx = static_cast<IntelContext*>(context);
  const uint32_t base = ctx->IoBase;
  // The host fails such a write itself; nothing is started.
  if (ctx->SpdWritesBlocked != 0 && slave >= kSpdFirst && slave <= kSpdLast) {
    SetHwFailure(status, OpError::SpdWritesBlocked, ctx->FirmwareHostConfig);
    return -1;
  }
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, OpError::WriteByteFailed, &idle) != 0) return -1;
  PortWriteByte(Port(base, kData0), value);
  const uint8_t final = CallSMBus(ctx, idle, kProtocolByteData, slave, command, 0);
  return FinishTransfer(ctx, status, final, OpError::WriteByteFailed);
}

int32_t SendByte(void* context, OpStatus* status, uint8_t slave, uint8_t value) {
  const auto* ctx = static_cast<IntelContext*>(context);
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, OpError::SendByteFailed, &idle) != 0) return -1;
  LoadFiller(ctx->IoBase);
  const uint8_t final = CallSMBus(ctx, idle, kProtocolByte, slave, value, 0);
  return ByteTransferResult(FinishTransfer(ctx, status, final, OpError::SendByteFailed), final);
}

int32_t ReceiveByte(void* context, OpStatus* status, uint8_t slave, uint8_t* value) {
  const auto* ctx = static_cast<IntelContext*>(context);
  uint8_t idle = 0;
  if (StartOnIdleHost(ctx, status, OpError::ReceiveByteFailed, &idle) != 0) return -1;
  LoadFiller(ctx->IoBase);
  const uint8_t final = CallSMBus(ctx, idle, kProtocolByte, slave, 0, 1);
  *value = PortReadByte(Port(ctx->IoBase, kData0));
  return ByteTransferResult(FinishTransfer(ctx, status, final, OpError::ReceiveByteFailed), final);
}

void ReleaseDevice(void* context) { PoolFree(context); }

void SelectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, true);
}

void DeselectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, false);
}

}  // namespace intel
