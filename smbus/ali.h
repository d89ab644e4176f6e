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

// Host status bits.
constexpr uint8_t kStatusIdle = 0x04;
constexpr uint8_t kStatusBusy = 0x08;
constexpr uint8_t kStatusDone = 0x10;
constexpr uint8_t kStatusDeviceError = 0x20;
constexpr uint8_t kStatusNoAnswer = 0x40;  // no slave answered, or a collision
constexpr uint8_t kStatusAborted = 0x80;
constexpr uint8_t kStatusErrorMask = kStatusDeviceError | kStatusNoAnswer | kStatusAborted;

// Which bridge's type register the M7101 has (the chip descriptor's Model).
constexpr int32_t kAliM15x3 = 0;  // M1533 / M1543C: abort bit 1, time-out reset bit 2
constexpr int32_t kAliM1535 = 1;  // M1535: kill bit 2, time-out reset bit 3

struct AliContext {
  uint32_t IoBase;               // SMBus register block
  PciLocation FunctionLocation;  // the M7101 function
  int32_t Bridge;                // kAliM15x3 or kAliM1535
};

// Allocates the context, fills the controller's slots and clears the host
// status. -1 (controller untouched, no port touched) when the base is
// unusable or the context cannot be allocated.
int32_t ALI_AcquireDevice(SmbusController* controller, uint32_t ioBase, PciLocation m7101,
                          int32_t bridge = kAliM15x3);

// Discovery's entry (see smbus/backend.h): the function is the M7101's, the
// chip's Model its bridge.
int32_t ALI_AcquireChip(SmbusController* controller, const ChipDescriptor& chip,
                        PciLocation m7101, uint32_t ioBase);

int32_t ALI_ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                     uint8_t* value);
int32_t ALI_ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                     uint16_t* value);
int32_t ALI_WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                      uint8_t value);
void ALI_ReleaseDevice(void* context);
void ALI_SelectSegment(void* context, uint32_t segment);
void ALI_DeselectSegment(void* context, uint32_t segment);

// The steps of a transfer.
uint8_t ALI_WaitForBusReady(uint32_t ioBase);
void ALI_ResetStatus(uint32_t ioBase);
// Waits for idle first; a host still busy then is not started, and its busy
// status is returned as the final one. Done and error bits left standing
// are cleared right before the start; the transfer is then waited for until
// it has ended (host_status::WaitUntilFinished), and one still running is
// killed.
uint8_t ALI_CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                      uint8_t isRead, int32_t bridge = kAliM15x3);
// Bits 5-6 of configuration dword 0xB8 become `value`'s; the rest stay.
void ALI_SetSegmentBits(PciLocation location, uint32_t value);

}  // namespace ali
