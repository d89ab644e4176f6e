// The kernel services of the bare-metal image: one CPU, no scheduler, no
// interrupts. Events are flags, the spin lock only checks that nobody takes
// it twice, and a system thread is run to its end on the stack of whoever
// first waits for it. A wait that nothing could ever end stops the image
// with a message instead of hanging.
//
// The program plays the I/O manager: it builds a KernelIrp, calls the
// driver's device-control routine, and, when that returns STATUS_PENDING,
// serves the queue itself (driver/queue.h) as the worker would.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/status.h"

#define KERNEL_API

using KernelStatus = NtStatus;
using KernelIrql = uint8_t;

struct KernelDevice;
struct KernelIrp;
struct KernelDriver;
struct BareMetalThread;
using KernelHandle = BareMetalThread*;
using KernelThread = BareMetalThread*;

using KernelDispatchRoutine = KernelStatus(KERNEL_API*)(KernelDevice* device, KernelIrp* irp);
using KernelUnloadRoutine = void(KERNEL_API*)(KernelDriver* driver);
using KernelThreadRoutine = void(KERNEL_API*)(void* context);

constexpr uint32_t IRP_MJ_CREATE = 0x00;
constexpr uint32_t IRP_MJ_CLOSE = 0x02;
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
  void* DeviceExtension;
};

struct KernelIrp {
  uint32_t MajorFunction;
  uint32_t IoControlCode;
  uint32_t InputBufferLength;
  uint32_t OutputBufferLength;
  KernelDevice* DeviceObject;
  void* SystemBuffer;  // buffered I/O: input on the way in, output on the way out
  NtStatus Status;
  uint32_t Information;
  bool PendingMarked;
  uint32_t Completions;  // exactly 1 once the driver is done with it
};

struct KernelEvent {
  bool Signalled;
};

struct KernelSpinLock {
  bool Held;
};

inline uint32_t IrpControlCode(KernelIrp* irp) { return irp->IoControlCode; }
inline uint32_t IrpInputLength(KernelIrp* irp) { return irp->InputBufferLength; }
inline uint32_t IrpOutputLength(KernelIrp* irp) { return irp->OutputBufferLength; }
inline void* IrpSystemBuffer(KernelIrp* irp) { return irp->SystemBuffer; }
inline KernelDevice* IrpDevice(KernelIrp* irp) { return irp->DeviceObject; }
inline void IrpMarkPending(KernelIrp* irp) { irp->PendingMarked = true; }
inline void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information) {
  irp->Status = status;
  irp->Information = information;
}
inline void IrpComplete(KernelIrp* irp) { ++irp->Completions; }

inline void EventInitNotification(KernelEvent* event) { event->Signalled = false; }
inline void EventSet(KernelEvent* event) { event->Signalled = true; }
inline void EventClear(KernelEvent* event) { event->Signalled = false; }
int32_t EventWaitAny(KernelEvent* first, KernelEvent* second);

inline void SpinLockInit(KernelSpinLock* lock) { lock->Held = false; }
KernelIrql SpinLockAcquire(KernelSpinLock* lock);
void SpinLockRelease(KernelSpinLock* lock, KernelIrql previous);

NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context);
NtStatus ThreadReference(KernelHandle handle, KernelThread* thread);
void ThreadWaitHandle(KernelHandle handle);
void HandleClose(KernelHandle handle);
void ThreadWait(KernelThread thread);
void ThreadDereference(KernelThread thread);

void* NonPagedAlloc(uint32_t size);
void NonPagedFree(void* pointer);

void NameInit(KernelName* name, const char16_t* text);
NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                      uint32_t deviceType, KernelDevice** device);
void DeviceDelete(KernelDevice* device);
NtStatus LinkCreate(KernelName* link, KernelName* device);
void LinkDelete(KernelName* link);
