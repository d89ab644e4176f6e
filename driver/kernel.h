// The kernel services the driver frame uses itself: the request packet,
// notification events, the spin lock, the system thread, non-paged pool, the
// device object and symbolic links. One binding per build supplies them
// through <dimmio/kernel_binding.h>, found in the binding's own include
// directory (platform/<binding>/include); nothing here dispatches at run time.
//
// Every binding provides, with these exact names:
//
//   KERNEL_API               calling convention of routines the kernel calls
//                            (dispatch, unload, thread start): stdcall on x86 NT
//   KernelStatus             the status type of those routines
//   KernelIrp, KernelDevice, KernelDriver
//                            request packet, device object (with a
//                            `DeviceExtension` member), driver object (with
//                            `MajorFunction[]`, `DriverUnload`, `DeviceObject`)
//   IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_DEVICE_CONTROL
//   KernelEvent, KernelSpinLock, KernelIrql, KernelHandle, KernelThread,
//   KernelName               event object, spin lock, the level it returns,
//                            a handle, a referenced thread object, a counted
//                            unicode name
//   KernelThreadRoutine      void (KERNEL_API*)(void* context)
//
// and defines each operation declared below, out of line or inline in its
// header (an inline definition there comes before these declarations).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/status.h"
#include "hw/hw.h"

#include <dimmio/kernel_binding.h>

// Request packet: the current stack location's device-control parameters,
// the one buffered-I/O buffer, and completion with no priority boost.
uint32_t IrpControlCode(KernelIrp* irp);
uint32_t IrpInputLength(KernelIrp* irp);
uint32_t IrpOutputLength(KernelIrp* irp);
void* IrpSystemBuffer(KernelIrp* irp);
KernelDevice* IrpDevice(KernelIrp* irp);  // device of the current location
void IrpMarkPending(KernelIrp* irp);
void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information);
void IrpComplete(KernelIrp* irp);

// Notification events: not signalled at first; EventSet with increment 0 and
// no wait following. EventWaitAny returns the index of a signalled event,
// 0 (the lower) when both are.
void EventInitNotification(KernelEvent* event);
void EventSet(KernelEvent* event);
void EventClear(KernelEvent* event);
int32_t EventWaitAny(KernelEvent* first, KernelEvent* second);

void SpinLockInit(KernelSpinLock* lock);
KernelIrql SpinLockAcquire(KernelSpinLock* lock);
void SpinLockRelease(KernelSpinLock* lock, KernelIrql previous);

// A system thread and its referenced thread object; both waits return once
// the thread has ended.
NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context);
NtStatus ThreadReference(KernelHandle handle, KernelThread* thread);
void ThreadWaitHandle(KernelHandle handle);
void HandleClose(KernelHandle handle);
void ThreadWait(KernelThread thread);
void ThreadDereference(KernelThread thread);

// Non-paged pool, tagged kPoolTag; null when none is left.
void* NonPagedAlloc(uint32_t size);
void NonPagedFree(void* pointer);

// Device object (characteristics 0, not exclusive, the extension zeroed and
// freed with it) and symbolic links.
void NameInit(KernelName* name, const char16_t* text);
NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                      uint32_t deviceType, KernelDevice** device);
void DeviceDelete(KernelDevice* device);
NtStatus LinkCreate(KernelName* link, KernelName* device);
void LinkDelete(KernelName* link);
