// A small driver written straight against the kernel headers. It uses every
// kernel call the loader implements, with arguments the tests can recognise,
// so that a wrong calling convention, a wrong object layout or a wrong host
// implementation shows up as a wrong answer, a crash or a kernel fault. It
// queues requests to one system thread the way a real driver does, and has a
// few request codes that misbehave on purpose for the kernel's checks.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#include "probe_driver.h"

namespace {

constexpr ULONG kTag = 0x626F7270;  // "prob"

struct Entry {
  PIRP Irp;
  LIST_ENTRY Link;
};

struct Extension {
  PVOID Thread;
  KEVENT Stop;
  KEVENT Work;
  KSPIN_LOCK Lock;
  LIST_ENTRY List;
};

UNICODE_STRING g_link;

void Copy(void* to, const void* from, ULONG count) {
  for (ULONG i = 0; i < count; ++i) static_cast<UCHAR*>(to)[i] = static_cast<const UCHAR*>(from)[i];
}

NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

void Publish(Extension* ext, Entry* entry) {
  KIRQL irql = KfAcquireSpinLock(&ext->Lock);
  const bool wasEmpty = IsListEmpty(&ext->List);
  InsertTailList(&ext->List, &entry->Link);
  if (wasEmpty) KeSetEvent(&ext->Work, 0, FALSE);
  KfReleaseSpinLock(&ext->Lock, irql);
}

NTSTATUS Queue(Extension* ext, PIRP irp, bool mark, bool markLate) {
  auto* entry = static_cast<Entry*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(Entry), kTag));
  if (entry == nullptr) return Finish(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  entry->Irp = irp;
  if (mark) IoMarkIrpPending(irp);
  Publish(ext, entry);
  if (markLate) IoMarkIrpPending(irp);
  return STATUS_PENDING;
}

PIRP Take(Extension* ext) {
  KIRQL irql = KfAcquireSpinLock(&ext->Lock);
  PLIST_ENTRY link = RemoveHeadList(&ext->List);
  if (IsListEmpty(&ext->List)) KeClearEvent(&ext->Work);
  KfReleaseSpinLock(&ext->Lock, irql);
  Entry* entry = CONTAINING_RECORD(link, Entry, Link);
  PIRP irp = entry->Irp;
  ExFreePool(entry);
  return irp;
}

void Serve(PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  auto* in = static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer);
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case probe::kDelay: {
      LARGE_INTEGER interval;
      interval.QuadPart = -static_cast<LONGLONG>(static_cast<LONG>(in[0])) * 10000;
      KeDelayExecutionThread(KernelMode, FALSE, &interval);
      Finish(irp, STATUS_SUCCESS, 0);
      return;
    }
    default: Finish(irp, STATUS_SUCCESS, 0);
  }
}

void NTAPI Worker(PVOID context) {
  auto* ext = static_cast<Extension*>(context);
  PVOID objects[2] = {&ext->Stop, &ext->Work};
  while (KeWaitForMultipleObjects(2, objects, WaitAny, Executive, KernelMode, FALSE, nullptr,
                                  nullptr) == STATUS_WAIT_1) {
    Serve(Take(ext));
  }
}

