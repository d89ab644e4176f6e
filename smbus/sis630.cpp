#include "smbus/sis630.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/register_host.h"
#include "smbus/register_transaction.h"

namespace sis630 {

namespace {

using smbus_host::Port;

// The poll reads control and status as one HostWord: busy is control's bits
// 0-1; a transfer has ended when status bit 1, 2 or 3 is set (Linux's rule,
// which the sheet follows); bit 3 is the completion, bits 1 and 2 the errors.
constexpr uint32_t kBusyBits = HostWord(0, kControlBusyMask);
constexpr host_status::HostStatusBits kBits = {.BusyMask = kBusyBits,
                                               .IdleValue = 0,
                                               .ErrorMask = kStatusDeviceError | kStatusCollision,
                                               .DoneMask = kStatusCompletion};

// The last register of the block a transfer uses.
constexpr uint32_t kBlockEnd = kData1;

uint8_t Read(uint32_t base, uint16_t reg) { return PortReadByte(Port(base, reg)); }
void Write(uint32_t base, uint16_t reg, uint8_t value) { PortWriteByte(Port(base, reg), value); }

uint32_t ReadHostWord(uint32_t base) { return HostWord(Read(base, kStatus), Read(base, kControl)); }

// The kill, then a bounded wait for the host to let go.
void Kill(uint32_t base) {
  Write(base, kHostControl, kHostKill);
  host_status::WaitAfterKill<uint32_t>(kBits, [base] { return ReadHostWord(base); });
}

// Host control takes the size and the start together.
void Program(uint32_t base, const smbus_host::Transaction& t) {
  Write(base, kAddress, smbus_host::AddressByte(t.Slave, t.IsRead));
  Write(base, kCommand, t.Command);
  if (t.Protocol == kSizeByteData && t.IsRead == 0) Write(base, kData0, t.Data0);
  Write(base, kHostControl, static_cast<uint8_t>(kHostStart | t.Protocol));
}

uint32_t WaitDone(uint32_t base) {
  return host_status::WaitUntilFinished<uint32_t>(kBits, [base] { return ReadHostWord(base); });
}

// The caller has found the host idle and cleared its status; the poll is
// the bound every host here has (3000 polls 1 ms apart; Linux polls 500),
// and a transfer we started that is still running after it is killed.
constexpr smbus_host::TransactionSteps<uint32_t> kSteps = {
    .Bits = kBits,
    .CallerWaitedForIdle = true,
    .WaitIdle = nullptr,
    .Program = &Program,
    .AfterPoll = nullptr,
    .ReadSettleMs = smbus_host::kReadSettleMs,
    .WriteSettleMs = smbus_host::kWriteSettleMs,  // the EEPROM's write cycle
    .WaitDone = &WaitDone,
    .Kill = &Kill,
};
// Send byte: no EEPROM write cycle follows a page select.
constexpr smbus_host::TransactionSteps<uint32_t> ByteSteps() {
  smbus_host::TransactionSteps<uint32_t> steps = kSteps;
  steps.WriteSettleMs = steps.ReadSettleMs;
  return steps;
}
constexpr smbus_host::TransactionSteps<uint32_t> kByteSteps = ByteSteps();

struct OperationShape {
  uint8_t Size;
  uint8_t IsRead;
  uint32_t HwCode;
};

constexpr OperationShape ShapeOf(Operation op) {
  switch (op) {
    case Operation::ReadByte: return {kSizeByteData, 1, OpError::ReadByteFailed};
    case Operation::ReadWord: return {kSizeWordData, 1, OpError::ReadWordFailed};
    case Operation::WriteByte: return {kSizeByteData, 0, OpError::WriteByteFailed};
    case Operation::SendByte: return {kSizeByte, 0, OpError::SendByteFailed};
    case Operation::ReceiveByte: return {kSizeByte, 1, OpError::ReceiveByteFailed};
  }
  return {kSizeQuick, 0, 0};
}

// Before the start: a busy host is waited for (firmware's transfer ends by
// itself), then killed; still busy, it is not used. The poll limit and the
// wait before the kill are this driver's bounds; Linux kills at once.
bool HostIdle(uint32_t base, OpStatus* status, uint32_t hwCode) {
  const uint32_t seen =
      host_status::WaitWhileBusy<uint32_t>(kBits, [base] { return ReadHostWord(base); });
  if (!host_status::StillBusy(kBits, seen)) return true;
  Kill(base);
  const uint32_t after = ReadHostWord(base);
  return host_status::RefuseBusyHost(kBits, status, after, hwCode) == 0;
}

// The end bits others left are written back as 1 (value & 0x1E, Linux's
// mask); a status that still shows an end after that would end our poll
// at once, so the host is not started.
bool StatusCleared(uint32_t base, OpStatus* status, uint32_t hwCode) {
  const uint8_t left = Read(base, kStatus);
  if ((left & kStatusClearMask) == 0) return true;
  Write(base, kStatus, static_cast<uint8_t>(left & kStatusClearMask));
  const uint32_t now = ReadHostWord(base);
  if ((now & kStatusEndBits) == 0) return true;
  SetHwFailure(status, hwCode, now);
  return false;
}

// Control's clock select and time-out enable as `saved` had them; the
// busy bits are written as 0.
void PutBackControl(uint32_t base, uint8_t saved) {
  const uint8_t now = Read(base, kControl);
  if (((now ^ saved) & kControlFirmwareBits) == 0) return;
  const auto value = static_cast<uint8_t>((now & ~(kControlFirmwareBits | kControlBusyMask)) |
                                          (saved & kControlFirmwareBits));
  Write(base, kControl, value);
}

// A send or receive byte that ended with the device error alone went
// unacknowledged: an answer on the byte protocols, which have no command
// the slave could refuse.
int32_t Verdict(Operation op, OpStatus* status, uint32_t final, uint32_t hwCode) {
  if (host_status::JudgeFinalStatus(kBits, status, final, hwCode) == 0) return 0;
  const bool byteProtocol = op == Operation::SendByte || op == Operation::ReceiveByte;
  const bool noAcknowledge = (final & (kBusyBits | kStatusEndBits)) == kStatusDeviceError;
  return byteProtocol && noAcknowledge ? kNotAcknowledged : -1;
}

}  // namespace

int32_t Transfer(void* context, OpStatus* status, Operation op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  const uint32_t base = static_cast<Sis630Context*>(context)->IoBase;
  const OperationShape shape = ShapeOf(op);
  if (!HostIdle(base, status, shape.HwCode)) return -1;

  // The master time-out stays off for our transfer (its interrupt is
  // firmware's); put back afterwards.
  const uint8_t saved = Read(base, kControl);
  if ((saved & kControlTimeoutEnable) != 0) {
    const auto off = static_cast<uint8_t>(saved & ~(kControlTimeoutEnable | kControlBusyMask));
    Write(base, kControl, off);
  }
  int32_t result = -1;
  if (StatusCleared(base, status, shape.HwCode)) {
    const bool send = op == Operation::SendByte;
    const smbus_host::Transaction t = {
        .Protocol = shape.Size,
        .Slave = slave,
        .Command = send ? static_cast<uint8_t>(*data) : command,  // the byte a send byte sends
        .IsRead = shape.IsRead,
        .Data0 = shape.IsRead != 0 ? uint8_t{0} : static_cast<uint8_t>(*data),
    };
    const uint32_t final =
        smbus_host::RunTransaction(shape.Size == kSizeByte ? kByteSteps : kSteps, base, t);
    result = Verdict(op, status, final, shape.HwCode);
    if (result == 0 && shape.IsRead != 0) {
      const uint8_t low = Read(base, kData0);
      *data = shape.Size == kSizeWordData ? static_cast<uint16_t>(low | (Read(base, kData1) << 8))
                                          : low;
    }
  }
  Write(base, kStatus, kStatusAllOnes);
  PutBackControl(base, saved);
  return result;
}

int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t) {
  const auto acpiControl = static_cast<uint8_t>(PciReadConfigField(function, kAcpiControl));
  // Linux sets the decode bit when it finds it clear; a block the BIOS left
  // off may hold nothing or another device's stale decode, so it is refused.
  if ((acpiControl & kAcpiDecodeEnable) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: SiS ACPI decoding is off (configuration byte 40 reads %02X): "
                     "SMBus not used\n",
                     acpiControl);
    }
    return -1;
  }
  // The word is taken as read, as Linux takes it.
  const uint32_t acpiBase = PciReadConfigField(function, kAcpiBaseWord) & 0xFFFFu;
  const uint32_t base =
      acpiBase + (chip.Model == kChip760 ? kSmbusOffset760 : kSmbusOffset630);
  if (acpiBase == 0 || !host_status::UsableIoBase(base, kBlockEnd)) return -1;
  auto* ctx = static_cast<Sis630Context*>(PoolAlloc(sizeof(Sis630Context)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = base;

  // ---- Adapters to today's per-operation controller slots; they go when
  // the controller takes one transfer entry. These chipsets carry SDR and
  // DDR modules, no EE1004 pages: no send / receive byte slots.
  struct Slots {
    static int32_t ReadByte(void* c, OpStatus* s, uint8_t slave, uint8_t command, uint8_t* v) {
      uint16_t word = 0;
      const int32_t r = Transfer(c, s, Operation::ReadByte, slave, command, &word);
      *v = static_cast<uint8_t>(word);
      return r;
    }
    static int32_t ReadWord(void* c, OpStatus* s, uint8_t slave, uint8_t command, uint16_t* v) {
      return Transfer(c, s, Operation::ReadWord, slave, command, v);
    }
    static int32_t WriteByte(void* c, OpStatus* s, uint8_t slave, uint8_t command, uint8_t v) {
      uint16_t word = v;
      return Transfer(c, s, Operation::WriteByte, slave, command, &word);
    }
  };
  constexpr SmbusOps kOps = {.ReadByte = &Slots::ReadByte,
                             .ReadWord = &Slots::ReadWord,
                             .WriteByte = &Slots::WriteByte,
                             .ReleaseDevice = &ReleaseDevice,
                             .SelectSegment = nullptr,
                             .DeselectSegment = nullptr};
  // ---- end of the adapters
  InstallOps(controller, ctx, kOps);

  if (DebugPrintHook != nullptr) {
    DebugPrintHook(chip.Model == kChip760 ? "smbcore: SiS 760/964 SMBus at %04X\n"
                                          : "smbcore: SiS 630/730 SMBus at %04X\n",
                   base);
  }
  return 0;
}

void ReleaseDevice(void* context) { PoolFree(context); }

}  // namespace sis630
