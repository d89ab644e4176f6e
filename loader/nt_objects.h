// The kernel objects the driver image touches, as the 32-bit x86 kernel lays
// them out: every field the image reads or writes sits at the kernel's
// offset (given beside the fields the padding places), and fields the image
// never uses are kept as reserved bytes. The image is compiled against the
// kernel headers, so a field put anywhere else shows as a wrong answer or a
// kernel fault in the tests that run it.
#pragma once

#include <stddef.h>
#include <stdint.h>

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

// Values the image and the loader must agree on.
constexpr uint32_t kMajorFunctionCount = 28;
constexpr uint32_t kKeventSize = 16;
constexpr uint8_t kSlPendingReturned = 0x01;  // IoMarkIrpPending sets it in Control
constexpr uint8_t kIrpMjCreate = 0x00;
constexpr uint8_t kIrpMjClose = 0x02;
constexpr uint8_t kIrpMjCleanup = 0x12;
constexpr uint8_t kIrpMjDeviceControl = 0x0E;
constexpr int16_t kIoTypeDriver = 4;
constexpr int16_t kIoTypeDevice = 3;
constexpr int16_t kIoTypeIrp = 6;
constexpr uint32_t kBusDataPciConfiguration = 4;
constexpr uint32_t kSynchronizationEvent = 1;
constexpr uint32_t kWaitAll = 0;
constexpr uint32_t kDoDeviceInitializing = 0x80;

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
  DispatchFn MajorFunction[kMajorFunctionCount];
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
  uint8_t Reserved[135];  // to 184 bytes
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
  uint8_t Reserved1[18];
  CancelFn CancelRoutine;  // at 56
  uint8_t Reserved3[36];
  IoStackLocation* CurrentStackLocation;  // Tail.Overlay.CurrentStackLocation, at 96
  uint8_t Reserved2[12];
};

struct FileObject {
  uint8_t Reserved[48];
  UnicodeString FileName;  // at 48
  uint8_t Rest[72];
};

}  // namespace nt
