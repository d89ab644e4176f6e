#include "driver/requests.h"

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "driver/wire.h"
#include "smbios/smbios.h"

namespace {

constexpr uint8_t kLastSpdSlot = 7;
// The configuration dump reaches bus 0, devices 0-30 and functions 0-6 only.
constexpr uint32_t kConfigBusLimit = 1;
constexpr uint32_t kConfigDeviceLimit = 31;
constexpr uint32_t kConfigFunctionLimit = 7;

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

}  // namespace

RequestKind KindOfRequest(uint32_t code) {
  switch (code) {
    case IOCTL_READ_SPD:
    case IOCTL_READ_SPD_PAGE:
    case IOCTL_PROBE_SPD_WRITE:
    case IOCTL_GET_MEMORY_SLOT_COUNT:
    case IOCTL_GET_MEMORY_MODULE_COUNT:
    case IOCTL_SET_SEGMENT:
    case IOCTL_READ_PCI_CONFIG:
      return RequestKind::Queued;
    case IOCTL_GET_CHIPSET_INFO:
    case IOCTL_GET_PCI_DEVICE_TABLE:
    case IOCTL_GET_PCI_DEVICE_COUNT:
    case IOCTL_GET_SYSTEM_INFO:
      return RequestKind::AtOnce;
    default:
      return RequestKind::Unknown;
  }
}

bool RequestDrivesSmbus(uint32_t code) {
  switch (code) {
    case IOCTL_READ_SPD:
    case IOCTL_READ_SPD_PAGE:
    case IOCTL_PROBE_SPD_WRITE:
      return true;
    default:
      return false;
  }
}

bool RequestPassesChecks(uint32_t code, const uint8_t* buffer, uint32_t inputLength,
                         uint32_t outputLength) {
  switch (code) {
    case IOCTL_READ_SPD:
      return inputLength >= 2 && outputLength > kSpdDataOffset && buffer[0] <= kLastSpdSlot;
    case IOCTL_READ_SPD_PAGE:
      // The page is judged by the worker, in the status record.
      return inputLength >= kSpdPageInputSize && outputLength > kSpdDataOffset &&
             buffer[0] <= kLastSpdSlot;
    case IOCTL_PROBE_SPD_WRITE:
      return inputLength >= 1 && outputLength >= kProbeReplySize && buffer[0] <= kLastSpdSlot;
    case IOCTL_GET_MEMORY_SLOT_COUNT:
    case IOCTL_GET_MEMORY_MODULE_COUNT:
      return outputLength >= kCountReplySize;
    case IOCTL_SET_SEGMENT:
      return inputLength >= 4 && outputLength >= kSegmentReplySize;
    case IOCTL_GET_CHIPSET_INFO:
      return outputLength >= kChipsetInfoSize;
    case IOCTL_GET_PCI_DEVICE_TABLE:
      return inputLength >= 4 && WantedRecords(buffer) >= 0 &&
             outputLength >= TableLengthRequired(WantedRecords(buffer));
    case IOCTL_GET_PCI_DEVICE_COUNT:
      return outputLength >= kPciDeviceCountSize;
    case IOCTL_READ_PCI_CONFIG:
      return inputLength >= kPciConfigInputSize && outputLength >= kPciConfigSize &&
             LoadLe32(buffer) < kConfigBusLimit && LoadLe32(buffer + 4) < kConfigDeviceLimit &&
             LoadLe32(buffer + 8) < kConfigFunctionLimit;
    case IOCTL_GET_SYSTEM_INFO:
      return outputLength >= kSystemInfoSize;
    default:
      return false;
  }
}

NtStatus AnswerAtOnce(uint32_t code, uint8_t* buffer, uint32_t, uint32_t* information) {
  *information = 0;
  switch (code) {
    case IOCTL_GET_CHIPSET_INFO:
      CopyBytes(buffer, &ChipsetInfo, kChipsetInfoSize);
      *information = kChipsetInfoSize;
      return STATUS_SUCCESS;
    case IOCTL_GET_PCI_DEVICE_COUNT:
      StoreLe32(buffer, PciDeviceCount);
      *information = kPciDeviceCountSize;
      return STATUS_SUCCESS;
    case IOCTL_GET_PCI_DEVICE_TABLE: {
      const int32_t wanted = WantedRecords(buffer);
      if (wanted <= 0) return STATUS_SUCCESS;  // nothing copied, nothing returned
      CopyBytes(buffer, PciDeviceTable, TableLengthRequired(wanted));
      *information = TableLengthRequired(wanted);
      return STATUS_SUCCESS;
    }
    case IOCTL_GET_SYSTEM_INFO: {
      OpStatus scratch;  // what went wrong is not returned with the report
      InitOpStatus(&scratch);
      if (BuildSystemInfoReport(buffer, &scratch) < 0) return STATUS_UNSUCCESSFUL;
      *information = kSystemInfoSize;
      return STATUS_SUCCESS;
    }
    default:
      return STATUS_NOT_IMPLEMENTED;
  }
}
