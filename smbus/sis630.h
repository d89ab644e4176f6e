// The SMBus host of the SiS 630/730 and 760/964 chipsets: a block of byte
// registers inside the ACPI I/O block of the south-bridge function (1039:0008
// on the 630/730, the LPC bridge 1039:0018, or 1039:0964), at ACPI base +0x80
// beside a 630 or 730 host bridge and +0xE0 beside a 760 or on a 964. The
// ACPI base is configuration word 0x74 of that function and decodes only while
// bit 7 of configuration byte 0x40 is set. Status bits are sticky and cleared
// by writing 1; busy lives in the control register. One transfer entry takes
// every operation.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace sis630 {

// South-bridge configuration space.
constexpr uint8_t kAcpiControl = 0x40;  // bit 7: the ACPI I/O block decodes
constexpr uint8_t kAcpiDecodeEnable = 0x80;
constexpr uint8_t kAcpiBaseWord = 0x74;  // the ACPI I/O base
constexpr uint16_t kSmbusOffset630 = 0x80;
constexpr uint16_t kSmbusOffset760 = 0xE0;

// The SMBus register block, offsets from its base.
constexpr uint16_t kStatus = 0x00;       // sticky end bits, written 1 to clear
constexpr uint16_t kControl = 0x02;      // busy, clock select, master time-out enable
constexpr uint16_t kHostControl = 0x03;  // size, start, kill
constexpr uint16_t kAddress = 0x04;      // 7-bit address << 1 | read
constexpr uint16_t kCommand = 0x05;      // command byte (the byte a send byte sends)
constexpr uint16_t kByteCount = 0x07;    // block transfers
constexpr uint16_t kData0 = 0x08;        // byte data; low byte of word data
constexpr uint16_t kData1 = 0x09;        // high byte of word data

// Status.
constexpr uint8_t kStatusDeviceError = 0x02;  // no acknowledge
constexpr uint8_t kStatusCollision = 0x04;    // lost the bus to another master
constexpr uint8_t kStatusCompletion = 0x08;
constexpr uint8_t kStatusByteDone = 0x10;  // block transfers
constexpr uint8_t kStatusEndBits = kStatusDeviceError | kStatusCollision | kStatusCompletion;
constexpr uint8_t kStatusClearMask = kStatusEndBits | kStatusByteDone;
constexpr uint8_t kStatusAllOnes = 0xFF;  // written when a transfer is over

// Control.
constexpr uint8_t kControlHostBusy = 0x01;
constexpr uint8_t kControlBusProbe = 0x02;  // 630/730: a slave transfer is under way
constexpr uint8_t kControlBusyMask = kControlHostBusy | kControlBusProbe;
constexpr uint8_t kControlClockSelect = 0x20;
constexpr uint8_t kControlTimeoutEnable = 0x40;  // master time-out
// What the driver puts back as firmware left it.
constexpr uint8_t kControlFirmwareBits = kControlClockSelect | kControlTimeoutEnable;

// Host control.
constexpr uint8_t kSizeQuick = 0x00;
constexpr uint8_t kSizeByte = 0x01;  // send byte / receive byte
constexpr uint8_t kSizeByteData = 0x02;
constexpr uint8_t kSizeWordData = 0x03;
constexpr uint8_t kSizeProcessCall = 0x04;
constexpr uint8_t kSizeBlock = 0x05;
constexpr uint8_t kHostStart = 0x10;
constexpr uint8_t kHostKill = 0x20;

// The status the transfer reports (HwDetail word 0) and polls: the status
// register in bits 7-0, control in bits 15-8.
constexpr uint32_t HostWord(uint8_t status, uint8_t control) {
  return static_cast<uint32_t>(status) | (static_cast<uint32_t>(control) << 8);
}

struct Sis630Context {
  uint32_t IoBase;  // the SMBus block: ACPI base + the chip's offset
};

// The family's object. Its chips hang on which host bridge sits beside the
// south-bridge function, so it has no ID rows of its own for discovery to
// match: its after-walk decision picks the south-bridge function (the first
// 1039:0008, 0018 or 0964) when a 630, 730 or 760 host bridge was found
// (Linux's rule: other chipsets' 0x0008 functions are other hosts), with
// kSis760Chip beside a 760 or on a 964, else kSis630Chip. The acquire reads
// the ACPI base itself and is -1, nothing written anywhere, when ACPI
// decoding is off, the base is 0 or the block would run past port 0xFFFF,
// or no context can be allocated. Send and receive byte run, so DDR4 page
// selects could; these boards hold SDR and DDR modules, and the page logic
// sends none to modules not known for DDR4.
extern const SmbusBackend kSis630Backend;
// Quirks: the block at ACPI base + 0xE0 (the 760 and the 964), not + 0x80.
constexpr uint32_t kQuirkBlockAtE0 = 1u << 0;
extern const ChipDescriptor kSis630Chip;
extern const ChipDescriptor kSis760Chip;

// One transfer. `data`: the byte a write or send byte sends (low byte), or
// where a read stores its byte or word. 0 done; kNotAcknowledged for a send
// or receive byte that no slave acknowledged; -1 on any other failure, with
// the hardware half of `status` set (the operation's code and HostWord).
int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data);

}  // namespace sis630
