// Machines whose SMBus is known to be unsafe to touch, by their SMBIOS
// identity: on them the chip's host gets no controller.
#pragma once

#include "smbus/backend.h"

// True (with a discovery message saying why) when `chip` of `family` sits
// on such a machine.
bool UnsafeBoard(const SmbusBackend& family, const ChipDescriptor& chip);

// True (with a discovery message saying why) when only the chip's second
// host (the nVidia MCPs' channel 2) is unsafe on this board; its first is
// still used.
bool UnsafeSecondHost(const SmbusBackend& family, const ChipDescriptor& chip);
