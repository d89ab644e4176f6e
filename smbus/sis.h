// The SiS SMBus back-end: the host controller of the SiS 5595 south bridge,
// whose registers sit behind an index port and a data port at 0x38 and 0x39
// of the ACPI block. Status low has no busy bit: bit 6 says a transfer is
// done and stays until written back, bits 4-5 say it failed. The control
// register's bits 1-3 take the protocol and bit 4 starts. Every SIS_
// operation names itself on the debug output as it starts. No segment
// switch.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/host_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace sis {

// Status low bits; there is no busy bit.
constexpr uint8_t kStatusNoAcknowledge = 0x10;  // the transfer failed: no slave answered
constexpr uint8_t kStatusCollision = 0x20;
constexpr uint8_t kStatusDone = 0x40;  // sticky until written back
constexpr uint8_t kStatusErrorMask = kStatusNoAcknowledge | kStatusCollision;

constexpr int32_t kChip5595 = 1;  // the chip model the messages name: the SiS 5595

struct SisContext {
  uint32_t IoBase;    // the index port (ACPI base + 0x38); the data port follows it
  int32_t ChipModel;  // 1: SiS 5595; named in the error messages
};

// What a transfer ended with: the status it returns, and whether the host
// was started at all (not when an error or an unclaimed transfer stood).
struct SisTransaction {
  uint8_t Status;
  bool Started;
};

// The family's object. It has no ID rows: discovery's SiS decision finds
// the 5595 and hands its acquire kSis5595Chip with the ACPI base
// (configuration word 0x90 of the 0x0008 function; its low three bits are
// not part of it). The acquire allocates the context, fills the transfer
// and release slots and clears the status; -1 (controller untouched, no
// port touched) when the base is unusable or the context cannot be
// allocated.
extern const SmbusBackend kSisBackend;
extern const ChipDescriptor kSis5595Chip;

int32_t SIS_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                     uint16_t* data);

// The steps of a transfer.
uint8_t ReadRegister(const SisContext* ctx, uint8_t reg);
void WriteRegister(const SisContext* ctx, uint8_t reg, uint8_t value);
void SIS_ResetStatus(const SisContext* ctx);
// Polls status low, 1 ms apart, until `until` no longer calls it busy or an
// error bit shows; after the poll limit the last status.
uint8_t SIS_WaitForBusReady(const SisContext* ctx, const host_status::HostStatusBits& until);
// A host with error bits standing, or a done bit nobody cleared, is not
// started; that status is returned as the final one.
SisTransaction SIS_CallSMBus(const SisContext* ctx, uint8_t protocol, uint8_t slave,
                             uint8_t command, uint8_t isRead);

}  // namespace sis
