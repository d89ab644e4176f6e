// The Intel SMBus back-end: the host controller of the PIIX4 power-management
// function (8086:7113), of the ICH family up to the ICH5 and of the ICH6 and
// later PCH (their chips in smbus/intel_rows.h), a block of byte-wide I/O
// ports. The chip's descriptor says the rest: INUSE_STS in the status (every
// ICH), the host configuration byte HOSTC and the auxiliary control
// SMBAUXCTL, and the segment switch (the PIIX4 boards' latch at port 0xE437,
// the ICH boards' Super I/O register, or none: the later boards put every SPD
// on one bus). The PIIX4-compatible back-end drives the same block.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "hw/hw.h"
#include "smbus/backend.h"
#include "smbus/register_host.h"
#include "smbus/smbus.h"

namespace intel {

struct IntelContext {
  uint32_t IoBase;         // host register block, already masked by discovery
  uint8_t InUseSemaphore;  // 1: the status has INUSE_STS (every ICH)
  uint8_t FirstPollMs;     // after a start, before the first poll (2 on the CSB5)
  SegmentSwitch Segments;  // how segment 1 is switched
  // ICH6 and later: the SMBus function, its host configuration byte as the
  // firmware left it (put back at release), and whether that byte forbids
  // writes to the SPD addresses.
  uint8_t HasHostConfig;
  PciLocation Function;
  uint8_t FirmwareHostConfig;
  uint8_t SpdWritesBlocked;
  // ICH: the host control as firmware left it (its interrupt enable among
  // the bits our starts overwrite), and from the ICH4 on the auxiliary
  // control (packet error checking, the 32-byte buffer), which the driver
  // clears for its own transfers; both put back at release. The ICH0 to
  // ICH3 have no auxiliary control: that port is never written there.
  uint8_t FirmwareHostControl;
  uint8_t FirmwareAuxControl;
  uint8_t HasAuxControl;
};

// The CSB5's busy bit shows only about 2 ms after the start.
constexpr uint8_t kLateBusyFirstPollMs = 2;

// The family's object (its rows in smbus/intel_rows.h).
extern const SmbusBackend kIntelBackend;

// Sets the base, the semaphore, the first-poll wait and the segment switch
// of `ctx` (zeroed by the caller) for the register block at `ioBase` as
// `chip` describes it, nothing touched; false when the base is not usable (0, or a block that
// runs past port 0xFFFF).
bool InitContext(IntelContext* ctx, uint32_t ioBase, const ChipDescriptor& chip);

// The family's one transfer entry, on an IntelContext.
int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data);

// The steps of a transfer.
using smbus_host::WaitForBusReady;
// ICH: reads the status until a read finds INUSE_STS clear (that read takes
// the host), 1 ms apart, at most kInUseWaitLimit more times. Returns the
// last status read; HeldByOther of it says the host was not had.
constexpr uint32_t kInUseWaitLimit = 200;
uint8_t TakeHost(uint32_t ioBase);
bool HeldByOther(uint8_t status);
// Writes the status back with the interrupt and error bits as 1 (cleared);
// with the semaphore also INUSE_STS, which releases it.
void ResetStatus(uint32_t ioBase, bool inUseSemaphore);

}  // namespace intel
