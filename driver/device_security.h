// The device's own security: SYSTEM and the Administrators group get all
// access and nobody else any, so that no other account can send the write
// probe, the segment switch or the PCI requests, nor fill the queue.
#pragma once

#include <stdint.h>

// A self-relative security descriptor with only that DACL.
extern const uint8_t kAdminsOnlyDescriptor[72];
