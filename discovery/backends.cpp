#include "discovery/backends.h"

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

// In the order of BackendId; a count that differs from it does not compile.
constinit AcquireChipFn DiscoveryBackends[] = {
    nullptr,                     // None: rows that only announce their chip
    &intel::AcquireChip,         // Intel
    &amd::AcquireChip,           // AmdNvidia
    &via::AcquireChip,           // Via
    &NV_AcquireChip,             // Nvidia0064
    &sis::AcquireChip,           // Sis
    &I2C_AcquireChip,            // I2c
    &ali::ALI_AcquireChip,       // Ali
    &nvidia_mcp::AcquireChip,    // NvidiaMcp
    &ali1563::AcquireChip,       // AliM1563
    &piix4_compat::AcquireChip,  // Piix4Compat
};
