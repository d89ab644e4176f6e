#include "smbus/register_host.h"

#include "hw/hw.h"

namespace smbus_host {

uint8_t WaitForBusReady(uint32_t ioBase) {
  return host_status::WaitWhileBusy<uint8_t>(
      kHostStatusBits, [ioBase] { return PortReadByte(Port(ioBase, kHostStatus)); });
}

uint8_t WaitForTransferEnd(uint32_t ioBase) {
  return host_status::WaitUntilFinished<uint8_t>(
      kIchStatusBits, [ioBase] { return PortReadByte(Port(ioBase, kHostStatus)); });
}

void KillTransfer(uint32_t ioBase) {
  PortWriteByte(Port(ioBase, kHostControl), kControlKill);
  host_status::WaitAfterKill<uint8_t>(kHostStatusBits,
                                      [ioBase] { return PortReadByte(Port(ioBase, kHostStatus)); });
  PortWriteByte(Port(ioBase, kHostControl), 0);
  ClearEndBits(ioBase);
}

void ClearEndBits(uint32_t ioBase) {
  PortWriteByte(Port(ioBase, kHostStatus), kStatusEndBits);
}

void WriteBackStatus(uint32_t ioBase, uint8_t keep, uint8_t force) {
  const uint8_t value = PortReadByte(Port(ioBase, kHostStatus));
  PortWriteByte(Port(ioBase, kHostStatus), static_cast<uint8_t>((value & keep) | force));
}

}  // namespace smbus_host
