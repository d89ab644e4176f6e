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

#include "platform/kernel_objects.h"

struct BareMetalThread;
using KernelHandle = BareMetalThread*;
using KernelThread = BareMetalThread*;

struct KernelIrp {
  uint32_t MajorFunction;
  uint32_t IoControlCode;
  uint32_t InputBufferLength;
  uint32_t OutputBufferLength;
  KernelDevice* DeviceObject;
  void* FileObject;    // the handle the request came through
  void* SystemBuffer;  // buffered I/O: input on the way in, output on the way out
  NtStatus Status;
  uint32_t Information;
  bool PendingMarked;
  uint32_t Completions;  // exactly 1 once the driver is done with it
  // Cancellation: set by the I/O manager; the routine only under the cancel lock.
  bool Cancel;
  KernelIrql CancelIrql;
  KernelCancelRoutine CancelRoutine;
  uint16_t FileNameLength;  // of a create: the name asked for below the device
};

struct KernelEvent {
  bool Signalled;
};

struct KernelSpinLock {
  bool Held;
};

#include "platform/plain_irp_access.h"

inline void IrpMarkPending(KernelIrp* irp) {
  irp->PendingMarked = true;
}
inline void IrpComplete(KernelIrp* irp) {
  ++irp->Completions;
}

inline void EventInitNotification(KernelEvent* event) {
  event->Signalled = false;
}
inline void EventSet(KernelEvent* event) {
  event->Signalled = true;
}
inline void EventClear(KernelEvent* event) {
  event->Signalled = false;
}

inline void SpinLockInit(KernelSpinLock* lock) {
  lock->Held = false;
}
