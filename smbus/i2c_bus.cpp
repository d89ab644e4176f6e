#include "smbus/i2c_bus.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/i2c_pins.h"
#include "smbus/pci_vendors.h"

namespace {

constexpr uint8_t kReadFlag = 0x01;      // bit 0 of the address byte
constexpr int32_t kAckReadingStep = 10;  // I2C_WaitAck counts each reading as 10
constexpr uint32_t kPollRetries = 100;   // completion poll after a write, 1 ms apart
constexpr int32_t kPollIntervalMs = 1;
constexpr uint8_t kPollByte = 0x00;  // sent to the device once the poll is acknowledged
// A slave left in the middle of sending a byte lets SDA go within nine clocks
// (at the latest at its acknowledge bit).
constexpr uint32_t kRecoveryClocks = 9;

// One change of the lines: SCL first, then SDA, then a zero-length delay,
// the only pacing there is.
void Step(I2cBus* bus, uint8_t scl, uint8_t sda) {
  bus->SetScl(bus, scl);
  bus->SetSda(bus, sda);
  DelayMs(0);
}

// SCL is high and a slave holds SDA low: it is still sending a byte of a
// read that was cut short (a reset, a transfer that lost clocks). Clock it
// until it lets SDA go, then end its transfer: SDA falls and rises while SCL
// is high, a START every slave sees in any state and the STOP that frees the
// bus. False when SDA stays low, a line no clocking frees.
bool RecoverBus(I2cBus* bus) {
  for (uint32_t clock = 0; clock < kRecoveryClocks && bus->GetSda(bus) == 0; ++clock) {
    Step(bus, 0, 1);
    Step(bus, 1, 1);
  }
  if (bus->GetSda(bus) == 0) return false;
  Step(bus, 1, 0);
  Step(bus, 1, 1);
  return true;
}

uint8_t AddressByte(uint8_t slave) {
  return static_cast<uint8_t>(slave << 1);
}

int32_t Fail(OpStatus* status, uint32_t hwCode, uint32_t detail) {
  SetHwFailure(status, hwCode, detail);
  return -1;
}

}  // namespace

void I2C_Stop(I2cBus* bus) {
  Step(bus, 0, 0);
  Step(bus, 1, 0);
  Step(bus, 1, 1);  // SDA rises while SCL is high
}

void I2C_SendBit(I2cBus* bus, uint8_t bit) {
  Step(bus, 0, bit);
  Step(bus, 1, bit);
  Step(bus, 0, bit);
}

void I2C_SendByte(I2cBus* bus, uint8_t value) {
  for (int bit = 7; bit >= 0; --bit) I2C_SendBit(bus, static_cast<uint8_t>((value >> bit) & 1u));
}

uint8_t I2C_WaitAck(I2cBus* bus, int32_t limit) {
  Step(bus, 0, 1);
  Step(bus, 1, 1);
  uint8_t sda = bus->GetSda(bus);
  for (int32_t elapsed = 0; sda != 0;) {
    DelayMs(0);
    elapsed += kAckReadingStep;
    if (elapsed >= limit) break;
    sda = bus->GetSda(bus);
  }
  Step(bus, 0, 1);
  return sda;
}

uint8_t I2C_StartAddress(I2cBus* bus, uint8_t addressByte) {
  Step(bus, 1, 1);
  if (bus->GetSda(bus) == 0 && !RecoverBus(bus)) {
    // A START cannot be made on a data line held low; what would follow
    // reads as acknowledged and all zeros, so nothing is sent.
    I2C_Stop(bus);
    return 1;
  }
  Step(bus, 1, 0);  // SDA falls while SCL is high
  Step(bus, 0, 0);
  I2C_SendByte(bus, addressByte);
  if (I2C_WaitAck(bus, kI2cAckLimit) != 0) {
    I2C_Stop(bus);
    return 1;
  }
  return 0;
}

uint8_t I2C_ReceiveByte(I2cBus* bus, uint8_t lastByte) {
  Step(bus, 0, 1);
  uint8_t value = 0;
  for (int bit = 7; bit >= 0; --bit) {
    Step(bus, 1, 1);
    if (bus->GetSda(bus) != 0) value = static_cast<uint8_t>(value | (1u << bit));
    Step(bus, 0, 1);
  }
  I2C_SendBit(bus, lastByte == 1 ? 1 : 0);
  return value;
}

