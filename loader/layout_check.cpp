// Compiled, never run, by the cross compiler against its kernel headers: the
// build fails, naming the field, when the kernel's declarations put a field
// somewhere other than where the loader builds it (nt_layout.h).
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>
#include <stddef.h>

#include "loader/nt_layout.h"

using namespace ntlayout;

#define AT(type, field, expected)                    \
  static_assert(offsetof(type, field) == (expected), \
                "layout drift: " #type "." #field    \
                " is not at the offset the loader uses (" #expected ")")
#define SIZE(type, expected)                \
  static_assert(sizeof(type) == (expected), \
                "layout drift: sizeof(" #type ") differs from the loader's (" #expected ")")
#define VALUE(name, expected)         \
  static_assert((name) == (expected), \
                "layout drift: " #name " differs from the loader's (" #expected ")")

AT(UNICODE_STRING, Length, kUnicodeStringLength);
AT(UNICODE_STRING, MaximumLength, kUnicodeStringMaximumLength);
AT(UNICODE_STRING, Buffer, kUnicodeStringBuffer);
SIZE(UNICODE_STRING, kUnicodeStringSize);

AT(IO_STATUS_BLOCK, Status, kIoStatusStatus);
AT(IO_STATUS_BLOCK, Information, kIoStatusInformation);
SIZE(IO_STATUS_BLOCK, kIoStatusBlockSize);
SIZE(LIST_ENTRY, kListEntrySize);

AT(DRIVER_OBJECT, Type, kDriverObjectType);
AT(DRIVER_OBJECT, Size, kDriverObjectSizeField);
AT(DRIVER_OBJECT, DeviceObject, kDriverObjectDeviceObject);
AT(DRIVER_OBJECT, DriverStart, kDriverObjectDriverStart);
AT(DRIVER_OBJECT, DriverSize, kDriverObjectDriverSize);
AT(DRIVER_OBJECT, DriverName, kDriverObjectDriverName);
AT(DRIVER_OBJECT, DriverInit, kDriverObjectDriverInit);
AT(DRIVER_OBJECT, DriverUnload, kDriverObjectDriverUnload);
AT(DRIVER_OBJECT, MajorFunction, kDriverObjectMajorFunction);
VALUE(IRP_MJ_MAXIMUM_FUNCTION + 1, kMajorFunctionCount);
SIZE(DRIVER_OBJECT, kDriverObjectSize);

AT(DEVICE_OBJECT, Type, kDeviceObjectType);
AT(DEVICE_OBJECT, Size, kDeviceObjectSizeField);
AT(DEVICE_OBJECT, ReferenceCount, kDeviceObjectReferenceCount);
AT(DEVICE_OBJECT, DriverObject, kDeviceObjectDriverObject);
AT(DEVICE_OBJECT, NextDevice, kDeviceObjectNextDevice);
AT(DEVICE_OBJECT, Flags, kDeviceObjectFlags);
AT(DEVICE_OBJECT, Characteristics, kDeviceObjectCharacteristics);
AT(DEVICE_OBJECT, DeviceExtension, kDeviceObjectDeviceExtension);
AT(DEVICE_OBJECT, DeviceType, kDeviceObjectDeviceType);
AT(DEVICE_OBJECT, StackSize, kDeviceObjectStackSize);
SIZE(DEVICE_OBJECT, kDeviceObjectSize);

AT(IRP, Type, kIrpType);
AT(IRP, Size, kIrpSizeField);
AT(IRP, AssociatedIrp.SystemBuffer, kIrpSystemBuffer);
AT(IRP, IoStatus, kIrpIoStatus);
AT(IRP, RequestorMode, kIrpRequestorMode);
AT(IRP, PendingReturned, kIrpPendingReturned);
AT(IRP, StackCount, kIrpStackCount);
AT(IRP, CurrentLocation, kIrpCurrentLocation);
AT(IRP, Cancel, kIrpCancel);
AT(IRP, CancelIrql, kIrpCancelIrql);
AT(IRP, CancelRoutine, kIrpCancelRoutine);
AT(IRP, Tail.Overlay.CurrentStackLocation, kIrpCurrentStackLocation);
SIZE(IRP, kIrpSize);

AT(IO_STACK_LOCATION, MajorFunction, kStackMajorFunction);
AT(IO_STACK_LOCATION, MinorFunction, kStackMinorFunction);
AT(IO_STACK_LOCATION, Flags, kStackFlags);
AT(IO_STACK_LOCATION, Control, kStackControl);
AT(IO_STACK_LOCATION, Parameters.DeviceIoControl.OutputBufferLength, kStackOutputBufferLength);
AT(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength, kStackInputBufferLength);
AT(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode, kStackIoControlCode);
AT(IO_STACK_LOCATION, Parameters.DeviceIoControl.Type3InputBuffer, kStackType3InputBuffer);
AT(IO_STACK_LOCATION, DeviceObject, kStackDeviceObject);
AT(IO_STACK_LOCATION, FileObject, kStackFileObject);
SIZE(IO_STACK_LOCATION, kStackLocationSize);

AT(FILE_OBJECT, FileName, kFileObjectFileName);

SIZE(KEVENT, kKeventSize);
SIZE(KSPIN_LOCK, kSpinLockSize);
SIZE(LARGE_INTEGER, kLargeIntegerSize);
SIZE(PHYSICAL_ADDRESS, kLargeIntegerSize);

VALUE(SL_PENDING_RETURNED, kSlPendingReturned);
VALUE(IRP_MJ_CREATE, kIrpMjCreate);
VALUE(IRP_MJ_CLOSE, kIrpMjClose);
VALUE(IRP_MJ_CLEANUP, kIrpMjCleanup);
VALUE(IRP_MJ_DEVICE_CONTROL, kIrpMjDeviceControl);
VALUE(IO_TYPE_DRIVER, kIoTypeDriver);
VALUE(IO_TYPE_DEVICE, kIoTypeDevice);
VALUE(IO_TYPE_IRP, kIoTypeIrp);
VALUE(PCIConfiguration, static_cast<int>(kBusDataPciConfiguration));
VALUE(NonPagedPool, static_cast<int>(kNonPagedPool));
VALUE(PagedPool, static_cast<int>(kPagedPool));
VALUE(NotificationEvent, static_cast<int>(kNotificationEvent));
VALUE(SynchronizationEvent, static_cast<int>(kSynchronizationEvent));
VALUE(WaitAll, static_cast<int>(kWaitAll));
VALUE(WaitAny, static_cast<int>(kWaitAny));
VALUE(DO_DEVICE_INITIALIZING, kDoDeviceInitializing);
