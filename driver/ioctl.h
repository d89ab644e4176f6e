// The device-control requests of the dimmio device, shared with user mode:
// codes, and the sizes that their buffers are checked against. Buffered
// transfer for every code; little-endian layouts.
#pragma once

#include <stdint.h>

constexpr uint32_t kDimmioDeviceType = 0x9C40;

// Access bits of a control code.
constexpr uint32_t kFileReadAccess = 1;
constexpr uint32_t kFileWriteAccess = 2;
constexpr uint32_t kMethodBuffered = 0;

constexpr uint32_t DimmioControlCode(uint32_t function, uint32_t access) {
  return (kDimmioDeviceType << 16) | (access << 14) | (function << 2) | kMethodBuffered;
}

constexpr uint32_t IOCTL_READ_SPD = DimmioControlCode(0x800, kFileReadAccess);
constexpr uint32_t IOCTL_PROBE_SPD_WRITE =
    DimmioControlCode(0x801, kFileReadAccess | kFileWriteAccess);
constexpr uint32_t IOCTL_GET_MEMORY_SLOT_COUNT = DimmioControlCode(0x802, kFileReadAccess);
constexpr uint32_t IOCTL_GET_MEMORY_MODULE_COUNT = DimmioControlCode(0x803, kFileReadAccess);
constexpr uint32_t IOCTL_SET_SEGMENT = DimmioControlCode(0x804, kFileWriteAccess);
constexpr uint32_t IOCTL_GET_CHIPSET_INFO = DimmioControlCode(0x805, kFileReadAccess);
constexpr uint32_t IOCTL_GET_PCI_DEVICE_TABLE =
    DimmioControlCode(0x806, kFileReadAccess | kFileWriteAccess);
constexpr uint32_t IOCTL_GET_PCI_DEVICE_COUNT = DimmioControlCode(0x807, kFileReadAccess);
constexpr uint32_t IOCTL_READ_PCI_CONFIG =
    DimmioControlCode(0x808, kFileReadAccess | kFileWriteAccess);
constexpr uint32_t IOCTL_GET_SYSTEM_INFO = DimmioControlCode(0x809, kFileReadAccess);

static_assert(IOCTL_READ_SPD == 0x9C406000u);
static_assert(IOCTL_PROBE_SPD_WRITE == 0x9C40E004u);
static_assert(IOCTL_GET_MEMORY_SLOT_COUNT == 0x9C406008u);
static_assert(IOCTL_GET_MEMORY_MODULE_COUNT == 0x9C40600Cu);
static_assert(IOCTL_SET_SEGMENT == 0x9C40A010u);
static_assert(IOCTL_GET_CHIPSET_INFO == 0x9C406014u);
static_assert(IOCTL_GET_PCI_DEVICE_TABLE == 0x9C40E018u);
static_assert(IOCTL_GET_PCI_DEVICE_COUNT == 0x9C40601Cu);
static_assert(IOCTL_READ_PCI_CONFIG == 0x9C40E020u);
static_assert(IOCTL_GET_SYSTEM_INFO == 0x9C406024u);

// Output layouts.
constexpr uint32_t kOpStatusSize = 76;
constexpr uint32_t kSpdDataOffset = 76;         // SPD bytes follow the status record
constexpr uint32_t kProbeReplySize = 80;        // result dword, then the status record
constexpr uint32_t kCountReplySize = 80;        // count byte, 3 untouched, status record
constexpr uint32_t kReplyStatusOffset = 4;      // status record in probe and count replies
constexpr uint32_t kSegmentReplySize = 76;
constexpr uint32_t kChipsetInfoSize = 24;
constexpr uint32_t kPciRecordSize = 24;
constexpr uint32_t kPciDeviceCountSize = 4;
constexpr uint32_t kPciConfigInputSize = 24;    // bus, device, function dwords, 12 unread
constexpr uint32_t kPciConfigSize = 256;
constexpr uint32_t kSystemInfoSize = 1024;
