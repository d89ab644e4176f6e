// The hardware access seam. Everything above this header reaches PCI
// configuration space, I/O ports, physical memory, pool memory, sleeping and
// debug output only through these declarations; one binding per build
// (platform/host, platform/nt, platform/baremetal) stands behind them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// One PCI function: bus, device (0-31) and function (0-7).
struct PciLocation {
  uint8_t Bus;
  uint8_t Device;
  uint8_t Function;
};

// The platform addresses a function by bus number and a slot number with the
// device in bits 0-4 and the function in bits 5-7.
constexpr uint32_t PciSlotNumber(PciLocation location) {
  return (static_cast<uint32_t>(location.Function & 7u) << 5) |
         (static_cast<uint32_t>(location.Device) & 31u);
}

// Every pool allocation carries this tag: the bytes 'd','m','i','o' in memory
// order, as the kernel's pool tags are written.
constexpr uint32_t kPoolTag = 0x6F696D64u;

// Debug print with %-conversions; the caller removes the arguments (cdecl).
using DebugPrintFn = unsigned long (*)(const char* format, ...);

// Null until discovery sets it with SetDebugPrintHook; never cleared.
extern DebugPrintFn DebugPrintHook;

void SetDebugPrintHook();

// Sleeps the calling thread; never busy-waits. At most 214748 ms.
void DelayMs(int32_t milliseconds);

// Pageable pool memory tagged kPoolTag; null when none is left.
void* PoolAlloc(uint32_t size);
void PoolFree(void* pointer);

// Configuration dword at a multiple-of-4 offset. A dword that the platform
// does not deliver reads 0xFFFFFFFF.
uint32_t PciReadConfigDword(PciLocation location, uint8_t offset);

// The dword holding `offset`, shifted right so that the register at `offset`
// sits in the low bits. A 16-bit register must not start at offset & 3 == 3.
uint32_t PciReadConfigField(PciLocation location, uint8_t offset);

void PciWriteConfigDword(PciLocation location, uint32_t value, uint8_t offset);

uint8_t PortReadByte(uint16_t port);
uint16_t PortReadWord(uint16_t port);
void PortWriteByte(uint16_t port, uint8_t value);
void PortWriteWord(uint16_t port, uint16_t value);

// Maps `length` bytes of physical memory, uncached. Null on failure. Each
// mapping is unmapped with the same length by the code that made it.
void* MapPhysical(uint32_t physicalAddress, uint32_t length);
void UnmapPhysical(void* mapping, uint32_t length);

// count / 4 dwords, then count & 3 bytes, low addresses to high. The ranges
// must not overlap.
void CopyBytes(void* destination, const void* source, uint32_t count);
