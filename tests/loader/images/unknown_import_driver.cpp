// A driver image that imports a kernel call the loader does not implement:
// the loader must refuse it by name.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  if (driver == nullptr) KeBugCheckEx(0xE2, 0, 0, 0, 0);
  DbgPrint("never runs\n");
  return STATUS_SUCCESS;
}
