// The device-control requests of the dimmio device: the codes and record
// layouts come from the public header that user-mode programs include, so
// the driver and its callers share one copy of every number; the names below
// are the driver's own for the sizes its checks and envelopes use.
#pragma once

#include <stdint.h>

#include "dimmio/dimmio.h"

constexpr uint32_t kDimmioDeviceType = DIMMIO_DEVICE_TYPE;

// Output layouts.
constexpr uint32_t kOpStatusSize = DIMMIO_OP_STATUS_SIZE;
constexpr uint32_t kSpdDataOffset = DIMMIO_SPD_DATA_OFFSET;  // SPD bytes follow the status record
constexpr uint32_t kSpdReadLimit = DIMMIO_SPD_SIZE;          // bytes one SPD read returns at most
constexpr uint32_t kProbeReplySize = sizeof(DimmioProbeReply);  // result dword, status record
constexpr uint32_t kCountReplySize = sizeof(DimmioCountReply);  // count byte, 3 zero bytes, status
constexpr uint32_t kReplyStatusOffset = offsetof(DimmioProbeReply, Status);
constexpr uint32_t kSegmentReplySize = sizeof(DimmioSegmentReply);
constexpr uint32_t kChipsetInfoSize = sizeof(DimmioChipsetInfo);
constexpr uint32_t kPciRecordSize = DIMMIO_PCI_DEVICE_RECORD_SIZE;
constexpr uint32_t kPciDeviceCountSize = 4;
constexpr uint32_t kPciConfigInputSize = sizeof(DimmioPciConfigInput);  // 3 dwords, 12 unread
constexpr uint32_t kPciConfigSize = DIMMIO_PCI_CONFIG_SIZE;
constexpr uint32_t kSystemInfoSize = DIMMIO_SYSTEM_INFO_SIZE;

static_assert(offsetof(DimmioCountReply, Status) == kReplyStatusOffset);
