// The hardware primitives of the host build: each one reaches the simulated
// machine attached with sim::Attach, the way the kernel binding reaches the
// HAL. Nothing here sleeps: a delay advances the machine's virtual clock.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "hw/hw.h"
#include "hw/platform.h"
#include "sim/machine.h"

namespace {

sim::Machine& M() {
  sim::Machine* machine = sim::Attached();
  if (machine == nullptr) {
    std::fprintf(stderr, "hardware primitive called with no simulated machine attached\n");
    std::abort();
  }
  return *machine;
}

unsigned long HostDebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  M().DebugPrint(format, args);
  va_end(args);
  return 0;
}

}  // namespace

uint32_t PlatformGetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                            uint32_t length) {
  return M().GetPciData(bus, slot, buffer, offset, length);
}

uint32_t PlatformSetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                            uint32_t length) {
  return M().SetPciData(bus, slot, buffer, offset, length);
}

void SetDebugPrintHook() {
  DebugPrintHook = &HostDebugPrint;
}

void DelayMs(int32_t milliseconds) {
  M().Delay(milliseconds);
}

void* PoolAlloc(uint32_t size) {
  return M().Alloc(size, kPoolTag, sim::PoolType::Paged);
}

void PoolFree(void* pointer) {
  M().Free(pointer);
}

uint8_t PortReadByte(uint16_t port) {
  return M().In8(port);
}
uint16_t PortReadWord(uint16_t port) {
  return M().In16(port);
}
void PortWriteByte(uint16_t port, uint8_t value) {
  M().Out8(port, value);
}
void PortWriteWord(uint16_t port, uint16_t value) {
  M().Out16(port, value);
}

void* MapPhysical(uint32_t physicalAddress, uint32_t length) {
  // The platform takes a 64-bit physical address; ours is zero-extended.
  return M().Map(static_cast<uint64_t>(physicalAddress), length);
}

void UnmapPhysical(void* mapping, uint32_t length) {
  M().Unmap(mapping, length);
}
