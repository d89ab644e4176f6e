/* The dimmio driver's user-mode interface: the device path, the eleven
 * device-control request codes, the input layouts and the output records.
 *
 * Every record is a fixed byte layout of little-endian 32-bit words, 8-bit
 * counts and byte strings; sizes and offsets are checked at compile time.
 * C11 and C++; only <stdint.h> and
 * <stddef.h>, so the driver image may include it too. */
#ifndef DIMMIO_DIMMIO_H
#define DIMMIO_DIMMIO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define DIMMIO_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#define DIMMIO_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* ---- The device ------------------------------------------------------- */

/* What CreateFile opens: "\\.\dimmio". */
#define DIMMIO_DEVICE_PATH "\\\\.\\dimmio"
#define DIMMIO_DEVICE_PATH_W L"\\\\.\\dimmio"
/* The same name among the system-wide ones, "\\.\Global\dimmio": a link of
   that name a user plants among the device names of the caller's own session
   does not stand in front of it. What an administrator's program opens. */
#define DIMMIO_GLOBAL_DEVICE_PATH "\\\\.\\Global\\dimmio"
/* The kernel's names of the device object and of its link. */
#define DIMMIO_KERNEL_DEVICE_NAME_W L"\\Device\\dimmio0"
#define DIMMIO_KERNEL_LINK_NAME_W L"\\??\\dimmio"

/* ---- Request codes ---------------------------------------------------- */

/* Device type in bits 16-31, required access in bits 14-15, function number
 * in bits 2-13, transfer method in bits 0-1 (0 = buffered for all). */
#define DIMMIO_DEVICE_TYPE 0x9C40u
#define DIMMIO_ACCESS_READ 1u  /* the handle needs read access */
#define DIMMIO_ACCESS_WRITE 2u /* the handle needs write access */
#define DIMMIO_METHOD_BUFFERED 0u
#define DIMMIO_CONTROL_CODE(function, access)                                     \
  ((uint32_t)((DIMMIO_DEVICE_TYPE << 16) | ((access) << 14) | ((function) << 2) | \
              DIMMIO_METHOD_BUFFERED))
#define DIMMIO_CODE_ACCESS(code) (((uint32_t)(code) >> 14) & 3u)
#define DIMMIO_CODE_FUNCTION(code) (((uint32_t)(code) >> 2) & 0xFFFu)

#define IOCTL_READ_SPD DIMMIO_CONTROL_CODE(0x800u, DIMMIO_ACCESS_READ)
#define IOCTL_PROBE_SPD_WRITE DIMMIO_CONTROL_CODE(0x801u, DIMMIO_ACCESS_READ | DIMMIO_ACCESS_WRITE)
#define IOCTL_GET_MEMORY_SLOT_COUNT DIMMIO_CONTROL_CODE(0x802u, DIMMIO_ACCESS_READ)
#define IOCTL_GET_MEMORY_MODULE_COUNT DIMMIO_CONTROL_CODE(0x803u, DIMMIO_ACCESS_READ)
#define IOCTL_SET_SEGMENT DIMMIO_CONTROL_CODE(0x804u, DIMMIO_ACCESS_WRITE)
#define IOCTL_GET_CHIPSET_INFO DIMMIO_CONTROL_CODE(0x805u, DIMMIO_ACCESS_READ)
#define IOCTL_GET_PCI_DEVICE_TABLE \
  DIMMIO_CONTROL_CODE(0x806u, DIMMIO_ACCESS_READ | DIMMIO_ACCESS_WRITE)
#define IOCTL_GET_PCI_DEVICE_COUNT DIMMIO_CONTROL_CODE(0x807u, DIMMIO_ACCESS_READ)
#define IOCTL_READ_PCI_CONFIG DIMMIO_CONTROL_CODE(0x808u, DIMMIO_ACCESS_READ | DIMMIO_ACCESS_WRITE)
#define IOCTL_GET_SYSTEM_INFO DIMMIO_CONTROL_CODE(0x809u, DIMMIO_ACCESS_READ)
/* DDR4: one page of a module's 512-byte SPD, the board's page put back. */
#define IOCTL_READ_SPD_PAGE DIMMIO_CONTROL_CODE(0x80Au, DIMMIO_ACCESS_READ)

