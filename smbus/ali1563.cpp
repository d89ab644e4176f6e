#include "smbus/ali1563.h"

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/host_status.h"

namespace ali1563 {

namespace {

// Idle: the busy bit clear. Finished well: busy clear, done set, no error.
constexpr host_status::HostStatusBits kIdleBits = {kStatusBusy, 0, kStatusErrorMask};
constexpr host_status::HostStatusBits kFinishedBits = {kStatusBusy | kStatusDone, kStatusDone,
                                                       kStatusErrorMask};

uint16_t Port(uint32_t ioBase, uint8_t offset) { return static_cast<uint16_t>(ioBase + offset); }

uint32_t BaseOf(void* context) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context));
}

uint8_t ReadStatus(uint32_t ioBase) { return PortReadByte(Port(ioBase, kHostStatus)); }

// The end of every transfer: the status cleared, then the verdict on the
// final one.
int32_t Finish(uint32_t ioBase, OpStatus* status, uint8_t finalStatus, uint32_t hwCode) {
  ResetStatus(ioBase);
  return host_status::JudgeFinalStatus(kFinishedBits, status, finalStatus, hwCode);
}

}  // namespace

int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t) {
  if (!host_status::UsableIoBase(ioBase, kBlockData)) return -1;
  controller->Context = reinterpret_cast<void*>(static_cast<uintptr_t>(ioBase));
  controller->ReadByte = &ReadByte;
  controller->ReadWord = &ReadWord;
  controller->WriteByte = &WriteByte;
  controller->ReleaseDevice = &ReleaseDevice;
  return 0;
}

uint8_t WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint8_t>(kIdleBits, [ioBase] { return ReadStatus(ioBase); });
}

void ResetStatus(uint32_t ioBase) { PortWriteByte(Port(ioBase, kHostStatus), ReadStatus(ioBase)); }

uint8_t CallSMBus(uint32_t ioBase, uint8_t size, uint8_t slave, uint8_t command, uint8_t isRead,
                  uint8_t data0) {
  const uint8_t idle = WaitForBusReady(ioBase);
  if (host_status::StillBusy(kIdleBits, idle)) return idle;  // never start a busy host
  ResetStatus(ioBase);
  if (isRead == 0) PortWriteByte(Port(ioBase, kData0), data0);
  PortWriteByte(Port(ioBase, kSlaveAddress), static_cast<uint8_t>((slave << 1) | (isRead & 1u)));
  PortWriteByte(Port(ioBase, kHostCommand), command);
  PortWriteByte(Port(ioBase, kHostControl2), static_cast<uint8_t>(size | kControl2Start));
  DelayMs(isRead != 0 ? kReadSettleMs : kWriteSettleMs);
  uint8_t final = WaitForBusReady(ioBase);
  if (host_status::StillBusy(kIdleBits, final)) {
    // A transfer that never ends is killed; the kill's own status says so.
    PortWriteByte(Port(ioBase, kHostControl2), kControl2Kill);
    DelayMs(kKillSettleMs);
    final = ReadStatus(ioBase);
  }
  if ((final & kStatusBusError) != 0) {
    PortWriteByte(Port(ioBase, kHostControl1), kControl1BusReset);
  }
  return final;
}

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value) {
  const uint32_t base = BaseOf(context);
  const uint8_t final = CallSMBus(base, kSizeByteData, slave, command, 1);
  *value = PortReadByte(Port(base, kData0));
  return Finish(base, status, final, OpError::ReadByteFailed);
}

int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value) {
  const uint32_t base = BaseOf(context);
  const uint8_t final = CallSMBus(base, kSizeWordData, slave, command, 1);
  const uint8_t low = PortReadByte(Port(base, kData0));
  const uint8_t high = PortReadByte(Port(base, kData1));
  *value = static_cast<uint16_t>(low | (high << 8));
  return Finish(base, status, final, OpError::ReadWordFailed);
}

int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value) {
  const uint32_t base = BaseOf(context);
  const uint8_t final = CallSMBus(base, kSizeByteData, slave, command, 0, value);
  return Finish(base, status, final, OpError::WriteByteFailed);
}

void ReleaseDevice(void*) {}

}  // namespace ali1563
