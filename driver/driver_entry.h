// The driver's entry and exit: discovery once, the one device with its
// worker and link, the entry routines installed last; unload in reverse.
#pragma once

#include "driver/kernel.h"
#include "smbus/smbus.h"

// The names of the device and of its user-visible link.
constexpr const char16_t* kDeviceName = u"\\Device\\dimmio0";
constexpr const char16_t* kLinkName = u"\\??\\dimmio";

extern "C" KernelStatus KERNEL_API DriverEntry(KernelDriver* driver, KernelName* registryPath);

// The device object with its extension, queue and running worker; null (with
// everything taken down again) on failure.
KernelDevice* CreateDeviceAndWorker(KernelDriver* driver, KernelName* name,
                                    SmbusController* controller);

// Stops the worker, cancels what is still queued, deletes the device.
void DestroyDevice(KernelDevice* device);

void KERNEL_API UnloadDriver(KernelDriver* driver);
