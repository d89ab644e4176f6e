// The kernel services of the host build: user-space stand-ins with the shape
// of the kernel's objects. Events share one dispatcher lock, as the kernel's
// do; the spin lock is a mutex; a system thread is a std::thread behind a
// referenced thread object. Requests are created and completed by the host
// I/O manager (platform/host/io_manager.h).
#pragma once

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#include "platform/kernel_objects.h"

using KernelHandle = void*;

struct HostThreadObject;
using KernelThread = HostThreadObject*;

// What the I/O manager learns about a request it sent.
struct HostIrpObserver;

struct KernelIrp {
  // Current stack location: device-control parameters and the target device.
  uint32_t MajorFunction;
  uint32_t IoControlCode;
  uint32_t InputBufferLength;
  uint32_t OutputBufferLength;
  KernelDevice* DeviceObject;
  void* FileObject;  // the handle it came through; null for the trusted path
  // The buffered-I/O system buffer, shared by input and output.
  void* SystemBuffer;
  // I/O status block.
  NtStatus Status;
  uint32_t Information;
  // Set by IrpMarkPending; read by the I/O manager's checks.
  bool PendingMarked;
  HostIrpObserver* Observer;
  // Cancellation: set by the I/O manager; the routine only under the cancel lock.
  bool Cancel;
  KernelIrql CancelIrql;
  KernelCancelRoutine CancelRoutine;
  uint16_t FileNameLength;  // of a create: the name asked for below the device
};

#include "platform/plain_irp_access.h"

// Guarded by the host dispatcher lock.
struct KernelEvent {
  bool Signalled;
};

struct KernelSpinLock {
  pthread_mutex_t Mutex;
};

void IrpMarkPending(KernelIrp* irp);
void IrpComplete(KernelIrp* irp);
