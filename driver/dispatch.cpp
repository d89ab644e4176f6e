#include "driver/dispatch.h"

#include "driver/queue.h"
#include "driver/requests.h"

void CompleteRequest(KernelIrp* irp, NtStatus status, uint32_t information) {
  IrpSetIoStatus(irp, status, information);
  IrpComplete(irp);
}

KernelStatus KERNEL_API DispatchCreateClose(KernelDevice*, KernelIrp* irp) {
  CompleteRequest(irp, STATUS_SUCCESS, 0);
  return STATUS_SUCCESS;
}

KernelStatus KERNEL_API DispatchCreate(KernelDevice* device, KernelIrp* irp) {
  if (!IrpNamesBelowDevice(irp)) return DispatchCreateClose(device, irp);
  CompleteRequest(irp, STATUS_OBJECT_NAME_NOT_FOUND, 0);
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

KernelStatus KERNEL_API DispatchCleanup(KernelDevice* device, KernelIrp* irp) {
  auto* extension = static_cast<DeviceExtension*>(device->DeviceExtension);
  CancelRequestsOfHandle(&extension->Queue, IrpFile(irp));
  ForgetHandleSegment(&extension->Queue, irp);
  CompleteRequest(irp, STATUS_SUCCESS, 0);
  return STATUS_SUCCESS;
}

KernelStatus KERNEL_API DispatchDeviceControl(KernelDevice* device, KernelIrp* irp) {
  auto* extension = static_cast<DeviceExtension*>(device->DeviceExtension);
  const uint32_t code = IrpControlCode(irp);
  const uint32_t inputLength = IrpInputLength(irp);
  const uint32_t outputLength = IrpOutputLength(irp);
  auto* buffer = static_cast<uint8_t*>(IrpSystemBuffer(irp));

  const RequestRow* row = FindRequest(code);
  if (row == nullptr) {
    CompleteRequest(irp, STATUS_NOT_IMPLEMENTED, 0);
    return STATUS_NOT_IMPLEMENTED;
  }
  if (!RequestPassesChecks(*row, buffer, inputLength, outputLength)) {
    CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
    return STATUS_INVALID_PARAMETER;
  }
  if (row->Kind == RequestKind::AtOnce) {
    RequestCall call{.Extension = extension,
                     .Buffer = buffer,
                     .OutputLength = outputLength,
                     .Segment = 0,
                     .Information = 0};
    const NtStatus status = row->Handler(&call);
    CompleteRequest(irp, status, call.Information);
    return status;
  }

  const NtStatus queued = EnqueueRequest(&extension->Queue, irp);
  if (queued == STATUS_PENDING) return STATUS_PENDING;  // refused past a bound
  if (queued != STATUS_SUCCESS) {
    CompleteRequest(irp, queued, 0);
    return queued;
  }
  return STATUS_PENDING;
}
