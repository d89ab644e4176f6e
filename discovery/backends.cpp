#include "discovery/backends.h"

#include "smbus/ali.h"
#include "smbus/i2c_bus.h"
#include "smbus/intel.h"
#include "smbus/sis.h"
#include "smbus/via.h"

ChipsetBackends DiscoveryBackends = {
    .Intel = &intel::AcquireDevice,
    .AmdNvidia = nullptr,
    .Via = &via::AcquireDevice,
    .Nvidia0064 = nullptr,
    .Sis = &sis::SIS_AcquireDevice,
    .I2c = &I2C_AcquireDevice,
    .Ali = &ali::ALI_AcquireDevice,
};
