#include "dimmio/client.h"

#include <algorithm>

namespace dimmio {

namespace {

uint32_t Le32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void PutLe32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string FieldText(const uint8_t* field) {
  const auto* end = std::find(field, field + DIMMIO_SYSTEM_INFO_FIELD_SIZE, uint8_t{0});
  return std::string(field, end);
}

}  // namespace

OpStatus DecodeOpStatus(const uint8_t* bytes) {
  OpStatus status{};
  status.Header = Le32(bytes + offsetof(OpStatus, Header));
  status.Code = Le32(bytes + offsetof(OpStatus, Code));
  status.DetailCount = Le32(bytes + offsetof(OpStatus, DetailCount));
  for (int i = 0; i < 6; ++i) status.Detail[i] = Le32(bytes + offsetof(OpStatus, Detail) + 4 * i);
  status.HwCode = Le32(bytes + offsetof(OpStatus, HwCode));
  status.HwDetailCount = Le32(bytes + offsetof(OpStatus, HwDetailCount));
  for (int i = 0; i < 8; ++i) {
    status.HwDetail[i] = Le32(bytes + offsetof(OpStatus, HwDetail) + 4 * i);
  }
  return status;
}

PciDeviceRecord DecodePciDeviceRecord(const uint8_t* bytes) {
  PciDeviceRecord record{};
  record.Bus = Le32(bytes + offsetof(PciDeviceRecord, Bus));
  record.Device = Le32(bytes + offsetof(PciDeviceRecord, Device));
  record.Function = Le32(bytes + offsetof(PciDeviceRecord, Function));
  record.VendorId = Le32(bytes + offsetof(PciDeviceRecord, VendorId));
  record.DeviceId = Le32(bytes + offsetof(PciDeviceRecord, DeviceId));
  record.Reserved = Le32(bytes + offsetof(PciDeviceRecord, Reserved));
  return record;
}

Result<std::vector<uint8_t>> Client::Send(uint32_t code, std::span<const uint8_t> input,
                                          uint32_t outputLength, uint32_t minimumReply) {
  ControlReply reply = transport_.Control(code, input, outputLength);
  if (!reply.Completed) return RequestError{reply.Error, std::move(reply.ErrorText)};
  if (reply.Output.size() < minimumReply || reply.Output.size() > outputLength) {
    return RequestError{
        0,
        "the driver returned " + std::to_string(reply.Output.size()) + " bytes where " +
            std::to_string(minimumReply) +
            (minimumReply == outputLength ? std::string() : " to " + std::to_string(outputLength)) +
            " were expected"};
  }
  return std::move(reply.Output);
}

Result<SpdRead> Client::SpdReply(uint32_t code, std::span<const uint8_t> input, uint32_t count) {
  if (count == 0 || count > UINT32_MAX - DIMMIO_SPD_DATA_OFFSET) {
    return RequestError{0, "an SPD read needs a count of at least 1"};
  }
  auto reply = Send(code, input, DIMMIO_SPD_DATA_OFFSET + count, DIMMIO_SPD_DATA_OFFSET);
  if (!reply) return reply.error();
  const std::vector<uint8_t>& out = *reply;
  return SpdRead{{out.begin() + DIMMIO_SPD_DATA_OFFSET, out.end()}, DecodeOpStatus(out.data())};
}

Result<SpdRead> Client::ReadSpd(uint8_t slot, uint8_t firstOffset, uint32_t count) {
  const uint8_t input[sizeof(DimmioReadSpdInput)] = {slot, firstOffset};
  return SpdReply(IOCTL_READ_SPD, input, count);
}

Result<SpdRead> Client::ReadSpdPage(uint8_t slot, uint8_t page, uint8_t firstOffset,
                                    uint32_t count) {
  const uint8_t input[sizeof(DimmioReadSpdPageInput)] = {slot, page, firstOffset};
  return SpdReply(IOCTL_READ_SPD_PAGE, input, count);
}

Result<ProbeResult> Client::ProbeSpdWrite(uint8_t slot) {
  const uint8_t input[sizeof(DimmioProbeInput)] = {slot};
  auto reply =
      Send(IOCTL_PROBE_SPD_WRITE, input, sizeof(DimmioProbeReply), sizeof(DimmioProbeReply));
  if (!reply) return reply.error();
  return ProbeResult{static_cast<int32_t>(Le32(reply->data())),
                     DecodeOpStatus(reply->data() + offsetof(DimmioProbeReply, Status))};
}

Result<OpStatus> Client::SetSegment(uint32_t segment) {
  uint8_t input[sizeof(DimmioSetSegmentInput)];
  PutLe32(input, segment);
  auto reply =
      Send(IOCTL_SET_SEGMENT, input, sizeof(DimmioSegmentReply), sizeof(DimmioSegmentReply));
  if (!reply) return reply.error();
  return DecodeOpStatus(reply->data());
}

Result<CountResult> Client::Count(uint32_t code) {
  auto reply = Send(code, {}, sizeof(DimmioCountReply), sizeof(DimmioCountReply));
  if (!reply) return reply.error();
  // Bytes 1-3 are not written by the driver and are not looked at.
  return CountResult{(*reply)[offsetof(DimmioCountReply, Count)],
                     DecodeOpStatus(reply->data() + offsetof(DimmioCountReply, Status))};
}

Result<CountResult> Client::MemorySlotCount() {
  return Count(IOCTL_GET_MEMORY_SLOT_COUNT);
}

Result<CountResult> Client::MemoryModuleCount() {
  return Count(IOCTL_GET_MEMORY_MODULE_COUNT);
}

Result<PciDeviceRecord> Client::ChipsetInfo() {
  auto reply =
      Send(IOCTL_GET_CHIPSET_INFO, {}, sizeof(DimmioChipsetInfo), sizeof(DimmioChipsetInfo));
  if (!reply) return reply.error();
  return DecodePciDeviceRecord(reply->data());
}

Result<std::vector<PciDeviceRecord>> Client::PciDeviceTable(int32_t count) {
  // The driver refuses a negative count and returns at most the table's
  // capacity; the output is sized for what it will return.
  if (count < 0) return RequestError{0, "the record count must not be negative"};
  const int32_t records = std::min<int32_t>(count, DIMMIO_PCI_DEVICE_TABLE_CAPACITY);
  uint8_t input[sizeof(DimmioPciTableInput)];
  PutLe32(input, static_cast<uint32_t>(count));
  const uint32_t length = static_cast<uint32_t>(records) * DIMMIO_PCI_DEVICE_RECORD_SIZE;
  auto reply = Send(IOCTL_GET_PCI_DEVICE_TABLE, input, length, length);
  if (!reply) return reply.error();
  std::vector<PciDeviceRecord> table;
  for (uint32_t at = 0; at < length; at += DIMMIO_PCI_DEVICE_RECORD_SIZE) {
    table.push_back(DecodePciDeviceRecord(reply->data() + at));
  }
  return table;
}

Result<uint32_t> Client::PciDeviceCount() {
  auto reply = Send(IOCTL_GET_PCI_DEVICE_COUNT, {}, 4, 4);
  if (!reply) return reply.error();
  return Le32(reply->data());
}

Result<PciConfigSpace> Client::ReadPciConfig(uint32_t bus, uint32_t device, uint32_t function) {
  uint8_t input[sizeof(DimmioPciConfigInput)] = {};
  PutLe32(input + offsetof(DimmioPciConfigInput, Bus), bus);
  PutLe32(input + offsetof(DimmioPciConfigInput, Device), device);
  PutLe32(input + offsetof(DimmioPciConfigInput, Function), function);
  auto reply = Send(IOCTL_READ_PCI_CONFIG, input, DIMMIO_PCI_CONFIG_SIZE, DIMMIO_PCI_CONFIG_SIZE);
  if (!reply) return reply.error();
  PciConfigSpace space;
  std::copy(reply->begin(), reply->end(), space.begin());
  return space;
}

Result<SystemInfo> Client::SystemInformation() {
  auto reply = Send(IOCTL_GET_SYSTEM_INFO, {}, DIMMIO_SYSTEM_INFO_SIZE, DIMMIO_SYSTEM_INFO_SIZE);
  if (!reply) return reply.error();
  const uint8_t* r = reply->data();
  return SystemInfo{
      FieldText(r + offsetof(DimmioSystemInfoReport, SystemManufacturer)),
      FieldText(r + offsetof(DimmioSystemInfoReport, SystemProduct)),
      FieldText(r + offsetof(DimmioSystemInfoReport, SystemVersion)),
      FieldText(r + offsetof(DimmioSystemInfoReport, SystemSerialNumber)),
      FieldText(r + offsetof(DimmioSystemInfoReport, BoardManufacturer)),
      FieldText(r + offsetof(DimmioSystemInfoReport, BoardProduct)),
      FieldText(r + offsetof(DimmioSystemInfoReport, BoardVersion)),
      FieldText(r + offsetof(DimmioSystemInfoReport, BoardSerialNumber)),
  };
}

}  // namespace dimmio