NTSTATUS NTAPI CreateClose(PDEVICE_OBJECT, PIRP irp) {
  return Finish(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  auto* ext = static_cast<Extension*>(device->DeviceExtension);
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case probe::kDelay:
      if (inLength < 4) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
      return Queue(ext, irp, true, false);
    case probe::kMap: {
      if (inLength < 8) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
      const ULONG* in = reinterpret_cast<ULONG*>(buffer);
      const ULONG length = in[1];
      if (outLength < length) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
      PHYSICAL_ADDRESS address;
      address.QuadPart = in[0];
      auto* mapped = static_cast<UCHAR*>(MmMapIoSpace(address, length, MmNonCached));
      if (mapped == nullptr) return Finish(irp, STATUS_UNSUCCESSFUL, 0);
      Copy(buffer, mapped, length);
      MmUnmapIoSpace(mapped, length);
      return Finish(irp, STATUS_SUCCESS, length);
    }
    case probe::kPool: {
      if (inLength < 8 || outLength < 4) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
      const ULONG* in = reinterpret_cast<ULONG*>(buffer);
      auto* memory =
          static_cast<UCHAR*>(ExAllocatePoolWithTag(static_cast<POOL_TYPE>(in[0]), in[1], kTag));
      const ULONG got = memory != nullptr ? 1 : 0;
      if (memory != nullptr) {
        for (ULONG i = 0; i < in[1]; ++i) memory[i] = 0x5A;
        ExFreePool(memory);
      }
      *reinterpret_cast<ULONG*>(buffer) = got;
      return Finish(irp, STATUS_SUCCESS, 4);
    }
    case probe::kTimerResolution: {
      if (inLength < 8 || outLength < 4) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
      ULONG* in = reinterpret_cast<ULONG*>(buffer);
      in[0] = ExSetTimerResolution(in[0], in[1] != 0 ? TRUE : FALSE);
      return Finish(irp, STATUS_SUCCESS, 4);
    }
    case probe::kPrint:
      DbgPrint("probe:%s %d %04x %02X %u\n", "print", -42, 0xBEEF, 7, 4000000000u);
      return Finish(irp, STATUS_SUCCESS, 0);
    case probe::kCompleteTwice:
      Finish(irp, STATUS_SUCCESS, 0);
      return Finish(irp, STATUS_SUCCESS, 0);
    case probe::kPendingUnmarked: return Queue(ext, irp, false, false);
    case probe::kMarkAfterPublish: return Queue(ext, irp, false, true);
    case probe::kRefuseAfterWrite:
      if (outLength > 0) buffer[0] ^= 0xFF;
      return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    case probe::kTouchAfterComplete:
      Finish(irp, STATUS_SUCCESS, 0);
      irp->IoStatus.Status = STATUS_UNSUCCESSFUL;
      return STATUS_SUCCESS;
    default: return Finish(irp, STATUS_NOT_IMPLEMENTED, 0);
  }
}

void StopWorker(PDEVICE_OBJECT device) {
  auto* ext = static_cast<Extension*>(device->DeviceExtension);
  KeSetEvent(&ext->Stop, 0, FALSE);
  if (ext->Thread != nullptr) {
    KeWaitForSingleObject(ext->Thread, Executive, KernelMode, FALSE, nullptr);
    ObDereferenceObject(ext->Thread);
  }
  while (!IsListEmpty(&ext->List)) {
    Entry* entry = CONTAINING_RECORD(RemoveHeadList(&ext->List), Entry, Link);
    Finish(entry->Irp, STATUS_CANCELLED, 0);
    ExFreePool(entry);
  }
  IoDeleteDevice(device);
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  IoDeleteSymbolicLink(&g_link);
  StopWorker(driver->DeviceObject);
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry) {
  DbgPrint("probe:entry %s %d %04x %02X %u\n", "start", -5, 0xBEEF, 7, registry->Length);
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"\\Device\\probe0");
  RtlInitUnicodeString(&g_link, L"\\??\\probe");
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, sizeof(Extension), &name, 0x8123, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  auto* ext = static_cast<Extension*>(device->DeviceExtension);
  KeInitializeSpinLock(&ext->Lock);
  KeInitializeEvent(&ext->Work, NotificationEvent, FALSE);
  KeInitializeEvent(&ext->Stop, NotificationEvent, FALSE);
  InitializeListHead(&ext->List);
  ext->Thread = nullptr;
  HANDLE thread = nullptr;
  status = PsCreateSystemThread(&thread, 0, nullptr, nullptr, nullptr, Worker, ext);
  if (NT_SUCCESS(status)) {
    status = ObReferenceObjectByHandle(thread, 0, nullptr, KernelMode, &ext->Thread, nullptr);
    ZwClose(thread);
  }
  if (!NT_SUCCESS(status)) {
    StopWorker(device);
    return status;
  }
  status = IoCreateSymbolicLink(&g_link, &name);
  if (!NT_SUCCESS(status)) {
    StopWorker(device);
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControl;
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
