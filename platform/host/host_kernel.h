// Failure injection and inspection of the host kernel services, for tests:
// the next call of a kernel service can be made to fail, events can be read
// without racing their setters, and the number of thread objects still alive
// shows whether teardown left a thread behind.
#pragma once

#include <stddef.h>

#include "driver/kernel.h"

namespace host {

enum class Fault {
  CreateDevice,     // the next device creation fails
  CreateThread,     // the next system thread is not created
  ReferenceThread,  // the next reference to a thread object is refused
  CreateLink,       // the next symbolic link is not created
};

constexpr size_t kFaultKinds = 4;

// Arms `fault` for the next call of its service, which then returns `status`.
void FailNext(Fault fault, NtStatus status = STATUS_INSUFFICIENT_RESOURCES);
void ClearFaults();
// True (and the status to fail with) when the fault was armed; disarms it.
bool TakeFault(Fault fault, NtStatus* status);

// The event's state, read under the dispatcher lock.
bool EventSignalled(const KernelEvent* event);

// Thread objects not yet released (threads running, or ended but still
// referenced by a handle or an object reference).
size_t LiveThreadObjects();
// System threads created since the process started.
size_t ThreadsCreated();

}  // namespace host
