// Where the 32-bit x86 kernel keeps the fields of its objects that the loader
// builds and the driver image reads or writes. The loader lays its objects
// out by these numbers (nt_objects.h), and the build compiles
// layout_check.cpp against the kernel headers of the cross compiler to prove
// that the kernel's own declarations put every field at the same place.
#pragma once

#include <stdint.h>

namespace ntlayout {

// UNICODE_STRING: a counted UTF-16 string.
constexpr uint32_t kUnicodeStringLength = 0;         // bytes, without terminator
constexpr uint32_t kUnicodeStringMaximumLength = 2;  // bytes of the buffer
constexpr uint32_t kUnicodeStringBuffer = 4;
constexpr uint32_t kUnicodeStringSize = 8;

// IO_STATUS_BLOCK: how a request ended.
constexpr uint32_t kIoStatusStatus = 0;
constexpr uint32_t kIoStatusInformation = 4;
constexpr uint32_t kIoStatusBlockSize = 8;

// LIST_ENTRY: forward and backward links.
constexpr uint32_t kListEntrySize = 8;

// DRIVER_OBJECT.
constexpr uint32_t kDriverObjectType = 0;
constexpr uint32_t kDriverObjectSizeField = 2;
constexpr uint32_t kDriverObjectDeviceObject = 4;  // first device of the driver
constexpr uint32_t kDriverObjectDriverStart = 12;
constexpr uint32_t kDriverObjectDriverSize = 16;
constexpr uint32_t kDriverObjectDriverName = 28;
constexpr uint32_t kDriverObjectDriverInit = 44;
constexpr uint32_t kDriverObjectDriverUnload = 52;
constexpr uint32_t kDriverObjectMajorFunction = 56;  // 28 entry routines
constexpr uint32_t kMajorFunctionCount = 28;
constexpr uint32_t kDriverObjectSize = 168;

// DEVICE_OBJECT.
constexpr uint32_t kDeviceObjectType = 0;
constexpr uint32_t kDeviceObjectSizeField = 2;
constexpr uint32_t kDeviceObjectReferenceCount = 4;
constexpr uint32_t kDeviceObjectDriverObject = 8;
constexpr uint32_t kDeviceObjectNextDevice = 12;
constexpr uint32_t kDeviceObjectFlags = 28;
constexpr uint32_t kDeviceObjectCharacteristics = 32;
constexpr uint32_t kDeviceObjectDeviceExtension = 40;
constexpr uint32_t kDeviceObjectDeviceType = 44;
constexpr uint32_t kDeviceObjectStackSize = 48;
constexpr uint32_t kDeviceObjectSize = 184;

// IRP and its stack location.
constexpr uint32_t kIrpType = 0;
constexpr uint32_t kIrpSizeField = 2;
constexpr uint32_t kIrpSystemBuffer = 12;  // AssociatedIrp.SystemBuffer
constexpr uint32_t kIrpIoStatus = 24;
constexpr uint32_t kIrpRequestorMode = 32;
constexpr uint32_t kIrpPendingReturned = 33;
constexpr uint32_t kIrpStackCount = 34;
constexpr uint32_t kIrpCurrentLocation = 35;
constexpr uint32_t kIrpCancel = 36;
constexpr uint32_t kIrpCancelIrql = 37;
constexpr uint32_t kIrpCancelRoutine = 56;
constexpr uint32_t kIrpCurrentStackLocation = 96;  // Tail.Overlay.CurrentStackLocation
constexpr uint32_t kIrpSize = 112;

constexpr uint32_t kStackMajorFunction = 0;
constexpr uint32_t kStackMinorFunction = 1;
constexpr uint32_t kStackFlags = 2;
constexpr uint32_t kStackControl = 3;             // SL_* flags, SL_PENDING_RETURNED among them
constexpr uint32_t kStackOutputBufferLength = 4;  // Parameters.DeviceIoControl
constexpr uint32_t kStackInputBufferLength = 8;
constexpr uint32_t kStackIoControlCode = 12;
constexpr uint32_t kStackType3InputBuffer = 16;
constexpr uint32_t kStackDeviceObject = 20;
constexpr uint32_t kStackFileObject = 24;
constexpr uint32_t kStackLocationSize = 36;

// FILE_OBJECT: the image reads the name a create asks for below its device.
constexpr uint32_t kFileObjectFileName = 48;

// Dispatcher objects and the spin lock: the image only holds their storage;
// the host finds its own primitive by the storage's address.
constexpr uint32_t kKeventSize = 16;
constexpr uint32_t kSpinLockSize = 4;
constexpr uint32_t kLargeIntegerSize = 8;

// Values the image and the loader must agree on.
constexpr uint8_t kSlPendingReturned = 0x01;  // IoMarkIrpPending sets it in Control
constexpr uint8_t kIrpMjCreate = 0x00;
constexpr uint8_t kIrpMjClose = 0x02;
constexpr uint8_t kIrpMjCleanup = 0x12;
constexpr uint8_t kIrpMjDeviceControl = 0x0E;
constexpr int16_t kIoTypeDriver = 4;
constexpr int16_t kIoTypeDevice = 3;
constexpr int16_t kIoTypeIrp = 6;
constexpr uint32_t kBusDataPciConfiguration = 4;
constexpr uint32_t kNonPagedPool = 0;
constexpr uint32_t kPagedPool = 1;
constexpr uint32_t kNotificationEvent = 0;
constexpr uint32_t kSynchronizationEvent = 1;
constexpr uint32_t kWaitAll = 0;
constexpr uint32_t kWaitAny = 1;
constexpr uint32_t kDoDeviceInitializing = 0x80;

}  // namespace ntlayout

