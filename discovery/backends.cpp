#include "discovery/backends.h"

#include "discovery/unsafe_boards.h"
#include "smbus/amd.h"
#include "smbus/ali.h"
#include "smbus/ali1563.h"
#include "smbus/i2c_bus.h"
#include "smbus/intel.h"
#include "smbus/nvidia_0064.h"
#include "smbus/nvidia_mcp.h"
#include "smbus/piix4_compat.h"
#include "smbus/sis.h"
#include "smbus/via.h"

namespace {

// The VIA south bridges from the VT8233 on (base in dword 0xD0) decode
// their SMBus block there only while the base's bit 0 reads 1: a base
// without it is none.
constexpr uint8_t kViaLaterBase = 0xD0;

int32_t AcquireVia(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                   uint32_t ioBase) {
  if (chip.BaseRegister == kViaLaterBase &&
      (PciReadConfigDword(function, kViaLaterBase) & 1u) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: VIA SMBus base %04X has no I/O bit: not used\n", ioBase);
    }
    return -1;
  }
  return via::AcquireChip(controller, chip, function, ioBase);
}

// The MCP's channel 2 only where the board allows it.
int32_t AcquireMcp(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                   uint32_t) {
  return nvidia_mcp::AcquireDevice(controller, function, UnsafeSecondHost(chip) ? 1u : 2u);
}

}  // namespace

// In the order of BackendId; a count that differs from it does not compile.
constinit AcquireChipFn DiscoveryBackends[] = {
    nullptr,                     // None: rows that only announce their chip
    &intel::AcquireChip,         // Intel
    &amd::AcquireChip,           // AmdNvidia
    &AcquireVia,                 // Via
    &NV_AcquireChip,             // Nvidia0064
    &sis::AcquireChip,           // Sis
    &I2C_AcquireChip,            // I2c
    &ali::ALI_AcquireChip,       // Ali
    &AcquireMcp,                 // NvidiaMcp
    &ali1563::AcquireChip,       // AliM1563
    &piix4_compat::AcquireChip,  // Piix4Compat
};