DIMMIO_STATIC_ASSERT(IOCTL_READ_SPD == 0x9C406000u, "IOCTL_READ_SPD");
DIMMIO_STATIC_ASSERT(IOCTL_PROBE_SPD_WRITE == 0x9C40E004u, "IOCTL_PROBE_SPD_WRITE");
DIMMIO_STATIC_ASSERT(IOCTL_GET_MEMORY_SLOT_COUNT == 0x9C406008u, "IOCTL_GET_MEMORY_SLOT_COUNT");
DIMMIO_STATIC_ASSERT(IOCTL_GET_MEMORY_MODULE_COUNT == 0x9C40600Cu, "IOCTL_GET_MEMORY_MODULE_COUNT");
DIMMIO_STATIC_ASSERT(IOCTL_SET_SEGMENT == 0x9C40A010u, "IOCTL_SET_SEGMENT");
DIMMIO_STATIC_ASSERT(IOCTL_GET_CHIPSET_INFO == 0x9C406014u, "IOCTL_GET_CHIPSET_INFO");
DIMMIO_STATIC_ASSERT(IOCTL_GET_PCI_DEVICE_TABLE == 0x9C40E018u, "IOCTL_GET_PCI_DEVICE_TABLE");
DIMMIO_STATIC_ASSERT(IOCTL_GET_PCI_DEVICE_COUNT == 0x9C40601Cu, "IOCTL_GET_PCI_DEVICE_COUNT");
DIMMIO_STATIC_ASSERT(IOCTL_READ_PCI_CONFIG == 0x9C40E020u, "IOCTL_READ_PCI_CONFIG");
DIMMIO_STATIC_ASSERT(IOCTL_GET_SYSTEM_INFO == 0x9C406024u, "IOCTL_GET_SYSTEM_INFO");
DIMMIO_STATIC_ASSERT(IOCTL_READ_SPD_PAGE == 0x9C406028u, "IOCTL_READ_SPD_PAGE");

/* ---- Completion status values ----------------------------------------- */

#define DIMMIO_STATUS_SUCCESS 0x00000000u
#define DIMMIO_STATUS_PENDING 0x00000103u
#define DIMMIO_STATUS_UNSUCCESSFUL 0xC0000001u
#define DIMMIO_STATUS_NOT_IMPLEMENTED 0xC0000002u
#define DIMMIO_STATUS_INVALID_PARAMETER 0xC000000Du
#define DIMMIO_STATUS_INSUFFICIENT_RESOURCES 0xC000009Au
#define DIMMIO_STATUS_CANCELLED 0xC0000120u

/* ---- The operation status record -------------------------------------- */

/* Failures below the request layer travel in this record inside the output:
 * an operation half (Code, DetailCount, Detail) and a hardware half (HwCode,
 * HwDetailCount, HwDetail). A reader uses only the counted detail words. */
typedef struct DimmioOpStatus {
  uint32_t Header;      /* 1 */
  uint32_t Code;        /* operation error code, 0 = none */
  uint32_t DetailCount; /* Detail words valid: 0, 1 or 2 */
  uint32_t Detail[6];
  uint32_t HwCode;        /* 17-19, 41, 42 when an SMBus transaction failed, 32 when */
                          /* firmware kept a shared host, else 0 */
  uint32_t HwDetailCount; /* 1 whenever HwCode is set */
  uint32_t HwDetail[8];   /* word 0: the controller's status value */
} DimmioOpStatus;

#define DIMMIO_OP_STATUS_SIZE 76u
DIMMIO_STATIC_ASSERT(sizeof(DimmioOpStatus) == DIMMIO_OP_STATUS_SIZE, "DimmioOpStatus size");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, Code) == 4, "Code");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, DetailCount) == 8, "DetailCount");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, Detail) == 12, "Detail");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, HwCode) == 36, "HwCode");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, HwDetailCount) == 40, "HwDetailCount");
DIMMIO_STATIC_ASSERT(offsetof(DimmioOpStatus, HwDetail) == 44, "HwDetail");

/* Error codes of the record (the numbering has gaps). */
#define DIMMIO_ERROR_NONE 0u
#define DIMMIO_ERROR_SPD_BLOCK_READ 14u
#define DIMMIO_ERROR_NO_CHIPSET_INFO 15u
#define DIMMIO_ERROR_HW_READ_BYTE 17u
#define DIMMIO_ERROR_HW_READ_WORD 18u
#define DIMMIO_ERROR_HW_WRITE_BYTE 19u
#define DIMMIO_ERROR_CONTROLLER_ALLOC 20u
#define DIMMIO_ERROR_CONTROLLER_UNAVAILABLE 21u
#define DIMMIO_ERROR_PROBE_FIRST_READ 22u
#define DIMMIO_ERROR_PROBE_WRITE 23u
#define DIMMIO_ERROR_PROBE_READ_BACK 24u
#define DIMMIO_ERROR_PROBE_RESTORE 25u
#define DIMMIO_ERROR_PROBE_READ_AFTER_RESTORE 26u
#define DIMMIO_ERROR_PROBE_MISMATCH 27u
#define DIMMIO_ERROR_HW_HOST_HELD 32u
#define DIMMIO_ERROR_SMBIOS_SCAN_MAP 33u
#define DIMMIO_ERROR_SMBIOS_TABLE_MAP 34u
#define DIMMIO_ERROR_SMBIOS_TABLE_LENGTH 35u
#define DIMMIO_ERROR_SMBIOS_NO_ENTRY_POINT 36u
#define DIMMIO_ERROR_SPD_WRITES_BLOCKED 37u
#define DIMMIO_ERROR_PAGE_NOT_ACKNOWLEDGED 38u /* no module took the page select */
#define DIMMIO_ERROR_NO_PAGE_TRANSFERS 39u     /* the host cannot send a page select */
#define DIMMIO_ERROR_PAGE_OUT_OF_RANGE 40u     /* a page other than 0 or 1 */
#define DIMMIO_ERROR_HW_SEND_BYTE 41u
#define DIMMIO_ERROR_HW_RECEIVE_BYTE 42u
#define DIMMIO_ERROR_PAGE_QUERY_FAILED 43u      /* the page query failed; nothing sent after it */
#define DIMMIO_ERROR_NOT_KNOWN_DDR4 44u         /* no page selected: the slot as it shows */
#define DIMMIO_ERROR_PROBE_NOT_PLAIN_EEPROM 45u /* detail: byte 2; nothing written */
#define DIMMIO_ERROR_PROBE_TYPE_UNREADABLE 46u  /* byte 2 unreadable; nothing written */

