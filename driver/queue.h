// The request queue and its one worker thread: callers append checked
// requests, the worker serves them one at a time, oldest first.
#pragma once

#include "driver/device_extension.h"

void InitRequestQueue(RequestQueue* queue);

// Marks the request pending and appends it; STATUS_INSUFFICIENT_RESOURCES,
// with the request neither marked nor queued, when no entry can be had.
NtStatus EnqueueRequest(RequestQueue* queue, KernelIrp* request);

// Removes and returns the oldest request. The list must not be empty.
KernelIrp* DequeueRequest(RequestQueue* queue);

// Serves exactly one request: dequeue, route, complete.
void ServeNextRequest(RequestQueue* queue);

// The worker: serves while work is signalled, returns once the stop event is.
void KERNEL_API WorkerThreadMain(void* extension);

// Completes everything still queued with STATUS_CANCELLED. Only once the
// worker has ended (or never started) and no request can arrive.
void CancelQueuedRequests(RequestQueue* queue);
