// The back-ends discovery can install, as a table of their AcquireDevice
// operations. A back-end that is not part of this build has a null entry,
// which discovery treats exactly like an AcquireDevice that returned -1.
#pragma once

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/smbus.h"

// (controller, I/O base, variant or chip model) -> 0 installed, -1 not.
using AcquireFn = int32_t (*)(SmbusController* controller, uint32_t ioBase, int32_t variant);
// The ALi back-end takes the location of its M7101 function instead.
using AliAcquireFn = int32_t (*)(SmbusController* controller, uint32_t ioBase,
                                 PciLocation m7101);
// The back-ends that find their own base take their function and a chip
// number (the later nVidia MCPs: both channels; ServerWorks and ATI/AMD:
// configuration space or the power-management registers).
using FunctionAcquireFn = int32_t (*)(SmbusController* controller, PciLocation function,
                                      int32_t chip);
// The ICH6 and later Intel hosts take their base and their SMBus function's
// location (the host configuration lives there).
using BaseLocatedAcquireFn = AliAcquireFn;

struct ChipsetBackends {
  AcquireFn Intel;       // base, variant 0 (PIIX4) or 1 (ICH)
  AcquireFn AmdNvidia;   // base; the variant is not used
  AcquireFn Via;         // base, variant 0, 1 or 3
  AcquireFn Nvidia0064;  // base, variant 1
  AcquireFn Sis;         // base, chip model 1
  AcquireFn I2c;         // base, pin driver 0 (word-wide) or 1 (byte-wide)
  AliAcquireFn Ali;      // base, M7101 location
  FunctionAcquireFn NvidiaMcp = nullptr;  // the MCP's SMBus function: two channels
  AcquireFn AliM1563 = nullptr;           // base; the variant is not used
  BaseLocatedAcquireFn LaterIntel = nullptr;  // base, the ICH6-and-later SMBus function
  FunctionAcquireFn Piix4Compat = nullptr;    // ServerWorks, ATI/AMD: function, chip
};

// What discovery calls. Constant-initialised; tests may swap entries.
extern ChipsetBackends DiscoveryBackends;