/* ---- PCI records ------------------------------------------------------ */

/* One PCI function; also the layout of the chipset information. */
typedef struct DimmioPciDeviceRecord {
  uint32_t Bus;
  uint32_t Device;
  uint32_t Function;
  uint32_t VendorId;
  uint32_t DeviceId;
  uint32_t Reserved; /* 0; in the chipset information, its ChipTraits */
} DimmioPciDeviceRecord;

/* IOCTL_GET_CHIPSET_INFO: the function chosen for the SMBus, laid out as a
   device record whose last word holds the chip's traits. */
typedef struct DimmioChipsetInfo {
  uint32_t Bus;
  uint32_t Device;
  uint32_t Function;
  uint32_t VendorId;
  uint32_t DeviceId;
  uint32_t ChipTraits; /* the DIMMIO_CHIP_ bits below */
} DimmioChipsetInfo;

/* What the chip whose SMBus host the driver installed has (ChipTraits of the
   chipset information; 0 when no host was installed, or the record holds a
   function the driver only noted). */
#define DIMMIO_CHIP_INUSE_SEMAPHORE 0x01u   /* INUSE_STS in the host status (every ICH) */
#define DIMMIO_CHIP_LATE_BUSY 0x02u         /* busy shows ~2 ms after a start (the CSB5) */
#define DIMMIO_CHIP_SEGMENT_SWITCH 0x04u    /* segment 1 switches in a second bank of SPDs */
#define DIMMIO_CHIP_SPDS_ON_CPU_BUS 0x08u   /* the SPDs are on the processor's SMBus */
#define DIMMIO_CHIP_SPD_WRITE_DISABLE 0x10u /* SPD_WD (host configuration bit 4) holds once set */
#define DIMMIO_CHIP_PAGE_TRANSFERS 0x20u    /* send and receive byte: DDR4 SPD pages */

#define DIMMIO_PCI_DEVICE_RECORD_SIZE 24u
#define DIMMIO_PCI_DEVICE_TABLE_CAPACITY 217
DIMMIO_STATIC_ASSERT(sizeof(DimmioPciDeviceRecord) == DIMMIO_PCI_DEVICE_RECORD_SIZE, "record size");
DIMMIO_STATIC_ASSERT(offsetof(DimmioPciDeviceRecord, VendorId) == 12, "VendorId");
DIMMIO_STATIC_ASSERT(offsetof(DimmioPciDeviceRecord, DeviceId) == 16, "DeviceId");
DIMMIO_STATIC_ASSERT(sizeof(DimmioChipsetInfo) == DIMMIO_PCI_DEVICE_RECORD_SIZE, "chipset size");
DIMMIO_STATIC_ASSERT(offsetof(DimmioChipsetInfo, ChipTraits) == 20, "ChipTraits");

/* ---- Inputs ----------------------------------------------------------- */

typedef struct DimmioReadSpdInput {
  uint8_t Slot;        /* 0-7 */
  uint8_t FirstOffset; /* 0-255; the read wraps past 255 to 0 */
} DimmioReadSpdInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioReadSpdInput) == 2, "DimmioReadSpdInput");

/* IOCTL_READ_SPD_PAGE; the reply is laid out as IOCTL_READ_SPD's. */
typedef struct DimmioReadSpdPageInput {
  uint8_t Slot;        /* 0-7 */
  uint8_t Page;        /* 0 (bytes 0-255) or 1 (bytes 256-511) */
  uint8_t FirstOffset; /* 0-255 inside the page; the read wraps inside it */
} DimmioReadSpdPageInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioReadSpdPageInput) == 3, "DimmioReadSpdPageInput");

