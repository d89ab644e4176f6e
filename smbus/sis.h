// The SiS SMBus back-end: the host controller of the SiS 5595 south bridge,
// whose registers sit behind an index port (the I/O base) and a data port
// (the base + 1). Busy is bit 6 of status low, the errors are bits 4-5; the
// control register's bits 1-3 take the protocol and bit 4 starts. Every
// SIS_ operation names itself on the debug output as it starts. No segment
// switch.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/smbus.h"

namespace sis {

struct SisContext {
  uint32_t IoBase;    // the index port; the data port follows it
  int32_t ChipModel;  // 1: SiS 5595; named in the error messages
};

// Allocates the context, fills the transfer and release slots and clears
// the status. -1 (controller untouched, no port touched) when the base is
// unusable or the context cannot be allocated.
int32_t SIS_AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t chipModel);

int32_t SIS_ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                     uint8_t* value);
int32_t SIS_ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                     uint16_t* value);
int32_t SIS_WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                      uint8_t value);
void SIS_ReleaseDevice(void* context);

// The steps of a transfer.
uint8_t ReadRegister(const SisContext* ctx, uint8_t reg);
void WriteRegister(const SisContext* ctx, uint8_t reg, uint8_t value);
void SIS_ResetStatus(const SisContext* ctx);
uint8_t SIS_WaitForBusReady(const SisContext* ctx);
// A host with error bits already set, or still busy, is not started; that
// status is returned as the final one.
uint8_t SIS_CallSMBus(const SisContext* ctx, uint8_t protocol, uint8_t slave, uint8_t command,
                      uint8_t isRead);

}  // namespace sis
