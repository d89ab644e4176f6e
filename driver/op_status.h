// The operation status record: how a failure below the request layer travels
// back to user mode inside the output buffer. 76 bytes of little-endian
// 32-bit words; the operation half and the hardware half are written
// independently, each as a unit (code, count, that many detail words).
#pragma once

#include <stddef.h>
#include <stdint.h>

struct OpStatus {
  uint32_t Header;       // 1 after InitOpStatus; nothing else writes it
  uint32_t Code;         // operation error code, 0 = none
  uint32_t DetailCount;  // Detail words written with Code: 0, 1 or 2
  uint32_t Detail[6];
  uint32_t HwCode;         // controller transaction error (17-19, 32, 41, 42), 0 = none
  uint32_t HwDetailCount;  // 1 whenever HwCode is set
  uint32_t HwDetail[8];    // word 0: the back-end's status value
};

static_assert(sizeof(OpStatus) == 76);
static_assert(offsetof(OpStatus, Header) == 0);
static_assert(offsetof(OpStatus, Code) == 4);
static_assert(offsetof(OpStatus, DetailCount) == 8);
static_assert(offsetof(OpStatus, Detail) == 12);
static_assert(offsetof(OpStatus, HwCode) == 36);
static_assert(offsetof(OpStatus, HwDetailCount) == 40);
static_assert(offsetof(OpStatus, HwDetail) == 44);

// The one table of error codes. Gaps (1-13, 16, 28-31) are never set.
namespace OpError {
constexpr uint32_t None = 0;
constexpr uint32_t SpdBlockRead = 14;           // a transfer of a block read failed
constexpr uint32_t NoChipsetInfo = 15;          // discovery got no ChipsetInfo record
constexpr uint32_t ReadByteFailed = 17;         // hardware half: read-byte transaction
constexpr uint32_t ReadWordFailed = 18;         // hardware half: read-word transaction
constexpr uint32_t WriteByteFailed = 19;        // hardware half: write-byte transaction
constexpr uint32_t ControllerAlloc = 20;        // detail: the size asked for
constexpr uint32_t ControllerUnavailable = 21;  // nothing was sent on the bus
constexpr uint32_t ProbeFirstRead = 22;
constexpr uint32_t ProbeWrite = 23;
constexpr uint32_t ProbeReadBack = 24;
constexpr uint32_t ProbeRestore = 25;
constexpr uint32_t ProbeReadAfterRestore = 26;
constexpr uint32_t ProbeMismatch = 27;
// hardware half: firmware kept a shared SMBus host; detail: its semaphore register
constexpr uint32_t HostHeldByFirmware = 32;
constexpr uint32_t SmbiosScanMap = 33;      // detail: 0xF0000, 0x10000
constexpr uint32_t SmbiosTableMap = 34;     // detail: table address, length
constexpr uint32_t SmbiosTableLength = 35;  // detail: table length
constexpr uint32_t SmbiosNoEntryPoint = 36;
// Both halves: the chipset forbids writes to the SPD addresses, so nothing
// was sent. Hardware detail: the host configuration byte that says so.
constexpr uint32_t SpdWritesBlocked = 37;
// DDR4 page reads. 38: the page select was not acknowledged and the page
// query does not show the page asked for (no EE1004 on the bus, or it
// refused); the hardware half holds the transfer's failure.
constexpr uint32_t PageNotAcknowledged = 38;
constexpr uint32_t NoPageTransfers = 39;    // the host has no send / receive byte; nothing sent
constexpr uint32_t PageOutOfRange = 40;     // a page other than 0 or 1; nothing sent
constexpr uint32_t SendByteFailed = 41;     // hardware half: send-byte transaction
constexpr uint32_t ReceiveByteFailed = 42;  // hardware half: receive-byte transaction
// The page query (a receive byte at 0x36) failed other than by going
// unacknowledged: host held, busy, collision, time-out. Nothing was sent
// after it; the hardware half holds the failure.
constexpr uint32_t PageQueryFailed = 43;
// No slot's byte 2 on the page shown nor the SMBIOS memory devices say the
// modules are DDR4, so no page was selected: the bytes are the slot as it
// shows them (a DDR4 module may show its page 1).
constexpr uint32_t NotKnownDdr4 = 44;
// The write probe refused, nothing written: byte 2 names an SPD that is not
// a plain EEPROM (a DDR5 hub, an unknown type; detail: byte 2), or byte 2
// could not be read (the hardware half holds why).
constexpr uint32_t ProbeNotPlainEeprom = 45;
constexpr uint32_t ProbeTypeUnreadable = 46;
}  // namespace OpError

// Writes the whole record: Header = 1, every other word 0. The record goes
// back to user mode as it stands, so no word keeps what the buffer held.
void InitOpStatus(OpStatus* status);

// Writes the operation half: code, count and the first `detailCount` of the
// two detail values; the half's other detail words are written as 0.
void SetOpFailure(OpStatus* status, uint32_t code, uint32_t detailCount = 0, uint32_t detail0 = 0,
                  uint32_t detail1 = 0);

// Writes the hardware half: code, count 1 and the back-end's status value;
// the half's other detail words are written as 0.
void SetHwFailure(OpStatus* status, uint32_t hwCode, uint32_t hwStatus);
