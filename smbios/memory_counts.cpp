// How many memory slots the board has and how many modules are installed,
// from the SMBIOS structures that describe memory. Counters are 8 bits wide
// and wrap.
#include "smbios/smbios.h"
#include "smbios/structure_walk.h"
#include "smbios/table_queries.h"

namespace {

// Fields read, as offsets from the first byte of the structure.
constexpr uint8_t kControllerSlotsOffset = 0x0E;      // type 5: associated memory slots
constexpr uint8_t kModuleInstalledSizeOffset = 0x09;  // type 6: installed size
constexpr uint8_t kArrayDevicesOffset = 0x0D;         // type 16: devices (low byte)
constexpr uint8_t kDeviceSizeOffset = 0x0C;           // type 17: size, 16 bits

// Type-6 installed sizes that mean no module: 0x7D not determinable, 0x7E
// module installed but not enabled, 0x7F not installed.
constexpr uint8_t kInstalledSizeNotDeterminable = 0x7D;
constexpr uint8_t kInstalledSizeNotEnabled = 0x7E;
constexpr uint8_t kInstalledSizeNotInstalled = 0x7F;
// Type-17 sizes that mean no module: 0 empty socket, 0xFFFF unknown.
constexpr uint16_t kDeviceSizeEmpty = 0x0000;
constexpr uint16_t kDeviceSizeUnknown = 0xFFFF;

bool ModuleInstalled(uint8_t installedSize) {
  return installedSize != kInstalledSizeNotDeterminable &&
         installedSize != kInstalledSizeNotEnabled && installedSize != kInstalledSizeNotInstalled;
}

bool DevicePopulated(uint16_t size) {
  return size != kDeviceSizeEmpty && size != kDeviceSizeUnknown;
}

uint8_t FirstNonzero(const uint8_t* counters, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if (counters[i] != 0) return counters[i];
  }
  return 0;
}

}  // namespace

uint8_t CountSlotsInTable(const SmbiosTableRef& table) {
  // In order of preference: type-16 device counts, type-17 structures,
  // type-5 slot counts, type-6 structures.
  uint8_t arrayDevices = 0, devices = 0, controllerSlots = 0, modules = 0;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    uint8_t value;
    switch (s.Type) {
      case SmbiosType::PhysicalMemoryArray:
        if (ReadFieldByte(s, kArrayDevicesOffset, &value)) arrayDevices += value;
        break;
      case SmbiosType::MemoryDevice: ++devices; break;
      case SmbiosType::MemoryController:
        if (ReadFieldByte(s, kControllerSlotsOffset, &value)) controllerSlots += value;
        break;
      case SmbiosType::MemoryModule: ++modules; break;
      default: break;
    }
  }
  const uint8_t counters[] = {arrayDevices, devices, controllerSlots, modules};
  return FirstNonzero(counters, 4);
}

uint8_t CountModulesInTable(const SmbiosTableRef& table) {
  // Type-6 modules are preferred to type-17 devices.
  uint8_t modules = 0, devices = 0;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    if (s.Type == SmbiosType::MemoryModule) {
      uint8_t installedSize;
      if (ReadFieldByte(s, kModuleInstalledSizeOffset, &installedSize) &&
          ModuleInstalled(installedSize)) {
        ++modules;
      }
    } else if (s.Type == SmbiosType::MemoryDevice) {
      uint16_t size;
      if (ReadFieldWord(s, kDeviceSizeOffset, &size) && DevicePopulated(size)) ++devices;
    }
  }
  const uint8_t counters[] = {modules, devices};
  return FirstNonzero(counters, 2);
}

uint8_t CountMemorySlots(OpStatus* status) {
  const SmbiosTableRef table = LookupSmbiosTable(status);
  return CountSlotsInTable(table);
}

uint8_t CountMemoryModules(OpStatus* status) {
  const SmbiosTableRef table = LookupSmbiosTable(status);
  return CountModulesInTable(table);
}
