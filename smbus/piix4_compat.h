// The PIIX4-compatible SMBus hosts of the ServerWorks (OSB4, CSB5, CSB6,
// HT1000) and ATI/AMD south bridges (IXP200-400, SB600 to SB800, Hudson-2
// and the later FCH). Their register block is PIIX4's, so the Intel
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

// Which chip discovery found; the revision decides the rest.
enum Chip : int32_t {
  kChipLegacy = 0,   // ServerWorks, IXP200-400: base in configuration word 0x90
  kChipAti4385 = 1,  // SB600/SB700 below revision 0x40 (legacy), SB800 from it
  kChipHudson2 = 2,  // 1022:780B
  kChipFch790B = 3,  // 1022:790B
};

// When firmware keeps the host the transfer fails with OpError::HostHeldByFirmware
// in the hardware half, nothing started; the detail is the semaphore register
// as last read.
// Tries to take the semaphore, 1 ms apart, before a transfer gives up.
constexpr uint32_t kSemaphoreTries = 500;

struct Piix4CompatContext {
  intel::IntelContext Host;  // the PIIX4 register block (variant 0, no segments)
  uint8_t Shared;            // 1: the host is shared with firmware (PM-path chips)
  uint8_t PortRegister;      // power-management register holding the port field
  uint8_t PortShift;         // the field's low bit; two bits wide
  uint8_t Semaphore;         // the semaphore register as last read
  uint8_t Window;            // 1: the PM registers through the memory window
  int16_t PortOwed;          // a port register a transfer could not put back; -1: none
};

// Finds the base (and on PM-path chips the port register), allocates the
// context and fills the controller's slots. -1 with the controller untouched
// when the host is disabled, its PM window cannot be mapped or reads all
// ones (each with a message), it has no usable base, or no context can be
// had.
int32_t AcquireDevice(SmbusController* controller, PciLocation function, int32_t chip);

// Discovery's entry (see smbus/backend.h): the chip is the descriptor's model.
int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t ioBase);

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint8_t* value);
int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint16_t* value);
int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command, uint8_t value);
int32_t SendByte(void* context, OpStatus* status, uint8_t slave, uint8_t value);
int32_t ReceiveByte(void* context, OpStatus* status, uint8_t slave, uint8_t* value);
void ReleaseDevice(void* context);

}  // namespace piix4_compat
