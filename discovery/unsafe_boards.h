// Machines whose SMBus is known to be unsafe to touch, by their SMBIOS
// identity: on them the chip's host gets no controller.
#pragma once

#include "smbus/backend.h"

// The model discovery gives the Intel PIIX4-class hosts (the PIIX4 and the
// 440MX): an Intel-layout host the IBM systems of their time share with a
// serial EEPROM.
constexpr int32_t kModelIntelPiix4Class = 1;

// True (with a discovery message saying why) when `chip` sits on such a
// machine.
bool UnsafeBoard(const ChipDescriptor& chip);

// True (with a discovery message saying why) when only the chip's second
// host (the nVidia MCPs' channel 2) is unsafe on this board; its first is
// still used.
bool UnsafeSecondHost(const ChipDescriptor& chip);
