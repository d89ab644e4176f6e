#include "discovery/backends.h"

#include "smbus/ali.h"
#include "smbus/ali1563.h"
#include "smbus/amd.h"
#include "smbus/i2c_bus.h"
#include "smbus/intel.h"
#include "smbus/nvidia_0064.h"
#include "smbus/nvidia_mcp.h"
#include "smbus/piix4_compat.h"
#include "smbus/sis.h"
#include "smbus/sis630.h"
#include "smbus/via.h"

constinit const SmbusBackend* DiscoveryBackends[] = {
    &intel::kIntelBackend,
    &amd::kAmdBackend,
    &via::kViaBackend,
    &kNvidia0064Backend,
    &sis::kSisBackend,
    &kI2cBackend,
    &ali::kAliBackend,
    &nvidia_mcp::kNvidiaMcpBackend,
    &ali1563::kAli1563Backend,
    &piix4_compat::kPiix4CompatBackend,
    &sis630::kSis630Backend,
};

const size_t kDiscoveryBackendCount = sizeof(DiscoveryBackends) / sizeof(DiscoveryBackends[0]);
