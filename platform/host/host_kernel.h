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
  OpenDevice,       // the next open of the device object by the driver itself
  SetSecurity,      // the next change of the device's security
};

constexpr size_t kFaultKinds = 6;

// Arms `fault` for the nth call from now of its service (1 = the next one),
// which then returns `status`.
void FailNext(Fault fault, NtStatus status = STATUS_INSUFFICIENT_RESOURCES, int nth = 1);
void ClearFaults();
// Counts a call of the service; true (and the status to fail with) when this
// is the call the fault was armed for, which disarms it.
bool TakeFault(Fault fault, NtStatus* status);
// Calls of the service behind `fault` since the process started.
uint64_t FaultPointCalls(Fault fault);

// The event's state, read under the dispatcher lock.
bool EventSignalled(const KernelEvent* event);

// Thread objects not yet released (threads running, or ended but still
// referenced by a handle or an object reference).
size_t LiveThreadObjects();
// System threads created since the process started.
size_t ThreadsCreated();

// The fine clock's requests since the process started: made, still
// outstanding, and releases of a request nobody had made.
struct FineClockCount {
  uint64_t Made = 0;
  uint64_t Outstanding = 0;
  uint64_t Unmatched = 0;
};
FineClockCount FineClockRequests();

}  // namespace host
