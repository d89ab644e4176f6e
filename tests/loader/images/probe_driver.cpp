// A small driver written straight against the kernel headers whose request
// codes each break one rule of requests, for the checks the kernels share
// (platform/host/request_watch.h): dimmio.sys keeps them all, so only a
// driver that breaks them shows that they are checked.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#include "probe_driver.h"

namespace {

UNICODE_STRING g_link;
KSPIN_LOCK g_lock;

NTSTATUS Finish(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS NTAPI CreateClose(PDEVICE_OBJECT, PIRP irp) {
  return Finish(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DeviceControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case probe::kCompleteTwice: {
      Finish(irp, STATUS_SUCCESS);
      return Finish(irp, STATUS_SUCCESS);
    }
    case probe::kPendingUnmarked: {
      Finish(irp, STATUS_SUCCESS);
      return STATUS_PENDING;
    }
    case probe::kMarkAfterPublish: {
      // Published under the queue's lock before it is marked pending.
      const KIRQL irql = KfAcquireSpinLock(&g_lock);
      KfReleaseSpinLock(&g_lock, irql);
      IoMarkIrpPending(irp);
      Finish(irp, STATUS_SUCCESS);
      return STATUS_PENDING;
    }
    case probe::kRefuseAfterWrite: {
      buffer[0] ^= 0xFF;
      return Finish(irp, STATUS_INVALID_PARAMETER);
    }
    case probe::kTouchAfterComplete:
      Finish(irp, STATUS_SUCCESS);
      irp->IoStatus.Status = STATUS_UNSUCCESSFUL;
      return STATUS_SUCCESS;
    default: return Finish(irp, STATUS_NOT_IMPLEMENTED);
  }
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  IoDeleteSymbolicLink(&g_link);
  IoDeleteDevice(driver->DeviceObject);
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"\\Device\\probe0");
  RtlInitUnicodeString(&g_link, L"\\??\\probe");
  KeInitializeSpinLock(&g_lock);
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, 0, &name, 0x8123, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  status = IoCreateSymbolicLink(&g_link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControl;
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
