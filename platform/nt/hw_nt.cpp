// The hardware primitives of the driver image: PCI configuration space
// through the HAL's bus-data calls, port I/O through the HAL's port calls,
// physical memory through the memory manager, paged pool, kernel sleeps and
// the kernel debugger's print routine.
#include "platform/nt/ddk.h"

#include "hw/hw.h"
#include "hw/platform.h"
#include "platform/nt/delay_interval.h"

uint32_t PlatformGetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                            uint32_t length) {
  return HalGetBusDataByOffset(PCIConfiguration, bus, slot, buffer, offset, length);
}

uint32_t PlatformSetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                            uint32_t length) {
  // The HAL takes a non-const buffer but only reads it.
  return HalSetBusDataByOffset(PCIConfiguration, bus, slot, const_cast<void*>(buffer), offset,
                               length);
}

void SetDebugPrintHook() {
  DebugPrintHook = &DbgPrint;
}

void DelayMs(int32_t milliseconds) {
  LARGE_INTEGER interval;
  interval.QuadPart = RelativeDelayInterval(milliseconds);
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

void* PoolAlloc(uint32_t size) {
  return ExAllocatePoolWithTag(PagedPool, size, kPoolTag);
}

void PoolFree(void* pointer) {
  ExFreePool(pointer);
}

uint8_t PortReadByte(uint16_t port) {
  return READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(static_cast<ULONG_PTR>(port)));
}

uint16_t PortReadWord(uint16_t port) {
  return READ_PORT_USHORT(reinterpret_cast<PUSHORT>(static_cast<ULONG_PTR>(port)));
}

void PortWriteByte(uint16_t port, uint8_t value) {
  WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(static_cast<ULONG_PTR>(port)), value);
}

void PortWriteWord(uint16_t port, uint16_t value) {
  WRITE_PORT_USHORT(reinterpret_cast<PUSHORT>(static_cast<ULONG_PTR>(port)), value);
}

void* MapPhysical(uint32_t physicalAddress, uint32_t length) {
  PHYSICAL_ADDRESS address;
  address.QuadPart = static_cast<LONGLONG>(static_cast<uint64_t>(physicalAddress));
  return MmMapIoSpace(address, length, MmNonCached);
}

void UnmapPhysical(void* mapping, uint32_t length) {
  MmUnmapIoSpace(mapping, length);
}
