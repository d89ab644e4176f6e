// The request packet's accessors for the bindings whose KernelIrp is a plain
// record with the fields of the kernel's current stack location and I/O
// status block (IoControlCode, InputBufferLength, OutputBufferLength,
// DeviceObject, FileObject (null, or a PlainFileObject), SystemBuffer, Status, Information, the
// cancel state Cancel, CancelIrql, CancelRoutine, and FileNameLength: the bytes of the name a
// create asks for below the device). Their kernel_binding.h includes this right after defining
// KernelIrp.
#pragma once

#include <stdint.h>

inline uint32_t IrpControlCode(KernelIrp* irp) {
  return irp->IoControlCode;
}
inline uint32_t IrpInputLength(KernelIrp* irp) {
  return irp->InputBufferLength;
}
inline uint32_t IrpOutputLength(KernelIrp* irp) {
  return irp->OutputBufferLength;
}
inline void* IrpSystemBuffer(KernelIrp* irp) {
  return irp->SystemBuffer;
}
inline KernelDevice* IrpDevice(KernelIrp* irp) {
  return irp->DeviceObject;
}
inline void* IrpFile(KernelIrp* irp) {
  return irp->FileObject;
}
// The file objects of these bindings begin with the driver's word, as the
// kernel's do with FsContext (at another offset).
struct PlainFileObject {
  void* FsContext;
};
inline void** IrpFileContext(KernelIrp* irp) {
  return irp->FileObject != nullptr ? &static_cast<PlainFileObject*>(irp->FileObject)->FsContext
                                    : nullptr;
}
inline void IrpSetIoStatus(KernelIrp* irp, NtStatus status, uint32_t information) {
  irp->Status = status;
  irp->Information = information;
}
inline bool IrpNamesBelowDevice(KernelIrp* irp) {
  return irp->FileNameLength != 0;
}
inline bool IrpCancelled(KernelIrp* irp) {
  return irp->Cancel;
}
inline KernelIrql IrpCancelIrql(KernelIrp* irp) {
  return irp->CancelIrql;
}
// Under the cancel lock only.
inline void IrpSetCancelRoutine(KernelIrp* irp, KernelCancelRoutine routine) {
  irp->CancelRoutine = routine;
}
