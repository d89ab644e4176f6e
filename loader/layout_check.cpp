// Compiled, never run, by the cross compiler against its kernel headers: the
// build fails, naming the field, when the kernel's declarations put a field
// somewhere other than where the loader builds it (nt_layout.h).
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>
#include <stddef.h>

#include "loader/nt_layout.h"

using namespace ntlayout;

#define AT(type, field, kernelType, kernelField, expected)       \
  static_assert(offsetof(kernelType, kernelField) == (expected), \
                "layout drift: " #kernelType "." #kernelField    \
                " is not at the offset the loader uses (" #expected ")");
#define SIZE(type, kernelType, expected)                                              \
  static_assert(sizeof(kernelType) == (expected), "layout drift: sizeof(" #kernelType \
                                                  ") differs from the loader's (" #expected ")");
#define VALUE(name, expected)         \
  static_assert((name) == (expected), \
                "layout drift: " #name " differs from the loader's (" #expected ")")

NT_LAYOUT_FIELDS(AT)
NT_LAYOUT_SIZES(SIZE)
VALUE(IRP_MJ_MAXIMUM_FUNCTION + 1, kMajorFunctionCount);
// Objects the image only holds the storage of.
SIZE(, KEVENT, kKeventSize)
SIZE(, KSPIN_LOCK, kSpinLockSize)
SIZE(, LARGE_INTEGER, kLargeIntegerSize)
SIZE(, PHYSICAL_ADDRESS, kLargeIntegerSize)

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
