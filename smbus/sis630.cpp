#include "smbus/sis630.h"

#include "discovery/pci_walk.h"
#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"
#include "smbus/register_host.h"
#include "smbus/register_transaction.h"
#include "smbus/sis_ids.h"

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

uint8_t Read(uint32_t base, uint16_t reg) {
  return PortReadByte(Port(base, reg));
}
void Write(uint32_t base, uint16_t reg, uint8_t value) {
  PortWriteByte(Port(base, reg), value);
}

uint32_t ReadHostWord(uint32_t base) {
  return HostWord(Read(base, kStatus), Read(base, kControl));
}

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

constexpr OperationShape ShapeOf(SmbusOp op) {
  switch (op) {
    case SmbusOp::ReadByte: return {kSizeByteData, 1, HwCodeOf(op)};
    case SmbusOp::ReadWord: return {kSizeWordData, 1, HwCodeOf(op)};
    case SmbusOp::WriteByte: return {kSizeByteData, 0, HwCodeOf(op)};
    case SmbusOp::SendByte: return {kSizeByte, 0, HwCodeOf(op)};
    case SmbusOp::ReceiveByte: return {kSizeByte, 1, HwCodeOf(op)};
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
int32_t Verdict(SmbusOp op, OpStatus* status, uint32_t final, uint32_t hwCode) {
  if (host_status::JudgeFinalStatus(kBits, status, final, hwCode) == 0) return 0;
  const bool byteProtocol = op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte;
  const bool noAcknowledge = (final & (kBusyBits | kStatusEndBits)) == kStatusDeviceError;
  return byteProtocol && noAcknowledge ? kNotAcknowledged : -1;
}

void ReleaseDevice(void* context) {
  PoolFree(context);
}

constexpr SmbusOps kOps = {.Transfer = &Transfer, .ReleaseDevice = &ReleaseDevice};

bool BlockAtE0(const ChipDescriptor& chip) {
  return (chip.Quirks & kQuirkBlockAtE0) != 0;
}

int32_t AcquireChip(SmbusController* controller, const ChipFound& found);
bool DecideAfterWalk(const PciDeviceRecord* functions, uint32_t count, ChipFound* found,
                     const PciDeviceRecord** chosen);

// The host bridges that place the block, and the south-bridge functions
// that carry the ACPI block holding it.
constexpr ChipId kHostBridges630[] = {{.DeviceId = sis::ids::kSis630},
                                      {.DeviceId = sis::ids::kSis730}};
constexpr ChipId kHostBridges760[] = {{.DeviceId = sis::ids::kSis760}};
// On 630/730 boards the south bridge's 0x0008 function.
constexpr ChipId kSouthBridges[] = {{.DeviceId = sis::ids::kSisSouthBridge},
                                    {.DeviceId = sis::ids::kSisLpcBridge},
                                    {.DeviceId = sis::ids::kSis964}};

template <size_t N>
bool Listed(const ChipId (&ids)[N], const PciDeviceRecord& f) {
  if (f.VendorId != kVendorSis) return false;
  for (const ChipId& id : ids) {
    if (id.DeviceId == f.DeviceId) return true;
  }
  return false;
}

}  // namespace

// Send and receive byte run: the page-transfer trait is set.
constexpr ChipDescriptor kSis630Chip = DrivenBy(0, {.Traits = kChipPageTransfers});
constexpr ChipDescriptor kSis760Chip =
    DrivenBy(0, {.Traits = kChipPageTransfers, .Quirks = kQuirkBlockAtE0});

constexpr SmbusBackend kSis630Backend = MakeBackend({
    .Name = "sis630",
    .Groups = nullptr,
    .GroupCount = 0,
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = 0,
    .DecideAfterWalk = &DecideAfterWalk,
});

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
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
    const bool send = op == SmbusOp::SendByte;
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

namespace {

bool DecideAfterWalk(const PciDeviceRecord* functions, uint32_t count, ChipFound* found,
                     const PciDeviceRecord** chosen) {
  bool host630 = false, host760 = false;
  const PciDeviceRecord* south = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    const PciDeviceRecord& f = functions[i];
    host630 = host630 || Listed(kHostBridges630, f);
    host760 = host760 || Listed(kHostBridges760, f);
    if (south == nullptr && Listed(kSouthBridges, f)) south = &f;
  }
  if (south == nullptr || !(host630 || host760)) return false;
  // The 964 keeps its block at +0xE0 as the 760 does.
  const bool atE0 = host760 || south->DeviceId == sis::ids::kSis964;
  const PciLocation location = {static_cast<uint8_t>(south->Bus),
                                static_cast<uint8_t>(south->Device),
                                static_cast<uint8_t>(south->Function)};
  *found = {.Chip = atE0 ? &kSis760Chip : &kSis630Chip, .Function = location, .IoBase = 0};
  *chosen = south;
  return true;
}

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  const PciLocation function = found.Function;
  const ChipDescriptor& chip = *found.Chip;
  const auto acpiControl = static_cast<uint8_t>(PciReadConfigField(function, kAcpiControl));
  // Linux sets the decode bit when it finds it clear; a block the BIOS left
  // off may hold nothing or another device's stale decode, so it is refused.
  if ((acpiControl & kAcpiDecodeEnable) == 0) {
    DebugPrintHook(
        "smbcore: SiS ACPI decoding is off (configuration byte 40 reads %02X): "
        "SMBus not used\n",
        acpiControl);
    return -1;
  }
  // The word is taken as read, as Linux takes it.
  const uint32_t acpiBase = PciReadConfigField(function, kAcpiBaseWord) & 0xFFFFu;
  const uint32_t base = acpiBase + (BlockAtE0(chip) ? kSmbusOffset760 : kSmbusOffset630);
  if (acpiBase == 0 || !host_status::UsableIoBase(base, kBlockEnd)) return -1;
  auto* ctx = static_cast<Sis630Context*>(PoolAlloc(sizeof(Sis630Context)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = base;
  InstallOps(controller, ctx, kOps, chip);
  DebugPrintHook(BlockAtE0(chip) ? "smbcore: SiS 760/964 SMBus at %04X\n"
                                 : "smbcore: SiS 630/730 SMBus at %04X\n",
                 base);
  return 0;
}

}  // namespace

}  // namespace sis630
