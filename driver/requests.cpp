#include "driver/requests.h"

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "driver/wire.h"
#include "smbios/smbios.h"

namespace {

// ---- checks

constexpr uint8_t kLastSpdSlot = 7;
// The configuration dump reaches bus 0, devices 0-30 and functions 0-6 only.
constexpr uint32_t kConfigBusLimit = 1;
constexpr uint32_t kConfigDeviceLimit = 31;
constexpr uint32_t kConfigFunctionLimit = 7;

// The slot in byte 0 is one of the eight SPD addresses. (The page of a page
// read is judged by the worker, in the status record.)
bool SlotIsAModule(const uint8_t* buffer, uint32_t) {
  return buffer[0] <= kLastSpdSlot;
}

bool FunctionIsReachable(const uint8_t* buffer, uint32_t) {
  return LoadLe32(buffer) < kConfigBusLimit && LoadLe32(buffer + 4) < kConfigDeviceLimit &&
         LoadLe32(buffer + 8) < kConfigFunctionLimit;
}

// Records the device-table request asks for: its signed count, at most the
// table's capacity (a negative count is refused by the check).
int32_t WantedRecords(const uint8_t* buffer) {
  auto wanted = static_cast<int32_t>(LoadLe32(buffer));
  if (wanted > static_cast<int32_t>(kPciDeviceTableCapacity)) {
    wanted = static_cast<int32_t>(kPciDeviceTableCapacity);
  }
  return wanted;
}

// Output the device-table request needs for a count of 0 to the capacity.
uint32_t TableLengthRequired(int32_t wanted) {
  return static_cast<uint32_t>(wanted) * kPciRecordSize;
}

bool TableFitsTheOutput(const uint8_t* buffer, uint32_t outputLength) {
  const int32_t wanted = WantedRecords(buffer);
  return wanted >= 0 && outputLength >= TableLengthRequired(wanted);
}

// ---- the answers given at once

NtStatus ChipsetInfoAnswer(RequestCall* call) {
  CopyBytes(call->Buffer, &ChipsetInfo, kChipsetInfoSize);
  call->Information = kChipsetInfoSize;
  return STATUS_SUCCESS;
}

NtStatus PciDeviceCountAnswer(RequestCall* call) {
  StoreLe32(call->Buffer, PciDeviceCount);
  call->Information = kPciDeviceCountSize;
  return STATUS_SUCCESS;
}

NtStatus PciDeviceTableAnswer(RequestCall* call) {
  const int32_t wanted = WantedRecords(call->Buffer);
  if (wanted <= 0) return STATUS_SUCCESS;  // nothing copied, nothing returned
  CopyBytes(call->Buffer, PciDeviceTable, TableLengthRequired(wanted));
  call->Information = TableLengthRequired(wanted);
  return STATUS_SUCCESS;
}

NtStatus SystemInfoAnswer(RequestCall* call) {
  OpStatus scratch;  // what went wrong is not returned with the report
  InitOpStatus(&scratch);
  if (BuildSystemInfoReport(call->Buffer, &scratch) < 0) return STATUS_UNSUCCESSFUL;
  call->Information = kSystemInfoSize;
  return STATUS_SUCCESS;
}

// ---- the worker's envelopes: each places the operation's status record and
// payload at their offsets in the system buffer

OpStatus* StatusAt(uint8_t* buffer, uint32_t offset) {
  return reinterpret_cast<OpStatus*>(buffer + offset);
}

using CountQuery = uint8_t (*)(OpStatus* status);

NtStatus CountEnvelope(CountQuery query, RequestCall* call) {
  OpStatus* status = StatusAt(call->Buffer, kReplyStatusOffset);
  InitOpStatus(status);
  // The count is one byte; bytes 1-3 are written as zero, so that the reply
  // holds nothing of the buffer's earlier contents and reads as a 32-bit
  // count too.
  StoreLe32(call->Buffer, query(status));
  call->Information = kCountReplySize;
  return STATUS_SUCCESS;
}

NtStatus SlotCountEnvelope(RequestCall* call) {
  return CountEnvelope(&CountMemorySlots, call);
}

NtStatus ModuleCountEnvelope(RequestCall* call) {
  return CountEnvelope(&CountMemoryModules, call);
}

// The bytes an SPD read asks for. An SPD (or a DDR4 page) holds 256 bytes
// and a longer read only repeats them: a caller's long output buffer must
// not keep the only worker (and unload) busy for millions of transfers.
uint32_t SpdBytesAsked(uint32_t outputLength) {
  const uint32_t count = outputLength - kSpdDataOffset;
  return count > kSpdReadLimit ? kSpdReadLimit : count;
}

// The SPD requests run on the segment of their handle and leave the
// controller on segment 0. A read returns the status record, then the bytes
// `read` got of those asked for (the caller reads its input first: the
// record overwrites it).
template <class Read>
NtStatus SpdReadEnvelope(RequestCall* call, Read read) {
  SmbusController* controller = call->Extension->Controller;
  OpStatus* status = StatusAt(call->Buffer, 0);
  InitOpStatus(status);
  SetSegment(controller, status, call->Segment);
  const uint32_t got =
      read(controller, status, call->Buffer + kSpdDataOffset, SpdBytesAsked(call->OutputLength));
  SetSegment(controller, status, 0);
  call->Information = kSpdDataOffset + got;
  return STATUS_SUCCESS;
}

NtStatus ReadSpdEnvelope(RequestCall* call) {
  const uint8_t slot = call->Buffer[0];
  const uint8_t firstOffset = call->Buffer[1];
  return SpdReadEnvelope(call, [=](SmbusController* c, OpStatus* s, uint8_t* data, uint32_t n) {
    return ReadSpdBlock(c, s, slot, data, firstOffset, n);
  });
}

NtStatus ReadSpdPageEnvelope(RequestCall* call) {
  const uint8_t slot = call->Buffer[0];
  const uint8_t page = call->Buffer[1];
  const uint8_t firstOffset = call->Buffer[2];
  return SpdReadEnvelope(call, [=](SmbusController* c, OpStatus* s, uint8_t* data, uint32_t n) {
    return ReadSpdPage(c, s, slot, page, data, firstOffset, n);
  });
}

NtStatus ProbeSpdWriteEnvelope(RequestCall* call) {
  const uint8_t slot = call->Buffer[0];
  SmbusController* controller = call->Extension->Controller;
  OpStatus* status = StatusAt(call->Buffer, kReplyStatusOffset);
  InitOpStatus(status);
  SetSegment(controller, status, call->Segment);
  const int32_t result = ProbeSpdWrite(controller, status, slot);
  SetSegment(controller, status, 0);
  StoreLe32(call->Buffer, static_cast<uint32_t>(result));
  call->Information = kProbeReplySize;
  return STATUS_SUCCESS;
}

// The value becomes the segment of the request's handle; nothing is sent.
NtStatus SetSegmentEnvelope(RequestCall* call) {
  call->Segment = LoadLe32(call->Buffer);
  InitOpStatus(StatusAt(call->Buffer, 0));
  call->Information = kSegmentReplySize;
  return STATUS_SUCCESS;
}

NtStatus DumpPciConfig(RequestCall* call) {
  const uint8_t* input = call->Buffer;
  const PciLocation location{static_cast<uint8_t>(LoadLe32(input)),
                             static_cast<uint8_t>(LoadLe32(input + 4)),
                             static_cast<uint8_t>(LoadLe32(input + 8))};
  for (uint32_t offset = 0; offset < kPciConfigSize; offset += 4) {
    StoreLe32(call->Buffer + offset, PciReadConfigDword(location, static_cast<uint8_t>(offset)));
  }
  call->Information = kPciConfigSize;
  return STATUS_SUCCESS;
}

// ---- the table

using K = RequestKind;

constexpr RequestRow kRequests[] = {
    {.Code = IOCTL_READ_SPD,
     .Kind = K::Queued,
     .DrivesSmbus = true,
     .LeastInput = sizeof(DimmioReadSpdInput),
     .LeastOutput = kSpdDataOffset + 1,
     .Check = &SlotIsAModule,
     .Handler = &ReadSpdEnvelope},
    {.Code = IOCTL_READ_SPD_PAGE,
     .Kind = K::Queued,
     .DrivesSmbus = true,
     .LeastInput = sizeof(DimmioReadSpdPageInput),
     .LeastOutput = kSpdDataOffset + 1,
     .Check = &SlotIsAModule,
     .Handler = &ReadSpdPageEnvelope},
    {.Code = IOCTL_PROBE_SPD_WRITE,
     .Kind = K::Queued,
     .DrivesSmbus = true,
     .LeastInput = sizeof(DimmioProbeInput),
     .LeastOutput = kProbeReplySize,
     .Check = &SlotIsAModule,
     .Handler = &ProbeSpdWriteEnvelope},
    {.Code = IOCTL_GET_MEMORY_SLOT_COUNT,
     .Kind = K::Queued,
     .DrivesSmbus = false,
     .LeastInput = 0,
     .LeastOutput = kCountReplySize,
     .Check = nullptr,
     .Handler = &SlotCountEnvelope},
    {.Code = IOCTL_GET_MEMORY_MODULE_COUNT,
     .Kind = K::Queued,
     .DrivesSmbus = false,
     .LeastInput = 0,
     .LeastOutput = kCountReplySize,
     .Check = nullptr,
     .Handler = &ModuleCountEnvelope},
    {.Code = IOCTL_SET_SEGMENT,
     .Kind = K::Queued,
     .DrivesSmbus = false,
     .LeastInput = sizeof(DimmioSetSegmentInput),
     .LeastOutput = kSegmentReplySize,
     .Check = nullptr,
     .Handler = &SetSegmentEnvelope},
    {.Code = IOCTL_GET_CHIPSET_INFO,
     .Kind = K::AtOnce,
     .DrivesSmbus = false,
     .LeastInput = 0,
     .LeastOutput = kChipsetInfoSize,
     .Check = nullptr,
     .Handler = &ChipsetInfoAnswer},
    {.Code = IOCTL_GET_PCI_DEVICE_TABLE,
     .Kind = K::AtOnce,
     .DrivesSmbus = false,
     .LeastInput = sizeof(DimmioPciTableInput),
     .LeastOutput = 0,
     .Check = &TableFitsTheOutput,
     .Handler = &PciDeviceTableAnswer},
    {.Code = IOCTL_GET_PCI_DEVICE_COUNT,
     .Kind = K::AtOnce,
     .DrivesSmbus = false,
     .LeastInput = 0,
     .LeastOutput = kPciDeviceCountSize,
     .Check = nullptr,
     .Handler = &PciDeviceCountAnswer},
    {.Code = IOCTL_READ_PCI_CONFIG,
     .Kind = K::Queued,
     .DrivesSmbus = false,
     .LeastInput = sizeof(DimmioPciConfigInput),
     .LeastOutput = kPciConfigSize,
     .Check = &FunctionIsReachable,
     .Handler = &DumpPciConfig},
    {.Code = IOCTL_GET_SYSTEM_INFO,
     .Kind = K::AtOnce,
     .DrivesSmbus = false,
     .LeastInput = 0,
     .LeastOutput = kSystemInfoSize,
     .Check = nullptr,
     .Handler = &SystemInfoAnswer},
};

// Each code has one row; the bus is driven only by the worker (an answer
// given at once runs in the caller's thread, beside the worker's transfers).
constexpr bool RowsAreSound() {
  for (const RequestRow& row : kRequests) {
    if (row.Handler == nullptr) return false;
    if (row.DrivesSmbus && row.Kind != RequestKind::Queued) return false;
    int rows = 0;
    for (const RequestRow& other : kRequests) rows += other.Code == row.Code ? 1 : 0;
    if (rows != 1) return false;
  }
  return true;
}
static_assert(RowsAreSound());

}  // namespace

const RequestRow* FindRequest(uint32_t code) {
  for (const RequestRow& row : kRequests) {
    if (row.Code == code) return &row;
  }
  return nullptr;
}

bool RequestPassesChecks(const RequestRow& row, const uint8_t* buffer, uint32_t inputLength,
                         uint32_t outputLength) {
  return inputLength >= row.LeastInput && outputLength >= row.LeastOutput &&
         (row.Check == nullptr || row.Check(buffer, outputLength));
}
