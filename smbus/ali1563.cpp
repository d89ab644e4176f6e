#include "smbus/ali1563.h"

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"
#include "smbus/register_transaction.h"

namespace ali1563 {

namespace {

// Idle: the busy bit clear. Finished well: busy clear and no error, as the
// silicon reports it; the done bit does not latch on every part, so it is
// not asked for.
constexpr host_status::HostStatusBits kIdleBits = {kStatusBusy, 0, kStatusErrorMask};
// Control 2's bits besides the size, start and kill: written as read.
constexpr uint8_t kControl2Keep =
    static_cast<uint8_t>(~(kControl2SizeMask | kControl2Start | kControl2Kill));

uint16_t Port(uint32_t ioBase, uint8_t offset) {
  return static_cast<uint16_t>(ioBase + offset);
}

uint32_t BaseOf(void* context) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context));
}

uint8_t ReadStatus(uint32_t ioBase) {
  return PortReadByte(Port(ioBase, kHostStatus));
}

// The end of every transfer: the status cleared, then the verdict on the
// final one.
int32_t Finish(uint32_t ioBase, OpStatus* status, uint8_t finalStatus, uint32_t hwCode) {
  ResetStatus(ioBase);
  return host_status::JudgeFinalStatus(kIdleBits, status, finalStatus, hwCode);
}

void ReleaseDevice(void*) {}

constexpr SmbusOps kOps = {.Transfer = &Transfer, .ReleaseDevice = &ReleaseDevice};

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  if (!host_status::UsableIoBase(found.IoBase, kBlockData)) return -1;
  InstallOps(controller, reinterpret_cast<void*>(static_cast<uintptr_t>(found.IoBase)), kOps,
             *found.Chip);
  return 0;
}

// Base in bits 15-4 of word 0x80 (SMBBA), I/O decode (bit 0) and host
// (bit 1) enabled in its low byte.
constexpr ChipDescriptor kM1563 = DrivenBy(
    0, {.BaseRegister = 0x80, .BaseMask = 0xFFF0, .EnableRegister = 0x80, .EnableBits = 0x03});
namespace ids {
constexpr uint16_t kM1563 = 0x1563;  // the south bridge's function 0
}  // namespace ids

constexpr ChipId kM1563Ids[] = {
    {.DeviceId = ids::kM1563,
     .Message = "smbcore: Found ALi M1563 rev=%02X\n",
     .Args = MessageArgs::Revision},
};
constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorAli, .Chip = &kM1563, .Ids = kM1563Ids, .IdCount = CountOf(kM1563Ids)},
};

}  // namespace

constexpr SmbusBackend kAli1563Backend = MakeBackend({
    .Name = "ali1563",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = 0,
});

uint8_t WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint8_t>(kIdleBits, [ioBase] { return ReadStatus(ioBase); });
}

void ResetStatus(uint32_t ioBase) {
  PortWriteByte(Port(ioBase, kHostStatus), ReadStatus(ioBase));
}

namespace {

// The status cleared first; a write's byte goes in with the start.
void Program(uint32_t ioBase, const smbus_host::Transaction& t) {
  ResetStatus(ioBase);
  if (t.IsRead == 0) PortWriteByte(Port(ioBase, kData0), t.Data0);
  PortWriteByte(Port(ioBase, kSlaveAddress),
                static_cast<uint8_t>((t.Slave << 1) | (t.IsRead & 1u)));
  PortWriteByte(Port(ioBase, kHostCommand), t.Command);
  const uint8_t control2 = PortReadByte(Port(ioBase, kHostControl2));
  PortWriteByte(Port(ioBase, kHostControl2),
                static_cast<uint8_t>((control2 & kControl2Keep) | t.Protocol | kControl2Start));
}

uint8_t KillOrReset(uint32_t ioBase, uint8_t final) {
  if (host_status::StillBusy(kIdleBits, final)) {
    // A transfer that never ends is killed; the kill's own status says so.
    // The kill bit stays set until control 2 is written again: 0, so that
    // the next start is not killed with it.
    PortWriteByte(Port(ioBase, kHostControl2), kControl2Kill);
    DelayMs(kKillSettleMs);
    final = ReadStatus(ioBase);
    PortWriteByte(Port(ioBase, kHostControl2), 0);
  }
  if ((final & kStatusBusError) != 0) {
    PortWriteByte(Port(ioBase, kHostControl1), kControl1BusReset);
  }
  return final;
}

constexpr smbus_host::TransactionSteps<uint8_t> kSteps = {.Bits = kIdleBits,
                                                          .CallerWaitedForIdle = false,
                                                          .WaitIdle = &WaitForBusReady,
                                                          .Program = &Program,
                                                          .AfterPoll = &KillOrReset,
                                                          .ReadSettleMs = kReadSettleMs,
                                                          .WriteSettleMs = kWriteSettleMs};

}  // namespace

uint8_t CallSMBus(uint32_t ioBase, uint8_t size, uint8_t slave, uint8_t command, uint8_t isRead,
                  uint8_t data0) {
  return smbus_host::RunTransaction(kSteps, ioBase, {size, slave, command, isRead, data0});
}

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  const uint32_t base = BaseOf(context);
  const bool write = op == SmbusOp::WriteByte, word = op == SmbusOp::ReadWord;
  const uint8_t final = CallSMBus(base, word ? kSizeWordData : kSizeByteData, slave, command,
                                  write ? 0 : 1, write ? static_cast<uint8_t>(*data) : 0);
  if (!write) {
    const uint8_t low = PortReadByte(Port(base, kData0));
    const uint8_t high = word ? PortReadByte(Port(base, kData1)) : 0;
    *data = static_cast<uint16_t>(low | (high << 8));
  }
  return Finish(base, status, final, HwCodeOf(op));
}

}  // namespace ali1563
