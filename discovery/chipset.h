// Chipset discovery: walks PCI, recognises the function that carries the
// SMBus, and builds the one SmbusController through that chipset's back-end.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "discovery/pci_walk.h"
#include "driver/op_status.h"
#include "smbus/smbus.h"

// The function chosen for the SMBus, in the layout of PciDeviceRecord, with
// the installed chip's traits (DIMMIO_CHIP_ bits) in the last word.
struct ChipsetInfoRecord {
  uint32_t Bus;
  uint32_t Device;
  uint32_t Function;
  uint32_t VendorId;
  uint32_t DeviceId;
  uint32_t ChipTraits;
};
static_assert(sizeof(ChipsetInfoRecord) == sizeof(PciDeviceRecord));

// Driver-wide, cleared by start-up before discovery.
extern ChipsetInfoRecord ChipsetInfo;

// Returns the controller (marked Unavailable when no back-end could be
// installed), or null when `info` is missing (code 15) or the record cannot
// be allocated (code 20); `status` is written only in those two cases.
SmbusController* DiscoverChipset(OpStatus* status, ChipsetInfoRecord* info, PciDeviceRecord* table,
                                 uint32_t* count);
