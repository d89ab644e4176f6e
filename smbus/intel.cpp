#include "smbus/intel.h"

#include "hw/hw.h"

namespace intel {

namespace {

using namespace smbus_host;

// Host status clearing: bits 1-4 (interrupt, device error, bus collision,
// failed) are written as 1, which clears them; the rest as read.
constexpr uint8_t kStatusClearBits = 0x1E;
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
constexpr uint8_t kSuperIoLogicalDevice = 0x07;
constexpr uint8_t kSuperIoSwitchDevice = 0x08;
constexpr uint8_t kSuperIoSwitchRegister = 0xF1;
constexpr uint8_t kSuperIoSelector = 2;

constexpr uint8_t WithSelector(uint8_t old, uint8_t selector) {
  return static_cast<uint8_t>((old & kSelectorKeepMask) | (selector << kSelectorShift));
}

void LoadFiller(uint32_t ioBase) { PortWriteWord(Port(ioBase, kData0), kDataFiller); }

// The end of every transfer: filler back in, status cleared, then the verdict.
int32_t FinishTransfer(uint32_t ioBase, OpStatus* status, uint8_t finalStatus, uint32_t hwCode) {
  LoadFiller(ioBase);
  ResetStatus(ioBase);
  return JudgeTransfer(status, finalStatus, hwCode);
}

void WriteSelector(const IntelContext* ctx, uint32_t segment, bool select) {
  if (segment != kSwitchedSegment) return;
  if (ctx->Variant == 0) {
    const uint8_t old = PortReadByte(kBoardLatchPort);
    PortWriteByte(kBoardLatchPort, WithSelector(old, select ? kLatchSelector : 0));
  } else if (ctx->Variant == 1) {
    // The chip is left in configuration mode: no exit sequence follows.
    PortWriteByte(kSuperIoIndex, kSuperIoEnterKey);
    PortWriteByte(kSuperIoIndex, kSuperIoEnterKey);
    PortWriteByte(kSuperIoIndex, kSuperIoLogicalDevice);
    PortWriteByte(kSuperIoData, kSuperIoSwitchDevice);
    PortWriteByte(kSuperIoIndex, kSuperIoSwitchRegister);
    const uint8_t old = PortReadByte(kSuperIoData);
    PortWriteByte(kSuperIoIndex, kSuperIoSwitchRegister);
    PortWriteByte(kSuperIoData, WithSelector(old, select ? kSuperIoSelector : 0));
  }
}

}  // namespace

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant) {
  auto* ctx = static_cast<IntelContext*>(PoolAlloc(sizeof(IntelContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Variant = variant;
  controller->Context = ctx;
  controller->ReadByte = &ReadByte;
  controller->ReadWord = &ReadWord;
  controller->WriteByte = &WriteByte;
  controller->ReleaseDevice = &ReleaseDevice;
  controller->SelectSegment = &SelectSegment;
  controller->DeselectSegment = &DeselectSegment;
  ResetStatus(ioBase);
  return 0;
}

void ResetStatus(uint32_t ioBase) { WriteBackStatus(ioBase, 0xFF, kStatusClearBits); }

uint8_t CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                  uint8_t isRead) {
  PortWriteByte(Port(ioBase, kHostCommand), command);
  PortWriteByte(Port(ioBase, kSlaveAddress), AddressByte(slave, isRead));
  PortWriteByte(Port(ioBase, kHostControl), static_cast<uint8_t>(protocol | kControlStart));
  // Some hosts begin the transfer only when their status is next read (QEMU's
  // PIIX4 does while its interrupt is off, and reports busy on that read).
  // Read it here, so that the settle time covers the transfer instead of the
  // first poll finding it just begun and costing another millisecond.
  PortReadByte(Port(ioBase, kHostStatus));
  DelayMs(isRead != 0 ? kReadSettleMs : kWriteSettleMs);
  return WaitForBusReady(ioBase);
}

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value) {
  const uint32_t base = static_cast<IntelContext*>(context)->IoBase;
  WaitForBusReady(base);
  LoadFiller(base);
  const uint8_t final = CallSMBus(base, kProtocolByteData, slave, command, 1);
  *value = PortReadByte(Port(base, kData0));
  return FinishTransfer(base, status, final, OpError::ReadByteFailed);
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value) {
  const uint32_t base = static_cast<IntelContext*>(context)->IoBase;
  LoadFiller(base);
  WaitForBusReady(base);
  const uint8_t final = CallSMBus(base, kProtocolWordData, slave, command, 1);
  *value = PortReadWord(Port(base, kData0));  // data 0 low, data 1 high
  return FinishTransfer(base, status, final, OpError::ReadWordFailed);
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value) {
  const uint32_t base = static_cast<IntelContext*>(context)->IoBase;
  WaitForBusReady(base);
  PortWriteByte(Port(base, kData0), value);
  const uint8_t final = CallSMBus(base, kProtocolByteData, slave, command, 0);
  return FinishTransfer(base, status, final, OpError::WriteByteFailed);
}

void ReleaseDevice(void* context) { PoolFree(context); }

void SelectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, true);
}

void DeselectSegment(void* context, uint32_t segment) {
  WriteSelector(static_cast<IntelContext*>(context), segment, false);
}

}  // namespace intel