typedef struct DimmioProbeInput {
  uint8_t Slot; /* 0-7 */
} DimmioProbeInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioProbeInput) == 1, "DimmioProbeInput");

typedef struct DimmioSetSegmentInput {
  uint32_t Segment;
} DimmioSetSegmentInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioSetSegmentInput) == 4, "DimmioSetSegmentInput");

typedef struct DimmioPciTableInput {
  int32_t Count; /* records wanted; at most 217 are returned */
} DimmioPciTableInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioPciTableInput) == 4, "DimmioPciTableInput");

typedef struct DimmioPciConfigInput {
  uint32_t Bus;       /* 0 only */
  uint32_t Device;    /* 0-30 */
  uint32_t Function;  /* 0-6 */
  uint32_t Unused[3]; /* must be present, not read */
} DimmioPciConfigInput;
DIMMIO_STATIC_ASSERT(sizeof(DimmioPciConfigInput) == 24, "DimmioPciConfigInput");

/* ---- Output envelopes ------------------------------------------------- */

/* IOCTL_READ_SPD: the record, then the SPD bytes; the output length asks
 * for (length - 76) bytes, at most 256 (an SPD's size: a longer read would
 * only repeat them), and the reply holds 76 + the bytes read. */
#define DIMMIO_SPD_DATA_OFFSET 76u
#define DIMMIO_SPD_SIZE 256u
typedef struct DimmioSpdReadReply {
  DimmioOpStatus Status;
  uint8_t Data[DIMMIO_SPD_SIZE]; /* a whole SPD image; shorter reads use less */
} DimmioSpdReadReply;
DIMMIO_STATIC_ASSERT(offsetof(DimmioSpdReadReply, Data) == DIMMIO_SPD_DATA_OFFSET, "SPD data");
DIMMIO_STATIC_ASSERT(sizeof(DimmioSpdReadReply) == 332, "DimmioSpdReadReply");

/* IOCTL_PROBE_SPD_WRITE. */
#define DIMMIO_PROBE_WRITABLE 1
#define DIMMIO_PROBE_UNCHANGED 0
typedef struct DimmioProbeReply {
  int32_t Result; /* 1 writable, 0 unchanged, -1..-5 the step that failed */
  DimmioOpStatus Status;
} DimmioProbeReply;
DIMMIO_STATIC_ASSERT(offsetof(DimmioProbeReply, Status) == 4, "probe status");
DIMMIO_STATIC_ASSERT(sizeof(DimmioProbeReply) == 80, "DimmioProbeReply");

/* IOCTL_GET_MEMORY_SLOT_COUNT, IOCTL_GET_MEMORY_MODULE_COUNT. */
typedef struct DimmioCountReply {
  uint8_t Count;
  uint8_t Unwritten[3]; /* written as zero: the count also reads as a 32-bit value */
  DimmioOpStatus Status;
} DimmioCountReply;
DIMMIO_STATIC_ASSERT(offsetof(DimmioCountReply, Status) == 4, "count status");
DIMMIO_STATIC_ASSERT(sizeof(DimmioCountReply) == 80, "DimmioCountReply");

/* IOCTL_SET_SEGMENT. */
typedef struct DimmioSegmentReply {
  DimmioOpStatus Status;
} DimmioSegmentReply;
DIMMIO_STATIC_ASSERT(sizeof(DimmioSegmentReply) == 76, "DimmioSegmentReply");

/* IOCTL_READ_PCI_CONFIG: the dword at offset k at byte k. */
#define DIMMIO_PCI_CONFIG_SIZE 256u

/* IOCTL_GET_SYSTEM_INFO: eight zero-terminated strings of at most 127
 * characters, each in a 128-byte field, copied as the BIOS stored them. */
#define DIMMIO_SYSTEM_INFO_FIELD_SIZE 128u
typedef struct DimmioSystemInfoReport {
  char SystemManufacturer[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char SystemProduct[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char SystemVersion[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char SystemSerialNumber[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char BoardManufacturer[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char BoardProduct[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char BoardVersion[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
  char BoardSerialNumber[DIMMIO_SYSTEM_INFO_FIELD_SIZE];
} DimmioSystemInfoReport;
#define DIMMIO_SYSTEM_INFO_SIZE 1024u
DIMMIO_STATIC_ASSERT(sizeof(DimmioSystemInfoReport) == DIMMIO_SYSTEM_INFO_SIZE, "report size");
DIMMIO_STATIC_ASSERT(offsetof(DimmioSystemInfoReport, BoardManufacturer) == 0x200, "board fields");
DIMMIO_STATIC_ASSERT(offsetof(DimmioSystemInfoReport, BoardSerialNumber) == 0x380, "last field");

#ifdef __cplusplus
}
#endif

#endif /* DIMMIO_DIMMIO_H */