// Every field whose place the loader relies on: the loader's object and field,
// the kernel's declaration and field, and the offset above; then the objects
// whose size it relies on. nt_objects.h holds the loader's objects to these
// numbers, layout_check.cpp the kernel headers' declarations.
// clang-format off
#define NT_LAYOUT_FIELDS(X) \
  X(UnicodeString, Length, UNICODE_STRING, Length, kUnicodeStringLength) \
  X(UnicodeString, MaximumLength, UNICODE_STRING, MaximumLength, kUnicodeStringMaximumLength) \
  X(UnicodeString, Buffer, UNICODE_STRING, Buffer, kUnicodeStringBuffer) \
  X(IoStatusBlock, Status, IO_STATUS_BLOCK, Status, kIoStatusStatus) \
  X(IoStatusBlock, Information, IO_STATUS_BLOCK, Information, kIoStatusInformation) \
  X(DriverObject, Type, DRIVER_OBJECT, Type, kDriverObjectType) \
  X(DriverObject, Size, DRIVER_OBJECT, Size, kDriverObjectSizeField) \
  X(DriverObject, FirstDevice, DRIVER_OBJECT, DeviceObject, kDriverObjectDeviceObject) \
  X(DriverObject, DriverStart, DRIVER_OBJECT, DriverStart, kDriverObjectDriverStart) \
  X(DriverObject, DriverSize, DRIVER_OBJECT, DriverSize, kDriverObjectDriverSize) \
  X(DriverObject, DriverName, DRIVER_OBJECT, DriverName, kDriverObjectDriverName) \
  X(DriverObject, DriverInit, DRIVER_OBJECT, DriverInit, kDriverObjectDriverInit) \
  X(DriverObject, DriverUnload, DRIVER_OBJECT, DriverUnload, kDriverObjectDriverUnload) \
  X(DriverObject, MajorFunction, DRIVER_OBJECT, MajorFunction, kDriverObjectMajorFunction) \
  X(DeviceObject, Type, DEVICE_OBJECT, Type, kDeviceObjectType) \
  X(DeviceObject, Size, DEVICE_OBJECT, Size, kDeviceObjectSizeField) \
  X(DeviceObject, ReferenceCount, DEVICE_OBJECT, ReferenceCount, kDeviceObjectReferenceCount) \
  X(DeviceObject, Driver, DEVICE_OBJECT, DriverObject, kDeviceObjectDriverObject) \
  X(DeviceObject, NextDevice, DEVICE_OBJECT, NextDevice, kDeviceObjectNextDevice) \
  X(DeviceObject, Flags, DEVICE_OBJECT, Flags, kDeviceObjectFlags) \
  X(DeviceObject, Characteristics, DEVICE_OBJECT, Characteristics, kDeviceObjectCharacteristics) \
  X(DeviceObject, DeviceExtension, DEVICE_OBJECT, DeviceExtension, kDeviceObjectDeviceExtension) \
  X(DeviceObject, DeviceType, DEVICE_OBJECT, DeviceType, kDeviceObjectDeviceType) \
  X(DeviceObject, StackSize, DEVICE_OBJECT, StackSize, kDeviceObjectStackSize) \
  X(Irp, Type, IRP, Type, kIrpType) \
  X(Irp, Size, IRP, Size, kIrpSizeField) \
  X(Irp, SystemBuffer, IRP, AssociatedIrp.SystemBuffer, kIrpSystemBuffer) \
  X(Irp, IoStatus, IRP, IoStatus, kIrpIoStatus) \
  X(Irp, RequestorMode, IRP, RequestorMode, kIrpRequestorMode) \
  X(Irp, PendingReturned, IRP, PendingReturned, kIrpPendingReturned) \
  X(Irp, StackCount, IRP, StackCount, kIrpStackCount) \
  X(Irp, CurrentLocation, IRP, CurrentLocation, kIrpCurrentLocation) \
  X(Irp, Cancel, IRP, Cancel, kIrpCancel) \
  X(Irp, CancelIrql, IRP, CancelIrql, kIrpCancelIrql) \
  X(Irp, CancelRoutine, IRP, CancelRoutine, kIrpCancelRoutine) \
  X(Irp, CurrentStackLocation, IRP, Tail.Overlay.CurrentStackLocation, kIrpCurrentStackLocation) \
  X(IoStackLocation, MajorFunction, IO_STACK_LOCATION, MajorFunction, kStackMajorFunction) \
  X(IoStackLocation, MinorFunction, IO_STACK_LOCATION, MinorFunction, kStackMinorFunction) \
  X(IoStackLocation, Flags, IO_STACK_LOCATION, Flags, kStackFlags) \
  X(IoStackLocation, Control, IO_STACK_LOCATION, Control, kStackControl) \
  X(IoStackLocation, OutputBufferLength, IO_STACK_LOCATION, \
    Parameters.DeviceIoControl.OutputBufferLength, kStackOutputBufferLength) \
  X(IoStackLocation, InputBufferLength, IO_STACK_LOCATION, \
    Parameters.DeviceIoControl.InputBufferLength, kStackInputBufferLength) \
  X(IoStackLocation, IoControlCode, IO_STACK_LOCATION, \
    Parameters.DeviceIoControl.IoControlCode, kStackIoControlCode) \
  X(IoStackLocation, Type3InputBuffer, IO_STACK_LOCATION, \
    Parameters.DeviceIoControl.Type3InputBuffer, kStackType3InputBuffer) \
  X(IoStackLocation, Device, IO_STACK_LOCATION, DeviceObject, kStackDeviceObject) \
  X(IoStackLocation, FileObject, IO_STACK_LOCATION, FileObject, kStackFileObject) \
  X(FileObject, FileName, FILE_OBJECT, FileName, kFileObjectFileName)
#define NT_LAYOUT_SIZES(X) \
  X(UnicodeString, UNICODE_STRING, kUnicodeStringSize) \
  X(IoStatusBlock, IO_STATUS_BLOCK, kIoStatusBlockSize) \
  X(ListEntry, LIST_ENTRY, kListEntrySize) \
  X(DriverObject, DRIVER_OBJECT, kDriverObjectSize) \
  X(DeviceObject, DEVICE_OBJECT, kDeviceObjectSize) \
  X(Irp, IRP, kIrpSize) \
  X(IoStackLocation, IO_STACK_LOCATION, kStackLocationSize)
// clang-format on
