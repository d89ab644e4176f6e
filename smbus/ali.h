// The ALi SMBus back-end: the host controller of the M7101 power-management
// function next to an M1533 south bridge. Its own register block (busy bit
// 3, done bit 4, error bits 5-7, a start register, protocol codes 0x20 and
// 0x30), and a segment switch in bits 5-6 of the M7101's configuration
// dword 0xB8. A transfer has ended when busy is clear and done or an error
// bit is set; one that never ends is killed through the type register,
// whose kill and bus time-out reset bits depend on the bridge: the older
// M1533/M1543C (base in dword 0x14) abort with bit 1 and reset the time-out
// with bit 2, the M1535 (base in word 0xE2) kills with bit 2 and resets
// with bit 3.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "hw/hw.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace ali {

// The south bridge (the M1533's ID is the M1543C's and the M1535's too) and
// its M7101 power-management function, which holds the host.
namespace ids {
constexpr uint16_t kM1533 = 0x1533;
constexpr uint16_t kM7101 = 0x7101;
}  // namespace ids

// Host status bits.
constexpr uint8_t kStatusIdle = 0x04;
constexpr uint8_t kStatusBusy = 0x08;
constexpr uint8_t kStatusDone = 0x10;
constexpr uint8_t kStatusDeviceError = 0x20;
constexpr uint8_t kStatusNoAnswer = 0x40;  // no slave answered, or a collision
constexpr uint8_t kStatusAborted = 0x80;
constexpr uint8_t kStatusErrorMask = kStatusDeviceError | kStatusNoAnswer | kStatusAborted;

// Quirks (ChipDescriptor::Quirks): the M1535's type register (kill bit 2,
// time-out reset bit 3); without it the M1533/M1543C's (abort bit 1,
// time-out reset bit 2).
constexpr uint32_t kQuirkM1535Kill = 1u << 0;

struct AliContext {
  uint32_t IoBase;               // SMBus register block
  PciLocation FunctionLocation;  // the M7101 function
  uint8_t M1535;                 // 1: the M1535's kill bits
};

// The family's object. It has no ID rows: discovery's ALi decision finds
// the M7101 beside its bridge and hands the acquire kAliM15x3Chip or
// kAliM1535Chip with the base and the M7101's function. The acquire
// allocates the context, fills the controller's slots and clears the host
// status; -1 (controller untouched, no port touched) when the base is
// unusable or the context cannot be allocated.
extern const SmbusBackend kAliBackend;
extern const ChipDescriptor kAliM15x3Chip;
extern const ChipDescriptor kAliM1535Chip;

int32_t ALI_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data);

// The steps of a transfer.
uint8_t ALI_WaitForBusReady(uint32_t ioBase);
void ALI_ResetStatus(uint32_t ioBase);
// Waits for idle first; a host still busy then is not started, and its busy
// status is returned as the final one. Done and error bits left standing
// are cleared right before the start; the transfer is then waited for until
// it has ended (host_status::WaitUntilFinished), and one still running is
// killed.
uint8_t ALI_CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                      uint8_t isRead, bool m1535);
// Bits 5-6 of configuration dword 0xB8 become `value`'s; the rest stay.
void ALI_SetSegmentBits(PciLocation location, uint32_t value);

}  // namespace ali
