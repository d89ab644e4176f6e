// The VIA SMBus back-end: the host controller of the 596, 686, VT8231,
// VT8233/5 and the later VIA south bridges. Its register block has the Intel
// layout and shares the Intel idle wait; the rest of the transfer differs
// (status cleared by writing back bits 0-4, an idle wait and the slave
// address before the command, no filler, a word read as two byte reads, an
// idle wait after a write). The chip's descriptor names the segment switch:
// bit 3 of port 0xE44F (596), bits 0 and 3 of port 0xE44D (686), or none.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/register_host.h"
#include "smbus/smbus.h"

namespace via {

struct ViaContext {
  uint32_t IoBase;         // host register block, already masked by discovery
  SegmentSwitch Segments;  // Gpo596, Gpo686 or None
};

// Quirks (ChipDescriptor::Quirks).
// The 596: a second base pair, base dword 0x80 with host configuration
// 0x84, used when dword 0x90 has no I/O bit.
constexpr uint32_t kQuirkSecondBasePair = 1u << 0;

// The family's object. Its acquire checks the base's I/O bit and the host
// configuration (byte 0xD2, or 0x84 with the 596's second base), allocates
// the context, fills the controller's slots and clears the host status; -1
// (controller untouched, no port touched) when the base is not decoded or
// unusable, or the context cannot be allocated.
extern const SmbusBackend kViaBackend;

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data);

// The steps of a transfer.
using smbus_host::WaitForBusReady;
void ResetStatus(uint32_t ioBase);

}  // namespace via
