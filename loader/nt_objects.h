// The kernel objects the driver image touches, as the host builds them for a
// 32-bit image: every field the image reads or writes sits at the offset of
// nt_layout.h, which the build checks against the kernel headers. Fields the
// image never uses are kept as reserved bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "loader/nt_layout.h"

#if !defined(__i386__)
#error "the loader hosts a 32-bit x86 image and must itself be built for 32-bit x86"
#endif

// The kernel's x86 calling conventions, for functions the image calls and
// functions of the image the host calls. Calls from the image arrive with the
// stack only 4-byte aligned; the host side realigns it.
#define NT_STDCALL __attribute__((stdcall))
#define NT_FASTCALL __attribute__((fastcall))
#define NT_CDECL __attribute__((cdecl))
#define NT_ENTRY __attribute__((force_align_arg_pointer))

namespace nt {

struct DriverObject;
struct DeviceObject;
struct Irp;

struct UnicodeString {
  uint16_t Length;
  uint16_t MaximumLength;
  const char16_t* Buffer;
};

struct IoStatusBlock {
  int32_t Status;
  uint32_t Information;
};

struct ListEntry {
  ListEntry* Flink;
  ListEntry* Blink;
};

using DispatchFn = int32_t(NT_STDCALL*)(DeviceObject* device, Irp* irp);
using UnloadFn = void(NT_STDCALL*)(DriverObject* driver);
using CancelFn = void(NT_STDCALL*)(DeviceObject* device, Irp* irp);
using DriverEntryFn = int32_t(NT_STDCALL*)(DriverObject* driver, UnicodeString* registryPath);
using StartRoutineFn = void(NT_STDCALL*)(void* context);

struct DriverObject {
  int16_t Type;
  int16_t Size;
  DeviceObject* FirstDevice;
  uint32_t Flags;
  void* DriverStart;
  uint32_t DriverSize;
  void* DriverSection;
  void* DriverExtension;
  UnicodeString DriverName;
  void* HardwareDatabase;
  void* FastIoDispatch;
  void* DriverInit;
  void* DriverStartIo;
  UnloadFn DriverUnload;
  DispatchFn MajorFunction[ntlayout::kMajorFunctionCount];
};

struct DeviceObject {
  int16_t Type;
  uint16_t Size;
  int32_t ReferenceCount;
  DriverObject* Driver;
  DeviceObject* NextDevice;
  void* AttachedDevice;
  void* CurrentIrp;
  void* Timer;
  uint32_t Flags;
  uint32_t Characteristics;
  void* Vpb;
  void* DeviceExtension;
  uint32_t DeviceType;
  int8_t StackSize;
  uint8_t Reserved[ntlayout::kDeviceObjectSize - ntlayout::kDeviceObjectStackSize - 1];
};

struct IoStackLocation {
  uint8_t MajorFunction;
  uint8_t MinorFunction;
  uint8_t Flags;
  uint8_t Control;
  uint32_t OutputBufferLength;
  uint32_t InputBufferLength;
  uint32_t IoControlCode;
  void* Type3InputBuffer;
  DeviceObject* Device;
  void* FileObject;
  void* CompletionRoutine;
  void* Context;
};

struct Irp {
  int16_t Type;
  uint16_t Size;
  void* MdlAddress;
  uint32_t Flags;
  void* SystemBuffer;
  ListEntry ThreadListEntry;
  IoStatusBlock IoStatus;
  int8_t RequestorMode;
  uint8_t PendingReturned;
  int8_t StackCount;
  int8_t CurrentLocation;
  uint8_t Cancel;
  uint8_t CancelIrql;
  uint8_t Reserved1[ntlayout::kIrpCancelRoutine - ntlayout::kIrpCancelIrql - 1];
  CancelFn CancelRoutine;
  uint8_t Reserved3[ntlayout::kIrpCurrentStackLocation - ntlayout::kIrpCancelRoutine - 4];
  IoStackLocation* CurrentStackLocation;
  uint8_t Reserved2[ntlayout::kIrpSize - ntlayout::kIrpCurrentStackLocation - 4];
};

struct FileObject {
  uint8_t Reserved[ntlayout::kFileObjectFileName];
  UnicodeString FileName;
  uint8_t Rest[0x80 - ntlayout::kFileObjectFileName - ntlayout::kUnicodeStringSize];
};

// The loader's objects must sit where the kernel headers put them.
#define NT_AT(type, field, offset) \
  static_assert(offsetof(type, field) == ntlayout::offset, #type "." #field)
NT_AT(UnicodeString, Length, kUnicodeStringLength);
NT_AT(UnicodeString, MaximumLength, kUnicodeStringMaximumLength);
NT_AT(UnicodeString, Buffer, kUnicodeStringBuffer);
static_assert(sizeof(UnicodeString) == ntlayout::kUnicodeStringSize);
NT_AT(IoStatusBlock, Status, kIoStatusStatus);
NT_AT(IoStatusBlock, Information, kIoStatusInformation);
static_assert(sizeof(IoStatusBlock) == ntlayout::kIoStatusBlockSize);
static_assert(sizeof(ListEntry) == ntlayout::kListEntrySize);
NT_AT(DriverObject, Type, kDriverObjectType);
NT_AT(DriverObject, Size, kDriverObjectSizeField);
NT_AT(DriverObject, FirstDevice, kDriverObjectDeviceObject);
NT_AT(DriverObject, DriverStart, kDriverObjectDriverStart);
NT_AT(DriverObject, DriverSize, kDriverObjectDriverSize);
NT_AT(DriverObject, DriverName, kDriverObjectDriverName);
NT_AT(DriverObject, DriverInit, kDriverObjectDriverInit);
NT_AT(DriverObject, DriverUnload, kDriverObjectDriverUnload);
NT_AT(DriverObject, MajorFunction, kDriverObjectMajorFunction);
static_assert(sizeof(DriverObject) == ntlayout::kDriverObjectSize);
NT_AT(DeviceObject, Type, kDeviceObjectType);
NT_AT(DeviceObject, Size, kDeviceObjectSizeField);
NT_AT(DeviceObject, ReferenceCount, kDeviceObjectReferenceCount);
NT_AT(DeviceObject, Driver, kDeviceObjectDriverObject);
NT_AT(DeviceObject, NextDevice, kDeviceObjectNextDevice);
NT_AT(DeviceObject, Flags, kDeviceObjectFlags);
NT_AT(DeviceObject, Characteristics, kDeviceObjectCharacteristics);
NT_AT(DeviceObject, DeviceExtension, kDeviceObjectDeviceExtension);
NT_AT(DeviceObject, DeviceType, kDeviceObjectDeviceType);
NT_AT(DeviceObject, StackSize, kDeviceObjectStackSize);
static_assert(sizeof(DeviceObject) == ntlayout::kDeviceObjectSize);
NT_AT(IoStackLocation, MajorFunction, kStackMajorFunction);
NT_AT(IoStackLocation, MinorFunction, kStackMinorFunction);
NT_AT(IoStackLocation, Flags, kStackFlags);
NT_AT(IoStackLocation, Control, kStackControl);
NT_AT(IoStackLocation, OutputBufferLength, kStackOutputBufferLength);
NT_AT(IoStackLocation, InputBufferLength, kStackInputBufferLength);
NT_AT(IoStackLocation, IoControlCode, kStackIoControlCode);
NT_AT(IoStackLocation, Type3InputBuffer, kStackType3InputBuffer);
NT_AT(IoStackLocation, Device, kStackDeviceObject);
NT_AT(IoStackLocation, FileObject, kStackFileObject);
static_assert(sizeof(IoStackLocation) == ntlayout::kStackLocationSize);
NT_AT(Irp, Type, kIrpType);
NT_AT(Irp, Size, kIrpSizeField);
NT_AT(Irp, SystemBuffer, kIrpSystemBuffer);
NT_AT(Irp, IoStatus, kIrpIoStatus);
NT_AT(Irp, RequestorMode, kIrpRequestorMode);
NT_AT(Irp, PendingReturned, kIrpPendingReturned);
NT_AT(Irp, StackCount, kIrpStackCount);
NT_AT(Irp, CurrentLocation, kIrpCurrentLocation);
NT_AT(Irp, Cancel, kIrpCancel);
NT_AT(Irp, CancelIrql, kIrpCancelIrql);
NT_AT(Irp, CancelRoutine, kIrpCancelRoutine);
NT_AT(Irp, CurrentStackLocation, kIrpCurrentStackLocation);
NT_AT(FileObject, FileName, kFileObjectFileName);
static_assert(sizeof(Irp) == ntlayout::kIrpSize);
#undef NT_AT

}  // namespace nt
