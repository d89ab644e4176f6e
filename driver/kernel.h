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
//   KernelCancelRoutine      void (KERNEL_API*)(KernelDevice*, KernelIrp*),
//                            called with the cancel lock held
//   IRP_MJ_CLEANUP           the last handle of a file object is closed
//
// the request-packet operations below (declared or defined inline by the
// binding), and the definitions of the other operations, which are declared
// here once for every binding:
//
//   uint32_t IrpControlCode(KernelIrp*)       current stack location's
//   uint32_t IrpInputLength(KernelIrp*)         device-control parameters
//   uint32_t IrpOutputLength(KernelIrp*)
//   void* IrpSystemBuffer(KernelIrp*)         the one buffered-I/O buffer
//   KernelDevice* IrpDevice(KernelIrp*)       device of the current location
//   void* IrpFile(KernelIrp*)                 its file object: the handle
//   void** IrpFileContext(KernelIrp*)         the driver's own word in that
//                                             file object (FsContext), zero
//                                             when the handle is opened; null
//                                             for a request without one
//   void IrpMarkPending(KernelIrp*)
//   void IrpSetIoStatus(KernelIrp*, NtStatus, uint32_t information)
//   void IrpComplete(KernelIrp*)              complete, no priority boost
//   bool IrpNamesBelowDevice(KernelIrp*)      a create of a name below the
//                                             device (\Device\dimmio0\x)
//   bool IrpCancelled(KernelIrp*)             the I/O manager cancelled it
//   KernelIrql IrpCancelIrql(KernelIrp*)      what a cancel routine releases
//                                             the cancel lock to
//   void IrpSetCancelRoutine(KernelIrp*, KernelCancelRoutine)
//                                             under the cancel lock; null
//                                             takes it off again
//
//   void EventInitNotification(KernelEvent*)  notification kind, not signalled
//   void EventSet(KernelEvent*)               increment 0, no wait follows
//   void EventClear(KernelEvent*)
//   int32_t EventWaitAny(KernelEvent* first, KernelEvent* second)
//                                             index of a signalled event; when
//                                             both are, 0 (the lower wins)
//
//   void SpinLockInit(KernelSpinLock*)
//   KernelIrql SpinLockAcquire(KernelSpinLock*)
//   void SpinLockRelease(KernelSpinLock*, KernelIrql)
//   KernelIrql CancelLockAcquire()            the kernel's one cancel lock,
//   void CancelLockRelease(KernelIrql)          taken before the queue's
//
//   NtStatus ThreadCreate(KernelHandle*, KernelThreadRoutine, void* context)
//   NtStatus ThreadReference(KernelHandle, KernelThread*)
//   void ThreadWaitHandle(KernelHandle)       wait until the thread has ended
//   void HandleClose(KernelHandle)
//   void ThreadWait(KernelThread)             wait until the thread has ended
//   void ThreadDereference(KernelThread)
//
//   void* NonPagedAlloc(uint32_t size)        tagged kPoolTag; null when none
//   void NonPagedFree(void*)
//
//   void FineClockRequest()                   asks for the kernel's finest
//                                             clock tick (about 1 ms), so that
//                                             a 1 ms sleep lasts about that
//                                             rather than a whole 15.6 ms tick
//   void FineClockRelease()                   gives that request back
//
//   void NameInit(KernelName*, const char16_t* text)
//   NtStatus DeviceCreate(KernelDriver*, uint32_t extensionSize, KernelName*,
//                         uint32_t deviceType, uint32_t characteristics,
//                         KernelDevice** device)
//                                             not exclusive; the extension
//                                             starts zeroed
//   void DeviceDelete(KernelDevice*)          frees the extension with it
//   NtStatus DeviceSetSecurity(KernelDevice*, const void* descriptor)
//                                             replaces the device's DACL with
//                                             the self-relative descriptor's
//   NtStatus LinkCreate(KernelName* link, KernelName* device)
//   void LinkDelete(KernelName* link)
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/status.h"
#include "hw/hw.h"

#include <dimmio/kernel_binding.h>

void EventInitNotification(KernelEvent* event);
void EventSet(KernelEvent* event);
void EventClear(KernelEvent* event);
int32_t EventWaitAny(KernelEvent* first, KernelEvent* second);

void SpinLockInit(KernelSpinLock* lock);
KernelIrql SpinLockAcquire(KernelSpinLock* lock);
void SpinLockRelease(KernelSpinLock* lock, KernelIrql previous);
KernelIrql CancelLockAcquire();
void CancelLockRelease(KernelIrql previous);

NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context);
NtStatus ThreadReference(KernelHandle handle, KernelThread* thread);
void ThreadWaitHandle(KernelHandle handle);
void HandleClose(KernelHandle handle);
void ThreadWait(KernelThread thread);
void ThreadDereference(KernelThread thread);

void* NonPagedAlloc(uint32_t size);
void NonPagedFree(void* pointer);

void FineClockRequest();
void FineClockRelease();

void NameInit(KernelName* name, const char16_t* text);
// Device characteristics: the I/O manager checks the device's security on
// every open, also of a name below the device (\\.\dimmio\anything), which
// otherwise would give any user a handle with any access.
constexpr uint32_t kFileDeviceSecureOpen = 0x00000100;

NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                      uint32_t deviceType, uint32_t characteristics, KernelDevice** device);
void DeviceDelete(KernelDevice* device);
NtStatus DeviceSetSecurity(KernelDevice* device, const void* descriptor);
NtStatus LinkCreate(KernelName* link, KernelName* device);
void LinkDelete(KernelName* link);
