// The PIIX4-compatible SMBus hosts of the ServerWorks (OSB4, CSB5, CSB6,
// HT1000), SLC90E66 and ATI/AMD south bridges (IXP200-400, SB600 to SB800,
// Hudson-2 and the later FCH, Hygon's among them). Their register block is PIIX4's, so the Intel
// back-end's transfers drive it; what this family adds is where the base is
// found, and on the chips whose base sits in the power-management registers
// behind the index/data ports 0xCD6/0xCD7 (on the 790B from revision 0x51
// in the FCH's PM window in memory instead), a host shared with firmware: an
// ownership semaphore at base+0x08 and a port select that must point at the
// SPDs' port for our transfers only.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "hw/hw.h"
#include "smbus/backend.h"
#include "smbus/intel.h"
#include "smbus/smbus.h"

namespace piix4_compat {

// Quirks (ChipDescriptor::Quirks): where the base is found, the revision
// deciding the rest. None of them: configuration word 0x90 (ServerWorks,
// SLC90E66, IXP200-400).
constexpr uint32_t kQuirkAti4385 = 1u << 0;  // SB600/SB700 below revision 0x40, SB800 from it
constexpr uint32_t kQuirkHudson2 = 1u << 1;  // 1022:780B
constexpr uint32_t kQuirkFch790B = 1u << 2;  // 1022:790B, 1D94:790B

// When firmware keeps the host the transfer fails with OpError::HostHeldByFirmware
// in the hardware half, nothing started; the detail is the semaphore register
// as last read.
// Tries to take the semaphore, 1 ms apart, before a transfer gives up.
constexpr uint32_t kSemaphoreTries = 500;

struct Piix4CompatContext {
  intel::IntelContext Host;  // the PIIX4 register block (no INUSE_STS, no segments)
  uint8_t Shared;            // 1: the host is shared with firmware (PM-path chips)
  uint8_t PortRegister;      // power-management register holding the port field
  uint8_t PortShift;         // the field's low bit; two bits wide
  uint8_t Semaphore;         // the semaphore register as last read
  uint8_t Window;            // 1: the PM registers through the memory window
  int16_t PortOwed;          // a port register a transfer could not put back; -1: none
};

// The family's object. Its acquire finds the base (and on PM-path chips
// the port register), allocates the context and fills the controller's
// slots; -1 with the controller untouched when the host is disabled, its PM
// window cannot be mapped or reads all ones (each with a message), it has
// no usable base, or no context can be had.
extern const SmbusBackend kPiix4CompatBackend;

// The SB600's descriptor, for the boards whose firmware breaks when the
// host is used from outside.
extern const ChipDescriptor kAti4385Chip;

}  // namespace piix4_compat
