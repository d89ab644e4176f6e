// The request queue and its one worker thread: callers append checked
// requests, the worker serves them one at a time, oldest first.
#pragma once

#include "driver/device_extension.h"

void InitRequestQueue(RequestQueue* queue);

// At most this many requests wait in all, and this many of one handle. The
// tool has one request of a handle in flight at a time; 16 leave room for a
// program that overlaps its requests, and 64 bound both the pool the queue
// holds and the wait of the last request (64 SPD reads of the slowest host,
// some 20 s) whatever other programs do.
constexpr uint32_t kQueueLimit = 64;
constexpr uint32_t kQueueLimitPerHandle = 16;

// Marks the request pending and appends it with a cancel routine, through
// which the I/O manager takes it out again when its thread ends: STATUS_SUCCESS.
// One the I/O manager cancelled already is completed as cancelled. When no entry
// can be had, STATUS_INSUFFICIENT_RESOURCES with the request neither marked
// nor queued; past a bound, STATUS_PENDING with the request marked, not
// queued, and completed with STATUS_INSUFFICIENT_RESOURCES.
NtStatus EnqueueRequest(RequestQueue* queue, KernelIrp* request);

// Removes and returns the oldest request, its cancel routine taken off; null
// when the list is empty (a request cancelled after the work event was seen).
// `segment` gets the segment of the handle it came through.
KernelIrp* DequeueRequest(RequestQueue* queue, uint32_t* segment);

// Serves exactly one request, if one is queued: dequeue, route, complete. The
// SPD requests are served on the segment of the handle they came through, and
// IOCTL_SET_SEGMENT changes that handle's segment only: each handle starts on
// segment 0, and no other handle's requests see what it set.
void ServeNextRequest(RequestQueue* queue);

// The worker: serves while work is signalled, returns once the stop event is.
void KERNEL_API WorkerThreadMain(void* extension);

// Completes everything still queued with STATUS_CANCELLED. Only once the
// worker has ended (or never started) and no request can arrive.
void CancelQueuedRequests(RequestQueue* queue);

// Completes with STATUS_CANCELLED what is queued of the handle `file` (its
// last handle is being closed); the worker goes on with the others.
void CancelRequestsOfHandle(RequestQueue* queue, const void* file);

// The handle of `cleanup` is closing: its segment goes back to 0. (A
// segment request of it still in service may set it once more; no request
// can come through the handle after its cleanup.)
void ForgetHandleSegment(RequestQueue* queue, KernelIrp* cleanup);
