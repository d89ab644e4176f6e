#include "smbus/backend.h"

int32_t NoSuchTransfer(OpStatus* status, SmbusOp op) {
  SetHwFailure(status, HwCodeOf(op), 0);
  return -1;
}

bool HostConfigEnabled(PciLocation function, uint8_t reg, uint8_t bits) {
  const auto value = static_cast<uint8_t>(PciReadConfigField(function, reg));
  if ((value & bits) == bits) return true;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook(
        "smbcore: SMBus host disabled by the BIOS (configuration byte %02X reads %02X): "
        "not used\n",
        reg, value);
  }
  return false;
}
