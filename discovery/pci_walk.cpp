#include "discovery/pci_walk.h"

PciDeviceRecord PciDeviceTable[kPciDeviceTableCapacity];
uint32_t PciDeviceCount;

namespace {

// Configuration registers the walk reads.
constexpr uint8_t kRegId = 0x00;                  // vendor ID (low 16), device ID (high 16)
constexpr uint8_t kRegClassRevision = 0x08;       // revision ID in the low byte
constexpr uint8_t kRegHeaderType = 0x0C;          // header type in bits 16-23
constexpr uint32_t kMultiFunctionBit = 1u << 23;  // bit 7 of the header type

// Vendor IDs that mean an empty position: an empty slot reads all ones;
// 0 counts as empty as well.
constexpr uint16_t kVendorAbsent = 0xFFFF;
constexpr uint16_t kVendorNone = 0x0000;

constexpr uint8_t kLastDevice = 31;
constexpr uint8_t kLastFunction = 7;

// The one walk position; only discovery walks.
PciLocation g_walkPosition;

}  // namespace

PciLocation* PciWalkNext(PciLocation* position) {
  if (position == nullptr) {
    g_walkPosition = PciLocation{0, 0, 0};
    return &g_walkPosition;
  }

  uint8_t highestFunction = kLastFunction;
  // Only function 0 says whether the device has more; an empty slot reads all
  // ones, so its eight functions are all visited.
  if (position->Function == 0 &&
      (PciReadConfigDword(*position, kRegHeaderType) & kMultiFunctionBit) == 0) {
    highestFunction = 0;
  }

  if (position->Function < highestFunction) {
    ++position->Function;
    return position;
  }

  position->Function = 0;
  ++position->Device;
  if (position->Device <= kLastDevice) return position;

  position->Device = 0;
  ++position->Bus;
  if (position->Bus <= kPciLastBus) return position;
  return nullptr;
}

void WalkPciBuses(PciDeviceRecord* table, uint32_t* count, PciRecognizer recognize, void* context) {
  uint32_t found = 0;
  for (PciLocation* position = PciWalkNext(nullptr); position != nullptr;
       position = PciWalkNext(position)) {
    const uint32_t id = PciReadConfigDword(*position, kRegId);
    const uint32_t classRevision = PciReadConfigDword(*position, kRegClassRevision);
    const uint16_t vendorId = static_cast<uint16_t>(id & 0xFFFFu);
    const uint16_t deviceId = static_cast<uint16_t>(id >> 16);
    const uint8_t revisionId = static_cast<uint8_t>(classRevision & 0xFFu);

    if (vendorId == kVendorNone || vendorId == kVendorAbsent) continue;

    DebugPrintHook("smbcore:vid(%04x) did(%04x) rev(%02x)\n", vendorId, deviceId, revisionId);

    if (found < kPciDeviceTableCapacity) {
      PciDeviceRecord& record = table[found];
      record.Bus = position->Bus;
      record.Device = position->Device;
      record.Function = position->Function;
      record.VendorId = vendorId;
      record.DeviceId = deviceId;
    }
    ++found;

    if (recognize != nullptr) {
      recognize(context, PciFunctionInfo{*position, vendorId, deviceId, revisionId});
    }
  }
  *count = found;
}
