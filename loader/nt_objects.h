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
#define NT_AT(type, field, kernelType, kernelField, offset) \
  static_assert(offsetof(type, field) == ntlayout::offset, #type "." #field);
#define NT_SIZE(type, kernelType, size) static_assert(sizeof(type) == ntlayout::size, #type);
NT_LAYOUT_FIELDS(NT_AT)
NT_LAYOUT_SIZES(NT_SIZE)
#undef NT_AT
#undef NT_SIZE

}  // namespace nt
