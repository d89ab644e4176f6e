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
#include "smbus/sis630.h"
#include "smbus/via.h"

namespace {

// A VIA host answers only while its base's bit 0 reads 1 and bit 0 of its
// host configuration byte (0xD2) is set. The 596 has a second pair, base
// dword 0x80 with host configuration 0x84, used when dword 0x90 has no I/O
// bit.
constexpr uint32_t kViaIoBit = 0x01;
constexpr uint8_t kViaHostConfig = 0xD2;
constexpr uint8_t kViaHostEnable = 0x01;
constexpr uint8_t kVia596SecondBase = 0x80;
constexpr uint8_t kVia596SecondHostConfig = 0x84;

int32_t AcquireVia(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                   uint32_t ioBase) {
  uint8_t baseRegister = chip.BaseRegister;
  uint8_t hostConfig = kViaHostConfig;
  uint32_t base = PciReadConfigDword(function, baseRegister);
  if ((base & kViaIoBit) == 0 && chip.Model == kModelVia596) {
    const uint32_t second = PciReadConfigDword(function, kVia596SecondBase);
    if ((second & kViaIoBit) != 0) {
      baseRegister = kVia596SecondBase;
      hostConfig = kVia596SecondHostConfig;
      base = second;
      ioBase = second & chip.BaseMask;
    }
  }
  if ((base & kViaIoBit) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: VIA SMBus base %04X has no I/O bit (configuration %02X): not used\n",
                     ioBase, baseRegister);
    }
    return -1;
  }
  if (!HostConfigEnabled(function, hostConfig, kViaHostEnable)) return -1;
  return via::AcquireChip(controller, chip, function, ioBase);
}

// The MCP's channel 2 only where the board allows it.
int32_t AcquireMcp(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                   uint32_t) {
  return nvidia_mcp::AcquireDevice(controller, function, UnsafeSecondHost(chip) ? 1u : 2u);
}

}  // namespace

bool HostConfigEnabled(PciLocation function, uint8_t reg, uint8_t bits) {
  const auto value = static_cast<uint8_t>(PciReadConfigField(function, reg));
  if ((value & bits) == bits) return true;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook("smbcore: SMBus host disabled by the BIOS (configuration byte %02X reads %02X): "
                   "not used\n",
                   reg, value);
  }
  return false;
}

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
    &sis630::AcquireChip,        // Sis630
};
