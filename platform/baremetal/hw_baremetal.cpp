// The hardware primitives of the bare-metal image: real port I/O, physical
// memory seen flat (paging is off, so a physical address is the pointer), a
// pool over a static arena, and debug output on the serial console.
#include "hw/hw.h"
#include "platform/baremetal/baremetal.h"
#include "platform/baremetal/console.h"
#include "platform/baremetal/io.h"
#include "platform/baremetal/pool_arena.h"

namespace {

constexpr uint32_t kPoolArenaSize = 512 * 1024;

alignas(16) uint8_t g_poolMemory[kPoolArenaSize];
baremetal::PoolArena g_pool;
uint32_t g_openMappings;

unsigned long ConsoleDebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  baremetal::ConsolePrintV(format, args);
  va_end(args);
  return 0;
}

baremetal::PoolArena* Pool() {
  if (g_pool.Base == nullptr) baremetal::PoolArenaInit(&g_pool, g_poolMemory, sizeof g_poolMemory);
  return &g_pool;
}

}  // namespace

void SetDebugPrintHook() {
  DebugPrintHook = &ConsoleDebugPrint;
}

void* PoolAlloc(uint32_t size) {
  return baremetal::PoolArenaAlloc(Pool(), size, kPoolTag);
}

void PoolFree(void* pointer) {
  baremetal::PoolArenaFree(Pool(), pointer);
}

uint8_t PortReadByte(uint16_t port) {
  return baremetal::In8(port);
}
uint16_t PortReadWord(uint16_t port) {
  return baremetal::In16(port);
}
void PortWriteByte(uint16_t port, uint8_t value) {
  baremetal::Out8(port, value);
}
void PortWriteWord(uint16_t port, uint16_t value) {
  baremetal::Out16(port, value);
}

void* MapPhysical(uint32_t physicalAddress, uint32_t length) {
  // Address 0 would read as the failure value, and a range past 4 GiB cannot
  // be reached with paging off: both are refused.
  if (physicalAddress == 0 || length == 0 || length - 1 > 0xFFFFFFFFu - physicalAddress) {
    return nullptr;
  }
  ++g_openMappings;
  return reinterpret_cast<void*>(static_cast<uintptr_t>(physicalAddress));
}

void UnmapPhysical(void* mapping, uint32_t) {
  if (mapping != nullptr && g_openMappings > 0) --g_openMappings;
}

namespace baremetal {

PoolUsage CurrentPoolUsage() {
  const PoolArena* pool = Pool();
  return PoolUsage{pool->LiveBlocks, pool->LiveBytes, pool->PeakBytes, pool->BadFrees,
                   g_openMappings};
}

}  // namespace baremetal
