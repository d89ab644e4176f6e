// The kernel's objects as plain records, for the bindings that stand in for
// the kernel rather than call it (host, bare metal): the driver and device
// objects, the counted name, the major function codes and the routine types.
// Each such binding's kernel_binding.h includes this, then defines its own
// request packet, events, lock and thread.
#pragma once

#include <stdint.h>

#include "driver/status.h"

#define KERNEL_API

using KernelStatus = NtStatus;
using KernelIrql = uint8_t;

struct KernelDevice;
struct KernelIrp;
struct KernelDriver;

using KernelDispatchRoutine = KernelStatus(KERNEL_API*)(KernelDevice* device, KernelIrp* irp);
using KernelUnloadRoutine = void(KERNEL_API*)(KernelDriver* driver);
using KernelThreadRoutine = void(KERNEL_API*)(void* context);
using KernelCancelRoutine = void(KERNEL_API*)(KernelDevice* device, KernelIrp* irp);

constexpr uint32_t IRP_MJ_CREATE = 0x00;
constexpr uint32_t IRP_MJ_CLOSE = 0x02;
constexpr uint32_t IRP_MJ_CLEANUP = 0x12;
constexpr uint32_t IRP_MJ_DEVICE_CONTROL = 0x0E;
constexpr uint32_t IRP_MJ_MAXIMUM_FUNCTION = 0x1B;

struct KernelName {
  uint16_t Length;         // bytes, without the terminator
  uint16_t MaximumLength;  // bytes, with it
  const char16_t* Buffer;
};

struct KernelDriver {
  KernelDevice* DeviceObject;  // devices the driver created, newest first
  KernelUnloadRoutine DriverUnload;
  KernelDispatchRoutine MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct KernelDevice {
  KernelDriver* DriverObject;
  KernelDevice* NextDevice;
  uint32_t DeviceType;
  uint32_t Characteristics;
  void* DeviceExtension;
  uint32_t Flags;  // the device object's flags, DO_DEVICE_INITIALIZING among them
};

// Set in a device the entry routine creates; the I/O manager clears it once
// the entry routine has returned, and refuses opens of the device until then.
constexpr uint32_t kDoDeviceInitializing = 0x00000080;
