// The kernel services of the driver image: the kernel's own objects (IRP,
// device and driver objects, KEVENT, KSPIN_LOCK, UNICODE_STRING) and thin
// calls into ntoskrnl and the HAL.
//
// Memory rules the queue relies on: the device extension (events, spin lock,
// list head) lives in the device object, which the I/O manager allocates from
// non-paged pool; queue entries come from NonPagedAlloc; the image has no
// pageable sections, so everything called under the spin lock is resident.
#pragma once

#include "platform/nt/ddk.h"

#include <stddef.h>
#include <stdint.h>

#include "driver/status.h"

#define KERNEL_API NTAPI

using KernelStatus = NTSTATUS;
using KernelIrql = KIRQL;
using KernelHandle = HANDLE;
using KernelIrp = IRP;
using KernelDevice = DEVICE_OBJECT;
using KernelDriver = DRIVER_OBJECT;
using KernelEvent = KEVENT;
using KernelSpinLock = KSPIN_LOCK;
using KernelThread = PVOID;  // referenced thread object
using KernelName = UNICODE_STRING;
using KernelThreadRoutine = void(KERNEL_API*)(void* context);
using KernelCancelRoutine = PDRIVER_CANCEL;

static_assert(sizeof(char16_t) == sizeof(WCHAR));

inline uint32_t IrpControlCode(KernelIrp* irp) {
  return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
}
inline uint32_t IrpInputLength(KernelIrp* irp) {
  return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.InputBufferLength;
}
inline uint32_t IrpOutputLength(KernelIrp* irp) {
  return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
}
inline void* IrpSystemBuffer(KernelIrp* irp) {
  return irp->AssociatedIrp.SystemBuffer;
}
inline void* IrpFile(KernelIrp* irp) {
  return IoGetCurrentIrpStackLocation(irp)->FileObject;
}
inline void** IrpFileContext(KernelIrp* irp) {
  const PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  return file != nullptr ? &file->FsContext : nullptr;
}
inline KernelDevice* IrpDevice(KernelIrp* irp) {
  return IoGetCurrentIrpStackLocation(irp)->DeviceObject;
}
inline void IrpMarkPending(KernelIrp* irp) {
  IoMarkIrpPending(irp);
}
inline void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
}
inline void IrpComplete(KernelIrp* irp) {
  IofCompleteRequest(irp, IO_NO_INCREMENT);
}
inline bool IrpNamesBelowDevice(KernelIrp* irp) {
  const PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  return file != nullptr && file->FileName.Length != 0;
}
inline bool IrpCancelled(KernelIrp* irp) {
  return irp->Cancel != FALSE;
}
inline KernelIrql IrpCancelIrql(KernelIrp* irp) {
  return irp->CancelIrql;
}
// Every change of the routine is made under the cancel spin lock, as the I/O
// manager reads it, so a plain store is enough.
inline void IrpSetCancelRoutine(KernelIrp* irp, KernelCancelRoutine routine) {
  irp->CancelRoutine = routine;
}
