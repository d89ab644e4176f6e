// The request entry routines the driver installs, and the one way every
// request is finished.
#pragma once

#include "driver/kernel.h"

// Close (and a create of the device itself): always succeed. The one
// per-open state, the handle's segment, lives in the file object.
KernelStatus KERNEL_API DispatchCreateClose(KernelDevice* device, KernelIrp* irp);

// Create: the device has no names below it, so an open of \Device\dimmio0\x
// fails with STATUS_OBJECT_NAME_NOT_FOUND.
KernelStatus KERNEL_API DispatchCreate(KernelDevice* device, KernelIrp* irp);

// Cleanup, when the last handle of a file object is closed (its process may
// have ended): that handle's queued requests complete as cancelled, and its
// segment is forgotten.
KernelStatus KERNEL_API DispatchCleanup(KernelDevice* device, KernelIrp* irp);

// Device control: checks, then answers at once or queues for the worker
// (returning STATUS_PENDING).
KernelStatus KERNEL_API DispatchDeviceControl(KernelDevice* device, KernelIrp* irp);

// Stores status and byte count and completes with no priority boost. The
// request is not touched afterwards.
void CompleteRequest(KernelIrp* irp, NtStatus status, uint32_t information);