namespace {

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint8_t* value) {
  auto* bus = static_cast<I2cBus*>(context);
  const uint8_t address = AddressByte(slave);
  if (I2C_StartAddress(bus, address) != 0) {
    return Fail(status, OpError::ReadByteFailed, I2cDetail::AddressNotAcknowledged);
  }
  I2C_SendByte(bus, command);
  if (I2C_WaitAck(bus, kI2cAckLimit) != 0) {
    // No STOP: the next transfer's START raises both lines first.
    return Fail(status, OpError::ReadByteFailed, I2cDetail::ByteNotAcknowledged);
  }
  if (I2C_StartAddress(bus, static_cast<uint8_t>(address | kReadFlag)) != 0) {
    return Fail(status, OpError::ReadByteFailed, I2cDetail::AddressNotAcknowledged);
  }
  *value = I2C_ReceiveByte(bus, 1);
  I2C_Stop(bus);
  return 0;
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint16_t* value) {
  uint8_t low = 0;
  uint8_t high = 0;
  if (ReadByte(context, status, slave, command, &low) != 0) {
    return Fail(status, OpError::ReadWordFailed, I2cDetail::AddressNotAcknowledged);
  }
  *value = low;  // stays in the output if the high byte fails
  if (ReadByte(context, status, slave, static_cast<uint8_t>(command + 1), &high) != 0) {
    return Fail(status, OpError::ReadWordFailed, I2cDetail::AddressNotAcknowledged);
  }
  *value = static_cast<uint16_t>(low | (high << 8));
  return 0;
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint8_t value) {
  auto* bus = static_cast<I2cBus*>(context);
  const uint8_t address = AddressByte(slave);
  if (I2C_StartAddress(bus, address) != 0) {
    return Fail(status, OpError::WriteByteFailed, I2cDetail::AddressNotAcknowledged);
  }
  I2C_SendByte(bus, command);
  if (I2C_WaitAck(bus, kI2cAckLimit) != 0) {
    return Fail(status, OpError::WriteByteFailed, I2cDetail::ByteNotAcknowledged);
  }
  I2C_SendByte(bus, value);
  if (I2C_WaitAck(bus, kI2cAckLimit) != 0) {
    return Fail(status, OpError::WriteByteFailed, I2cDetail::ByteNotAcknowledged);
  }
  I2C_Stop(bus);

  // The device does not answer its address while it writes the byte.
  uint32_t retries = 0;
  while (I2C_StartAddress(bus, address) != 0) {
    if (retries == kPollRetries) {
      return Fail(status, OpError::WriteByteFailed, I2cDetail::ByteNotAcknowledged);
    }
    ++retries;
    DelayMs(kPollIntervalMs);
  }
  I2C_SendByte(bus, kPollByte);
  if (I2C_WaitAck(bus, kI2cAckLimit) != 0) {
    return Fail(status, OpError::WriteByteFailed, I2cDetail::ByteNotAcknowledged);
  }
  I2C_Stop(bus);
  return 0;
}

constexpr SmbusOps kOps = {.Transfer = &I2C_Transfer, .ReleaseDevice = &I2C_ReleaseDevice};

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  const I2cPinDriver* pins =
      (found.Chip->Quirks & kQuirkVia586bPins) != 0 ? &kVia586bPins : &kSis96xPins;
  if (!host_status::UsableIoBase(found.IoBase, pins->BlockEnd)) return -1;
  auto* bus = static_cast<I2cBus*>(PoolAlloc(sizeof(I2cBus)));
  if (bus == nullptr) return -1;
  bus->IoBase = found.IoBase;
  bus->Open = pins->Open;
  bus->Close = pins->Close;
  bus->SetSda = pins->SetSda;
  bus->SetScl = pins->SetScl;
  bus->GetSda = pins->GetSda;
  bus->GetScl = pins->GetScl;
  bus->Open(bus);
  I2C_Stop(bus);  // both lines high: the bus is idle

  InstallOps(controller, bus, kOps, *found.Chip);
  return 0;
}

// The VIA 586B: its GPIO block's base in dword 0x20 on revision E (0x00),
// in dword 0x48 on the others.
constexpr ChipDescriptor kVia586bRevE =
    DrivenBy(0, {.BaseRegister = 0x20, .BaseMask = 0xFFF0, .Quirks = kQuirkVia586bPins});
constexpr ChipDescriptor kVia586b =
    DrivenBy(0, {.BaseRegister = 0x48, .BaseMask = 0xFFF0, .Quirks = kQuirkVia586bPins});
namespace ids {
constexpr uint16_t kVt82C586B = 0x3040;  // its power-management function, holding the GPIO block
}  // namespace ids

constexpr ChipId kRevEIds[] = {
    {.DeviceId = ids::kVt82C586B,
     .RevisionId = 0x00,
     .Message = "smbcore: Found VIA 586B Revision E\n"},
};
constexpr ChipId kLaterIds[] = {
    {.DeviceId = ids::kVt82C586B,
     .RevisionId = 0x01,
     .Message = "smbcore: Found VIA 586B Revision F\n"},
    {.DeviceId = ids::kVt82C586B,
     .RevisionId = 0x10,
     .Message = "smbcore: Found VIA 586B Prod-Rev A\n"},
    {.DeviceId = ids::kVt82C586B,
     .Message = "smbcore: Found VIA 586B, revid: %02X\n",
     .Args = MessageArgs::Revision},
};
constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorVia, .Chip = &kVia586bRevE, .Ids = kRevEIds, .IdCount = CountOf(kRevEIds)},
    {.VendorId = kVendorVia, .Chip = &kVia586b, .Ids = kLaterIds, .IdCount = CountOf(kLaterIds)},
};

}  // namespace

constexpr ChipDescriptor kSis96xChip = DrivenBy(0, {});

constexpr SmbusBackend kI2cBackend = MakeBackend({
    .Name = "i2c",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &I2C_Transfer,
    .Switches = 0,
});

int32_t I2C_Transfer(void* bus, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data) {
  switch (op) {
    case SmbusOp::ReadByte: {
      uint8_t value = 0;
      const int32_t result = ReadByte(bus, status, slave, command, &value);
      *data = value;
      return result;
    }
    case SmbusOp::ReadWord: return ReadWord(bus, status, slave, command, data);
    case SmbusOp::WriteByte:
      return WriteByte(bus, status, slave, command, static_cast<uint8_t>(*data));
    default: return NoSuchTransfer(status, op);
  }
}

void I2C_ReleaseDevice(void* context) {
  auto* bus = static_cast<I2cBus*>(context);
  if (bus->Close != nullptr) bus->Close(bus);
  PoolFree(bus);
}
