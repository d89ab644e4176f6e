// The request entry routines the driver installs, and the one way every
// request is finished.
#pragma once

#include "driver/kernel.h"

// Create and close: always succeed; no per-open state.
KernelStatus KERNEL_API DispatchCreateClose(KernelDevice* device, KernelIrp* irp);

// Device control: checks, then answers at once or queues for the worker
// (returning STATUS_PENDING).
KernelStatus KERNEL_API DispatchDeviceControl(KernelDevice* device, KernelIrp* irp);

// Stores status and byte count and completes with no priority boost. The
// request is not touched afterwards.
void CompleteRequest(KernelIrp* irp, NtStatus status, uint32_t information);
