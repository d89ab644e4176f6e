#include "driver/driver_entry.h"

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "driver/device_extension.h"
#include "driver/device_security.h"
#include "driver/dispatch.h"
#include "driver/ioctl.h"
#include "driver/queue.h"

namespace {

DeviceExtension* ExtensionOf(KernelDevice* device) {
  return static_cast<DeviceExtension*>(device->DeviceExtension);
}

// The worker's thread object could not be referenced: there is nothing to
// wait for later, so stop the thread now through its handle, before the
// extension it runs on goes away.
void StopUnreferencedWorker(DeviceExtension* extension, KernelHandle thread) {
  EventSet(&extension->StopEvent);
  ThreadWaitHandle(thread);
}

}  // namespace

KernelDevice* CreateDeviceAndWorker(KernelDriver* driver, KernelName* name,
                                    SmbusController* controller) {
  KernelDevice* device = nullptr;
  if (DeviceCreate(driver, sizeof(DeviceExtension), name, kDimmioDeviceType, kFileDeviceSecureOpen,
                   &device) != STATUS_SUCCESS) {
    return nullptr;
  }
  // Before anything can reach the device: no link, no worker, no entry
  // routines yet.
  if (DeviceSetSecurity(device, kAdminsOnlyDescriptor) != STATUS_SUCCESS) {
    DeviceDelete(device);
    return nullptr;
  }

  DeviceExtension* extension = ExtensionOf(device);
  InitRequestQueue(&extension->Queue);
  extension->Controller = controller;
  extension->WorkerThread = nullptr;
  EventInitNotification(&extension->StopEvent);

  KernelHandle thread = nullptr;
  const NtStatus created = ThreadCreate(&thread, &WorkerThreadMain, extension);
  NtStatus referenced = STATUS_UNSUCCESSFUL;
  if (created == STATUS_SUCCESS) {
    referenced = ThreadReference(thread, &extension->WorkerThread);
    if (referenced != STATUS_SUCCESS) {
      extension->WorkerThread = nullptr;
      StopUnreferencedWorker(extension, thread);
    }
    HandleClose(thread);
  }

  if (created != STATUS_SUCCESS || referenced != STATUS_SUCCESS) {
    DestroyDevice(device);
    return nullptr;
  }
  return device;
}

void DestroyDevice(KernelDevice* device) {
  DeviceExtension* extension = ExtensionOf(device);
  EventSet(&extension->StopEvent);
  if (extension->WorkerThread != nullptr) {
    ThreadWait(extension->WorkerThread);
    ThreadDereference(extension->WorkerThread);
    extension->WorkerThread = nullptr;
  }
  CancelQueuedRequests(&extension->Queue);
  DeviceDelete(device);
}

extern "C" KernelStatus KERNEL_API DriverEntry(KernelDriver* driver, KernelName*) {
  OpStatus discoveryStatus;  // handed to discovery, not read afterwards
  InitOpStatus(&discoveryStatus);
  ChipsetInfo.Bus = ChipsetInfo.Device = ChipsetInfo.Function = 0;
  ChipsetInfo.VendorId = ChipsetInfo.DeviceId = ChipsetInfo.ChipTraits = 0;
  PciDeviceCount = 0;

  SmbusController* controller =
      DiscoverChipset(&discoveryStatus, &ChipsetInfo, PciDeviceTable, &PciDeviceCount);
  if (controller == nullptr) return STATUS_UNSUCCESSFUL;

  KernelName deviceName;
  NameInit(&deviceName, kDeviceName);
  KernelDevice* device = CreateDeviceAndWorker(driver, &deviceName, controller);
  if (device == nullptr) {
    ReleaseController(controller);
    return STATUS_UNSUCCESSFUL;
  }

  KernelName linkName;
  NameInit(&linkName, kLinkName);
  const NtStatus linked = LinkCreate(&linkName, &deviceName);
  if (linked != STATUS_SUCCESS) {
    DestroyDevice(device);
    ReleaseController(controller);
    return linked;
  }

  driver->DriverUnload = &UnloadDriver;
  driver->MajorFunction[IRP_MJ_CREATE] = &DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLEANUP] = &DispatchCleanup;
  driver->MajorFunction[IRP_MJ_CLOSE] = &DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &DispatchDeviceControl;
  return STATUS_SUCCESS;
}

void KERNEL_API UnloadDriver(KernelDriver* driver) {
  KernelDevice* device = driver->DeviceObject;
  SmbusController* controller = ExtensionOf(device)->Controller;

  KernelName linkName;
  NameInit(&linkName, kLinkName);
  LinkDelete(&linkName);
  DestroyDevice(device);
  ReleaseController(controller);
}
