#include "smbus/ali.h"

#include "smbus/host_status.h"
#include "smbus/register_transaction.h"

namespace ali {

namespace {

// Register block, offsets from the I/O base.
constexpr uint16_t kStatus = 0x00;    // the status bits in ali.h
constexpr uint16_t kProtocol = 0x01;  // transfer type
constexpr uint16_t kStart = 0x02;     // any write starts the transfer
constexpr uint16_t kAddress = 0x03;   // 7-bit address << 1 | read flag
constexpr uint16_t kData0 = 0x04;     // byte data; low byte of word data
constexpr uint16_t kData1 = 0x05;     // high byte of word data
constexpr uint16_t kCommand = 0x07;   // command byte (the SPD offset)

constexpr uint8_t kStatusClearKeep = static_cast<uint8_t>(~kStatusBusy);  // written back without it

// Type register bits that end a transfer (see ali.h).
constexpr uint8_t kM15x3Abort = 0x02, kM15x3TimeoutReset = 0x04;
constexpr uint8_t kM1535Kill = 0x04, kM1535TimeoutReset = 0x08;

constexpr uint8_t kProtocolByteData = 0x20;
constexpr uint8_t kProtocolWordData = 0x30;
constexpr uint8_t kStartValue = 0x01;

constexpr int32_t kReadSettleMs = 1;
constexpr int32_t kWriteSettleMs = 100;

// Segment switching: bits 5-6 of the M7101's configuration dword 0xB8.
constexpr uint8_t kSegmentRegister = 0xB8;
constexpr uint32_t kSegmentBits = 0x60;
constexpr uint32_t kSegmentOneBits = 0x40;  // bit 6 set, bit 5 clear
constexpr uint32_t kSwitchedSegment = 1;

// A transfer has ended with busy clear and done or an error bit: busy clear
// with neither is a completion someone else took.
constexpr host_status::HostStatusBits kStatusBits = {.BusyMask = kStatusBusy,
                                                     .IdleValue = 0,
                                                     .ErrorMask = kStatusErrorMask,
                                                     .DoneMask = kStatusDone};
// What another agent may leave standing on an idle host.
constexpr uint8_t kLeftBits = kStatusDone | kStatusErrorMask;

constexpr uint16_t Port(uint32_t ioBase, uint16_t offset) {
  return static_cast<uint16_t>(ioBase + offset);
}

AliContext* ContextOf(void* context) {
  return static_cast<AliContext*>(context);
}

void ALI_ReleaseDevice(void* context) {
  PoolFree(context);
}

void ALI_SelectSegment(void* context, uint32_t segment) {
  if (segment != kSwitchedSegment) return;
  ALI_SetSegmentBits(ContextOf(context)->FunctionLocation, kSegmentOneBits);
}

void ALI_DeselectSegment(void* context, uint32_t segment) {
  if (segment != kSwitchedSegment) return;
  ALI_SetSegmentBits(ContextOf(context)->FunctionLocation, 0);
}

constexpr SmbusOps kOps = {.Transfer = &ALI_Transfer,
                           .ReleaseDevice = &ALI_ReleaseDevice,
                           .SelectSegment = &ALI_SelectSegment,
                           .DeselectSegment = &ALI_DeselectSegment};

int32_t ALI_AcquireDevice(SmbusController* controller, const ChipFound& found) {
  if (!host_status::UsableIoBase(found.IoBase, kCommand)) return -1;
  auto* ctx = static_cast<AliContext*>(PoolAlloc(sizeof(AliContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = found.IoBase;
  ctx->FunctionLocation = found.Function;
  ctx->M1535 = (found.Chip->Quirks & kQuirkM1535Kill) != 0 ? 1 : 0;
  InstallOps(controller, ctx, kOps, *found.Chip);
  ALI_ResetStatus(found.IoBase);
  return 0;
}

constexpr uint32_t kSwitches = SwitchBit(SegmentSwitch::M7101Config);

}  // namespace

constexpr ChipDescriptor kAliM15x3Chip =
    DrivenBy(kSwitches, {.Segments = SegmentSwitch::M7101Config});
constexpr ChipDescriptor kAliM1535Chip =
    DrivenBy(kSwitches, {.Segments = SegmentSwitch::M7101Config, .Quirks = kQuirkM1535Kill});

constexpr SmbusBackend kAliBackend = MakeBackend({
    .Name = "ali",
    .Groups = nullptr,
    .GroupCount = 0,
    .Acquire = &ALI_AcquireDevice,
    .Transfer = &ALI_Transfer,
    .Switches = kSwitches,
});

uint8_t ALI_WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint8_t>(
      kStatusBits, [ioBase] { return PortReadByte(Port(ioBase, kStatus)); });
}

void ALI_ResetStatus(uint32_t ioBase) {
  const uint8_t value = PortReadByte(Port(ioBase, kStatus));
  PortWriteByte(Port(ioBase, kStatus), static_cast<uint8_t>(value & kStatusClearKeep));
}

namespace {

// Address, command and type, a look at the status, then the start register.
void Program(uint32_t ioBase, const smbus_host::Transaction& t) {
  PortWriteByte(Port(ioBase, kAddress), static_cast<uint8_t>((t.Slave << 1) | (t.IsRead & 1u)));
  PortWriteByte(Port(ioBase, kCommand), t.Command);
  PortWriteByte(Port(ioBase, kProtocol), t.Protocol);
  PortReadByte(Port(ioBase, kStatus));
  PortWriteByte(Port(ioBase, kStart), kStartValue);
}

uint8_t ReadStatus(uint32_t ioBase) {
  return PortReadByte(Port(ioBase, kStatus));
}

uint8_t WaitForEnd(uint32_t ioBase) {
  return host_status::WaitUntilFinished<uint8_t>(kStatusBits,
                                                 [ioBase] { return ReadStatus(ioBase); });
}

// A transfer that never ends: the kill bit, a bounded wait for idle; a host
// still busy then gets the bus time-out reset and another bounded wait; the
// status is cleared. The next transfer writes its own type.
void Kill(uint32_t ioBase, uint8_t kill, uint8_t timeoutReset) {
  const auto read = [ioBase] { return ReadStatus(ioBase); };
  PortWriteByte(Port(ioBase, kProtocol), kill);
  if (host_status::StillBusy(kStatusBits, host_status::WaitAfterKill<uint8_t>(kStatusBits, read))) {
    PortWriteByte(Port(ioBase, kProtocol), timeoutReset);
    host_status::WaitAfterKill<uint8_t>(kStatusBits, read);
  }
  ALI_ResetStatus(ioBase);
}

void KillM15x3(uint32_t ioBase) {
  Kill(ioBase, kM15x3Abort, kM15x3TimeoutReset);
}
void KillM1535(uint32_t ioBase) {
  Kill(ioBase, kM1535Kill, kM1535TimeoutReset);
}

// The two bridges differ only in the bits their kill writes.
constexpr smbus_host::TransactionSteps<uint8_t> StepsKilledBy(void (*kill)(uint32_t)) {
  return {.Bits = kStatusBits,
          .CallerWaitedForIdle = false,
          .WaitIdle = &ALI_WaitForBusReady,
          .Program = &Program,
          .AfterPoll = nullptr,
          .ReadSettleMs = kReadSettleMs,
          .WriteSettleMs = kWriteSettleMs,
          .WaitDone = &WaitForEnd,
          .LeftBits = kLeftBits,
          .ClearLeft = &ALI_ResetStatus,
          .Kill = kill};
}
constexpr smbus_host::TransactionSteps<uint8_t> kStepsM15x3 = StepsKilledBy(&KillM15x3);
constexpr smbus_host::TransactionSteps<uint8_t> kStepsM1535 = StepsKilledBy(&KillM1535);

}  // namespace

uint8_t ALI_CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                      uint8_t isRead, bool m1535) {
  return smbus_host::RunTransaction(m1535 ? kStepsM1535 : kStepsM15x3, ioBase,
                                    {protocol, slave, command, isRead, 0});
}

// A read: idle wait, the transfer, the data registers (whatever the
// outcome), status cleared, the verdict. A write: idle wait, the byte, the
// transfer, status cleared, another idle wait, the verdict.
int32_t ALI_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data) {
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  const AliContext* ctx = ContextOf(context);
  const uint32_t base = ctx->IoBase;
  const bool write = op == SmbusOp::WriteByte, word = op == SmbusOp::ReadWord;
  ALI_WaitForBusReady(base);
  if (write) PortWriteByte(Port(base, kData0), static_cast<uint8_t>(*data));
  const uint8_t final = ALI_CallSMBus(base, word ? kProtocolWordData : kProtocolByteData, slave,
                                      command, write ? 0 : 1, ctx->M1535 != 0);
  if (!write) {
    uint16_t value = PortReadByte(Port(base, kData0));
    if (word) value = static_cast<uint16_t>(value | PortReadByte(Port(base, kData1)) << 8);
    *data = value;
  }
  ALI_ResetStatus(base);
  if (write) ALI_WaitForBusReady(base);
  return host_status::JudgeFinalStatus(kStatusBits, status, final, HwCodeOf(op));
}

void ALI_SetSegmentBits(PciLocation location, uint32_t value) {
  const uint32_t old = PciReadConfigDword(location, kSegmentRegister);
  PciWriteConfigDword(location, (old & ~kSegmentBits) | (value & kSegmentBits), kSegmentRegister);
}

}  // namespace ali
