// The kernel services of the driver frame over ntoskrnl and the HAL.
#include "driver/kernel.h"

#include "hw/hw.h"

namespace {

// How long to wait before asking again for a reference to a thread whose
// object could not be referenced the first time.
constexpr int32_t kReferenceRetryMs = 10;

// The clock tick the worker asks for while it drives the SMBus, in 100-ns
// units: 1 ms. The kernel gives the closest it supports (0.977 ms on the
// 1024 Hz clock) and keeps the finest of all requests outstanding.
constexpr ULONG kFineClockResolution = 10000;

}  // namespace

void EventInitNotification(KernelEvent* event) {
  KeInitializeEvent(event, NotificationEvent, FALSE);
}

void EventSet(KernelEvent* event) {
  KeSetEvent(event, 0, FALSE);
}

void EventClear(KernelEvent* event) {
  KeClearEvent(event);
}

int32_t EventWaitAny(KernelEvent* first, KernelEvent* second) {
  // Two objects fit the thread's built-in wait blocks. The array sits on the
  // waiting thread's stack, which stays resident during a kernel-mode wait.
  PVOID objects[2] = {first, second};
  const NTSTATUS woken =
      KeWaitForMultipleObjects(2, objects, WaitAny, Executive, KernelMode, FALSE, nullptr, nullptr);
  return static_cast<int32_t>(woken - STATUS_WAIT_0);
}

void SpinLockInit(KernelSpinLock* lock) {
  KeInitializeSpinLock(lock);
}

// The x86 HAL exports the spin-lock calls; the x86-64 kernel has them in
// ntoskrnl under other names (the test image of the nt64 tree).
#if defined(_WIN64)
KernelIrql SpinLockAcquire(KernelSpinLock* lock) {
  return KeAcquireSpinLockRaiseToDpc(lock);
}

void SpinLockRelease(KernelSpinLock* lock, KernelIrql previous) {
  KeReleaseSpinLock(lock, previous);
}
#else
KernelIrql SpinLockAcquire(KernelSpinLock* lock) {
  return KfAcquireSpinLock(lock);
}

void SpinLockRelease(KernelSpinLock* lock, KernelIrql previous) {
  KfReleaseSpinLock(lock, previous);
}
#endif

KernelIrql CancelLockAcquire() {
  KIRQL previous;
  IoAcquireCancelSpinLock(&previous);
  return previous;
}

void CancelLockRelease(KernelIrql previous) {
  IoReleaseCancelSpinLock(previous);
}

NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context) {
  return PsCreateSystemThread(handle, 0, nullptr, nullptr, nullptr, routine, context);
}

NtStatus ThreadReference(KernelHandle handle, KernelThread* thread) {
  return ObReferenceObjectByHandle(handle, 0, nullptr, KernelMode, thread, nullptr);
}

void ThreadWaitHandle(KernelHandle handle) {
  // A thread is waited for through its object; the handle is still open, so
  // taking a reference can only fail for want of memory, which passes.
  // Freeing the extension under a running worker would not.
  KernelThread thread = nullptr;
  while (ThreadReference(handle, &thread) != STATUS_SUCCESS) DelayMs(kReferenceRetryMs);
  ThreadWait(thread);
  ThreadDereference(thread);
}

void HandleClose(KernelHandle handle) {
  ZwClose(handle);
}

void ThreadWait(KernelThread thread) {
  KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr);
}

void ThreadDereference(KernelThread thread) {
  ObfDereferenceObject(thread);
}

void* NonPagedAlloc(uint32_t size) {
  return ExAllocatePoolWithTag(NonPagedPool, size, kPoolTag);
}

void NonPagedFree(void* pointer) {
  ExFreePool(pointer);
}

void FineClockRequest() {
  ExSetTimerResolution(kFineClockResolution, TRUE);
}

void FineClockRelease() {
  ExSetTimerResolution(0, FALSE);
}

void NameInit(KernelName* name, const char16_t* text) {
  RtlInitUnicodeString(name, reinterpret_cast<PCWSTR>(text));
}

static_assert(kFileDeviceSecureOpen == FILE_DEVICE_SECURE_OPEN);

NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                      uint32_t deviceType, uint32_t characteristics, KernelDevice** device) {
  // Not exclusive; the I/O manager zeroes the extension.
  return IoCreateDevice(driver, extensionSize, name, deviceType, characteristics, FALSE, device);
}

void DeviceDelete(KernelDevice* device) {
  IoDeleteDevice(device);
}

// ntifs.h declares these two; ntddk.h, which the binding includes, does not.
extern "C" {
NTKERNELAPI NTSTATUS NTAPI ObOpenObjectByPointer(PVOID object, ULONG attributes,
                                                 PACCESS_STATE accessState, ACCESS_MASK access,
                                                 POBJECT_TYPE type, KPROCESSOR_MODE mode,
                                                 PHANDLE handle);
NTSYSAPI NTSTATUS NTAPI ZwSetSecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                            PSECURITY_DESCRIPTOR descriptor);
}

// The first major version whose kernel takes OBJ_KERNEL_HANDLE (Windows
// 2000); NT 4.0 refuses the attribute as invalid.
constexpr ULONG kFirstKernelHandleMajor = 5;

NtStatus DeviceSetSecurity(KernelDevice* device, const void* descriptor) {
  // A kernel-mode handle with WRITE_DAC only, in the kernel's own table where
  // the kernel has one, so that no process's code can reach it even for the
  // moment it is open. On NT 4.0 it goes into the table of the process the
  // entry runs in, which is the system's.
  ULONG major = 0;
  PsGetVersion(&major, nullptr, nullptr, nullptr);
  const ULONG attributes = major >= kFirstKernelHandleMajor ? OBJ_KERNEL_HANDLE : 0;
  HANDLE handle = nullptr;
  const NTSTATUS opened =
      ObOpenObjectByPointer(device, attributes, nullptr, WRITE_DAC, nullptr, KernelMode, &handle);
  if (!NT_SUCCESS(opened)) return opened;
  const NTSTATUS set =
      ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, const_cast<void*>(descriptor));
  ZwClose(handle);
  return set;
}

NtStatus LinkCreate(KernelName* link, KernelName* device) {
  return IoCreateSymbolicLink(link, device);
}

void LinkDelete(KernelName* link) {
  IoDeleteSymbolicLink(link);
}
