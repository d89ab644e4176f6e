// The Intel SMBus back-end: the host controller of the PIIX4 power-management
// function (8086:7113, variant 0) and of the ICH family (variant 1), a block
// of byte-wide I/O ports. The variant chooses how segment 1 is switched: a
// board latch at port 0xE437, or a Super I/O register.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/register_host.h"
#include "smbus/smbus.h"

namespace intel {

struct IntelContext {
  uint32_t IoBase;  // host register block, already masked by discovery
  int32_t Variant;  // 0: PIIX4, 1: ICH: the segment switch, and whether the
                    // status has the INUSE_STS semaphore (ICH only)
};

// Allocates the context, fills the controller's slots and clears the host
// status; -1 (controller untouched, no port touched) when the base is not
// usable (0, or a block that runs past port 0xFFFF) or the context cannot be
// allocated.
int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant);

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
// Writes the status back with the interrupt and error bits as 1 (cleared);
// on ICH (variant 1) also INUSE_STS, which releases the host's semaphore.
void ResetStatus(uint32_t ioBase, int32_t variant);
uint8_t CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                  uint8_t isRead);

}  // namespace intel
