// The PCI bus walk of start-up: buses 0 and 1, every device, function 0 and,
// for multi-function devices, functions 1-7. Every function that answers is
// recorded in the device table, counted, announced on the debug hook and
// handed to chipset recognition.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "hw/hw.h"

// One present function as user mode sees it: six little-endian dwords.
struct PciDeviceRecord {
  uint32_t Bus;
  uint32_t Device;
  uint32_t Function;
  uint32_t VendorId;
  uint32_t DeviceId;
  uint32_t Reserved;  // always 0
};
static_assert(sizeof(PciDeviceRecord) == 24);
static_assert(offsetof(PciDeviceRecord, VendorId) == 12);
static_assert(offsetof(PciDeviceRecord, Reserved) == 20);

constexpr uint32_t kPciDeviceTableCapacity = 217;
constexpr uint8_t kPciLastBus = 1;

// Driver-wide, zero at load, written only by the walk at start-up.
extern PciDeviceRecord PciDeviceTable[kPciDeviceTableCapacity];
extern uint32_t PciDeviceCount;

// Given null, starts a walk at 0:0.0; given the position it returned last,
// advances it, or returns null when both buses are done.
PciLocation* PciWalkNext(PciLocation* position);

// What recognition receives for every present function, in walk order.
struct PciFunctionInfo {
  PciLocation Location;
  uint16_t VendorId;
  uint16_t DeviceId;
  uint8_t RevisionId;
};

using PciRecognizer = void (*)(void* context, const PciFunctionInfo& function);

// Runs one whole walk: records up to kPciDeviceTableCapacity functions into
// `table`, hands every present function to `recognize` (when set), and stores
// the number of present functions into `count` when the walk is over.
void WalkPciBuses(PciDeviceRecord* table, uint32_t* count, PciRecognizer recognize, void* context);
