// The worker-side handlers: each places the operation's status record and
// payload at their offsets in the system buffer and sets the byte count.
#include "driver/requests.h"
#include "driver/wire.h"
#include "smbios/smbios.h"

namespace {

OpStatus* StatusAt(uint8_t* buffer, uint32_t offset) {
  return reinterpret_cast<OpStatus*>(buffer + offset);
}

using CountQuery = uint8_t (*)(OpStatus* status);

NtStatus CountEnvelope(CountQuery query, uint8_t* buffer, uint32_t* information) {
  OpStatus* status = StatusAt(buffer, kReplyStatusOffset);
  InitOpStatus(status);
  // The count is one byte; bytes 1-3 are written as zero, so that the reply
  // holds nothing of the buffer's earlier contents and reads as a 32-bit
  // count too.
  StoreLe32(buffer, query(status));
  *information = kCountReplySize;
  return STATUS_SUCCESS;
}

// The bytes an SPD read asks for. An SPD (or a DDR4 page) holds 256 bytes
// and a longer read only repeats them: a caller's long output buffer must
// not keep the only worker (and unload) busy for millions of transfers.
uint32_t SpdBytesAsked(uint32_t outputLength) {
  const uint32_t count = outputLength - kSpdDataOffset;
  return count > kSpdReadLimit ? kSpdReadLimit : count;
}

}  // namespace

NtStatus ReadSpdEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                         uint32_t outputLength, uint32_t* information) {
  const uint8_t slot = buffer[0];
  const uint8_t firstOffset = buffer[1];
  OpStatus* status = StatusAt(buffer, 0);
  InitOpStatus(status);
  SetSegment(extension->Controller, status, segment);
  const uint32_t read = ReadSpdBlock(extension->Controller, status, slot,
                                     buffer + kSpdDataOffset, firstOffset,
                                     SpdBytesAsked(outputLength));
  SetSegment(extension->Controller, status, 0);
  *information = kSpdDataOffset + read;
  return STATUS_SUCCESS;
}

NtStatus ReadSpdPageEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                             uint32_t outputLength, uint32_t* information) {
  const uint8_t slot = buffer[0];
  const uint8_t page = buffer[1];
  const uint8_t firstOffset = buffer[2];
  OpStatus* status = StatusAt(buffer, 0);
  InitOpStatus(status);
  SetSegment(extension->Controller, status, segment);
  const uint32_t read = ReadSpdPage(extension->Controller, status, slot, page,
                                    buffer + kSpdDataOffset, firstOffset,
                                    SpdBytesAsked(outputLength));
  SetSegment(extension->Controller, status, 0);
  *information = kSpdDataOffset + read;
  return STATUS_SUCCESS;
}

NtStatus ProbeSpdWriteEnvelope(DeviceExtension* extension, uint32_t segment, uint8_t* buffer,
                               uint32_t* information) {
  const uint8_t slot = buffer[0];
  OpStatus* status = StatusAt(buffer, kReplyStatusOffset);
  InitOpStatus(status);
  SetSegment(extension->Controller, status, segment);
  const int32_t result = ProbeSpdWrite(extension->Controller, status, slot);
  SetSegment(extension->Controller, status, 0);
  StoreLe32(buffer, static_cast<uint32_t>(result));
  *information = kProbeReplySize;
  return STATUS_SUCCESS;
}

NtStatus SlotCountEnvelope(DeviceExtension*, uint8_t* buffer, uint32_t* information) {
  return CountEnvelope(&CountMemorySlots, buffer, information);
}

NtStatus ModuleCountEnvelope(DeviceExtension*, uint8_t* buffer, uint32_t* information) {
  return CountEnvelope(&CountMemoryModules, buffer, information);
}

NtStatus SetSegmentEnvelope(DeviceExtension*, uint32_t* segment, uint8_t* buffer,
                            uint32_t* information) {
  *segment = LoadLe32(buffer);
  OpStatus* status = StatusAt(buffer, 0);
  InitOpStatus(status);
  *information = kSegmentReplySize;
  return STATUS_SUCCESS;
}

NtStatus DumpPciConfig(DeviceExtension*, uint8_t* buffer, uint32_t, uint32_t* information) {
  const PciLocation location{static_cast<uint8_t>(LoadLe32(buffer)),
                             static_cast<uint8_t>(LoadLe32(buffer + 4)),
                             static_cast<uint8_t>(LoadLe32(buffer + 8))};
  for (uint32_t offset = 0; offset < kPciConfigSize; offset += 4) {
    StoreLe32(buffer + offset, PciReadConfigDword(location, static_cast<uint8_t>(offset)));
  }
  *information = kPciConfigSize;
  return STATUS_SUCCESS;
}

NtStatus ServeQueuedCode(DeviceExtension* extension, uint32_t code, uint8_t* buffer,
                         uint32_t outputLength, uint32_t* segment, uint32_t* information) {
  switch (code) {
    case IOCTL_READ_SPD:
      return ReadSpdEnvelope(extension, *segment, buffer, outputLength, information);
    case IOCTL_READ_SPD_PAGE:
      return ReadSpdPageEnvelope(extension, *segment, buffer, outputLength, information);
    case IOCTL_PROBE_SPD_WRITE:
      return ProbeSpdWriteEnvelope(extension, *segment, buffer, information);
    case IOCTL_GET_MEMORY_SLOT_COUNT:
      return SlotCountEnvelope(extension, buffer, information);
    case IOCTL_GET_MEMORY_MODULE_COUNT:
      return ModuleCountEnvelope(extension, buffer, information);
    case IOCTL_SET_SEGMENT:
      return SetSegmentEnvelope(extension, segment, buffer, information);
    case IOCTL_READ_PCI_CONFIG:
      return DumpPciConfig(extension, buffer, outputLength, information);
    default:
      *information = 0;
      return STATUS_NOT_IMPLEMENTED;
  }
}
