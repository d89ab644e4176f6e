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

namespace {

// The AMD and nVidia back-end takes the I/O base alone.
int32_t AcquireAmdNvidia(SmbusController* controller, uint32_t ioBase, int32_t) {
  return amd::AcquireDevice(controller, ioBase);
}

// The later MCPs need no chip number: both channels are found the same way.
int32_t AcquireNvidiaMcp(SmbusController* controller, PciLocation function, int32_t) {
  return nvidia_mcp::AcquireDevice(controller, function);
}

}  // namespace

ChipsetBackends DiscoveryBackends = {
    .Intel = &intel::AcquireDevice,
    .AmdNvidia = &AcquireAmdNvidia,
    .Via = &via::AcquireDevice,
    .Nvidia0064 = &NV_AcquireDevice,
    .Sis = &sis::SIS_AcquireDevice,
    .I2c = &I2C_AcquireDevice,
    .Ali = &ali::ALI_AcquireDevice,
    .NvidiaMcp = &AcquireNvidiaMcp,
    .AliM1563 = &ali1563::AcquireDevice,
    .LaterIntel = &intel::AcquireLaterIchDevice,
    .Piix4Compat = &piix4_compat::AcquireDevice,
};
