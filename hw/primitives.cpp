// The parts of the hardware primitives that are the same on every platform.
#include "hw/hw.h"
#include "hw/platform.h"

DebugPrintFn DebugPrintHook = nullptr;

uint32_t PciReadConfigDword(PciLocation location, uint8_t offset) {
  uint32_t value = 0xFFFFFFFFu;
  (void)PlatformGetPciData(location.Bus, PciSlotNumber(location), &value, offset, 4);
  return value;
}

uint32_t PciReadConfigField(PciLocation location, uint8_t offset) {
  const uint32_t dword = PciReadConfigDword(location, static_cast<uint8_t>(offset & 0xFCu));
  return dword >> (8u * (offset & 3u));
}

void PciWriteConfigDword(PciLocation location, uint32_t value, uint8_t offset) {
  (void)PlatformSetPciData(location.Bus, PciSlotNumber(location), &value, offset, 4);
}

void CopyBytes(void* destination, const void* source, uint32_t count) {
  // Byte pointers, so that neither end needs to be aligned; the dword moves
  // are expressed byte-wise and the compiler merges them.
  auto* to = static_cast<uint8_t*>(destination);
  const auto* from = static_cast<const uint8_t*>(source);
  for (uint32_t word = 0; word < count / 4; ++word) {
    uint32_t value;
    __builtin_memcpy(&value, from, 4);
    __builtin_memcpy(to, &value, 4);
    to += 4;
    from += 4;
  }
  for (uint32_t rest = 0; rest < (count & 3u); ++rest) *to++ = *from++;
}
