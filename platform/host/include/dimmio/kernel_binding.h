// The kernel services of the host build: user-space stand-ins with the shape
// of the kernel's objects. Events share one dispatcher lock, as the kernel's
// do; the spin lock is a mutex; a system thread is a std::thread behind a
// referenced thread object. Requests are created and completed by the host
// I/O manager (platform/host/io_manager.h).
#pragma once

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#include "driver/status.h"

#define KERNEL_API

using KernelStatus = NtStatus;
using KernelIrql = uint8_t;
using KernelHandle = void*;

struct KernelDevice;
struct KernelIrp;
struct KernelDriver;
struct HostThreadObject;
using KernelThread = HostThreadObject*;

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
  KernelDevice* DeviceObject;  // first device the driver created
  KernelUnloadRoutine DriverUnload;
  KernelDispatchRoutine MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct KernelDevice {
  KernelDriver* DriverObject;
  KernelDevice* NextDevice;
  uint32_t DeviceType;
  void* DeviceExtension;
};

// What the I/O manager learns about a request it sent.
struct HostIrpObserver;

struct KernelIrp {
  // Current stack location: device-control parameters and the target device.
  uint32_t MajorFunction;
  uint32_t IoControlCode;
  uint32_t InputBufferLength;
  uint32_t OutputBufferLength;
  KernelDevice* DeviceObject;
  // The buffered-I/O system buffer, shared by input and output.
  void* SystemBuffer;
  // I/O status block.
  NtStatus Status;
  uint32_t Information;
  // Set by IrpMarkPending; read by the I/O manager's checks.
  bool PendingMarked;
  HostIrpObserver* Observer;
};

// Guarded by the host dispatcher lock.
struct KernelEvent {
  bool Signalled;
};

struct KernelSpinLock {
  pthread_mutex_t Mutex;
};

inline uint32_t IrpControlCode(KernelIrp* irp) { return irp->IoControlCode; }
inline uint32_t IrpInputLength(KernelIrp* irp) { return irp->InputBufferLength; }
inline uint32_t IrpOutputLength(KernelIrp* irp) { return irp->OutputBufferLength; }
inline void* IrpSystemBuffer(KernelIrp* irp) { return irp->SystemBuffer; }
inline KernelDevice* IrpDevice(KernelIrp* irp) { return irp->DeviceObject; }
void IrpMarkPending(KernelIrp* irp);
inline void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information) {
  irp->Status = status;
  irp->Information = information;
}
void IrpComplete(KernelIrp* irp);
