// What a binding provides beneath the primitives of hw.h that are common to
// every platform (the all-ones preset of configuration reads, the field
// shift, the slot packing, CopyBytes). Included by hw/ and platform/ only.
#pragma once

#include <stdint.h>

// Reads `length` bytes of configuration space of (bus, slot) at `offset` into
// `buffer`; leaves the buffer as it was where nothing is delivered. Returns
// the number of bytes delivered, which the callers ignore.
uint32_t PlatformGetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                            uint32_t length);

// Writes `length` bytes of configuration space; returns the count written.
uint32_t PlatformSetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                            uint32_t length);
