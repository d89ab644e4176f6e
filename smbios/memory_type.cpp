#include "smbios/memory_type.h"

#include "smbios/structure_walk.h"

namespace {

constexpr uint8_t kDeviceSizeOffset = 0x0C;  // type 17: size, 16 bits
constexpr uint8_t kDeviceTypeOffset = 0x12;  // type 17: memory type (SMBIOS 2.1 on)
constexpr uint16_t kDeviceSizeEmpty = 0x0000, kDeviceSizeUnknown = 0xFFFF;
constexpr uint8_t kTypeOther = 0x01, kTypeUnknown = 0x02;
constexpr uint8_t kTypeDdr4 = 0x1A;

}  // namespace

bool MemoryIsDdr4InTable(const SmbiosTableRef& table) {
  if (table.Table == nullptr || table.Length == 0) return false;
  bool ddr4 = false;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    if (s.Type != SmbiosType::MemoryDevice) continue;
    uint16_t size = 0;
    uint8_t type = 0;
    if (!ReadFieldWord(s, kDeviceSizeOffset, &size) || size == kDeviceSizeEmpty ||
        size == kDeviceSizeUnknown || !ReadFieldByte(s, kDeviceTypeOffset, &type) ||
        type == kTypeOther || type == kTypeUnknown) {
      continue;
    }
    if (type != kTypeDdr4) return false;
    ddr4 = true;
  }
  return ddr4;
}

bool SmbiosMemoryIsDdr4() {
  return MemoryIsDdr4InTable(LookupSmbiosTable(nullptr));
}
