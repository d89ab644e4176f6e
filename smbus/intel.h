// The Intel SMBus back-end: the host controller of the PIIX4 power-management
// function (8086:7113, variant 0), of the ICH family up to the ICH5 (variant
// 1) and of the ICH6 to the 9-series PCH (variant 2), a block of byte-wide
// I/O ports. The variant chooses how segment 1 is switched: a board latch at
// port 0xE437, a Super I/O register, or not at all (the later boards put
// every SPD on one bus).
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "hw/hw.h"
#include "smbus/backend.h"
#include "smbus/register_host.h"
#include "smbus/smbus.h"

namespace intel {

struct IntelContext {
  uint32_t IoBase;  // host register block, already masked by discovery
  int32_t Variant;  // 0: PIIX4, 1: ICH, 2: ICH6 and later: the segment
                    // switch, and whether the status has the INUSE_STS
                    // semaphore (every ICH)
  // ICH6 and later (variant 2): the SMBus function, its host configuration
  // byte as the firmware left it (put back at release), and whether that
  // byte forbids writes to the SPD addresses.
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

constexpr int32_t kVariantPiix4 = 0;
constexpr int32_t kVariantIch = 1;
constexpr int32_t kVariantLaterIch = 2;
// The PIIX4 block of the ServerWorks CSB5 (through the PIIX4-compatible
// back-end): its busy bit shows only about 2 ms after the start, so the
// first poll comes 2 ms after it.
constexpr int32_t kVariantCsb5 = 3;
constexpr int32_t kCsb5ReadSettleMs = 2;

// Allocates the context, fills the controller's slots and clears the host
// status; -1 (controller untouched, no port touched) when the base is not
// usable (0, or a block that runs past port 0xFFFF) or the context cannot be
// allocated.
int32_t AcquireDevice(SmbusController* controller, uint32_t ioBase, int32_t variant);

// ICH6 to the 9-series (variant 2): the host configuration byte (0x40) of
// `function` decides first. With the host disabled the block decodes nothing:
// a discovery message, -1, no port touched. I2C mode is turned off for the
// driver's transfers and the byte put back as it was at release; the SPD
// write-disable bit makes WriteByte refuse the SPD addresses.
int32_t AcquireLaterIchDevice(SmbusController* controller, uint32_t ioBase,
                              PciLocation function);

// Discovery's entry: a chip with the host configuration byte is an ICH6 or
// later, one with INUSE_STS an ICH, any other a PIIX4. An ICH with the
// auxiliary control (ICH4, ICH5) gets its packet error checking and 32-byte
// buffer cleared for the driver's transfers, and put back at release; an ICH
// or PIIX4 whose chip names no segment switch gets none.
int32_t AcquireChip(SmbusController* controller, const ChipDescriptor& chip, PciLocation function,
                    uint32_t ioBase);

int32_t ReadByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint8_t* value);
int32_t ReadWord(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                 uint16_t* value);
int32_t WriteByte(void* context, OpStatus* status, uint8_t slave, uint8_t command,
                  uint8_t value);
// Send byte (the byte in the command register) and receive byte, with the
// read settle time both ways: they start no EEPROM write cycle. Installed
// for the ICH6 and later, whose boards carry DDR4 modules.
int32_t SendByte(void* context, OpStatus* status, uint8_t slave, uint8_t value);
int32_t ReceiveByte(void* context, OpStatus* status, uint8_t slave, uint8_t* value);
void ReleaseDevice(void* context);
void SelectSegment(void* context, uint32_t segment);
void DeselectSegment(void* context, uint32_t segment);

// The steps of a transfer.
using smbus_host::WaitForBusReady;
// ICH: reads the status until a read finds INUSE_STS clear (that read takes
// the host), 1 ms apart, at most kInUseWaitLimit more times. Returns the
// last status read; HeldByOther of it says the host was not had.
constexpr uint32_t kInUseWaitLimit = 200;
uint8_t TakeHost(uint32_t ioBase);
bool HeldByOther(uint8_t status);
// Writes the status back with the interrupt and error bits as 1 (cleared);
// on ICH (variant 1) also INUSE_STS, which releases the host's semaphore.
void ResetStatus(uint32_t ioBase, int32_t variant);
// On a host the caller found idle with status `idle`: clears what someone
// else left there, starts, waits for the end; a transfer still running
// after the poll limit is killed (its busy status returned).
uint8_t CallSMBus(const IntelContext* ctx, uint8_t idle, uint8_t protocol, uint8_t slave,
                  uint8_t command, uint8_t isRead);

}  // namespace intel
