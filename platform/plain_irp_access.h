// The request packet's accessors for the bindings whose KernelIrp is a plain
// record with the fields of the kernel's current stack location and I/O
// status block (IoControlCode, InputBufferLength, OutputBufferLength,
// DeviceObject, FileObject, SystemBuffer, Status, Information). Their kernel_binding.h
// includes this right after defining KernelIrp.
#pragma once

#include <stdint.h>

inline uint32_t IrpControlCode(KernelIrp* irp) { return irp->IoControlCode; }
inline uint32_t IrpInputLength(KernelIrp* irp) { return irp->InputBufferLength; }
inline uint32_t IrpOutputLength(KernelIrp* irp) { return irp->OutputBufferLength; }
inline void* IrpSystemBuffer(KernelIrp* irp) { return irp->SystemBuffer; }
inline KernelDevice* IrpDevice(KernelIrp* irp) { return irp->DeviceObject; }
inline void* IrpFile(KernelIrp* irp) { return irp->FileObject; }
inline void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information) {
  irp->Status = status;
  irp->Information = information;
}
