// The VIA SMBus back-end: the host controller of the 596 (variant 0), 686
// (variant 1), VT8231 and VT8233/5 (variant 3) south bridges. Its register
// block has the Intel layout and shares the Intel idle wait; the rest of the
// transfer differs (status cleared by writing back bits 0-4, an idle wait and
// the slave address before the command, no filler, a word read as two byte
// reads, an idle wait after a write). The variant chooses the segment switch:
// bit 3 of port 0xE44F, bits 0 and 3 of port 0xE44D, or none.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/register_host.h"
#include "smbus/smbus.h"

namespace via {

struct ViaContext {
  uint32_t IoBase;  // host register block, already masked by discovery
  int32_t Variant;  // 0: 596, 1: 686, 3: VT8231 and VT8233/5; the segment switch only
};

// Allocates the context, fills the controller's slots and clears the host
// status. -1 (controller untouched, no port touched) when the base is
// unusable or the context cannot be allocated.
int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant);

// Discovery's entry (see smbus/backend.h): the variant of its segment switch.
int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t ioBase);

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value);
int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value);
int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value);
void ReleaseDevice(void* context);
void SelectSegment(void* context, uint32_t segment);
void DeselectSegment(void* context, uint32_t segment);

// The steps of a transfer.
using smbus_host::WaitForBusReady;
void ResetStatus(uint32_t ioBase);
// Waits for idle first; a host still busy then is not started, and its busy
// status is returned as the final one.
uint8_t CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                  uint8_t isRead);

}  // namespace via
