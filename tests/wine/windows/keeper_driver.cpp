// dimmio-keeper.sys: a driver that only stays loaded. Wine runs the kernel
// drivers of one service group in one driver host process, and that process
// ends with its last driver, taking every object in it along. With this
// driver loaded in dimmio's group the host outlives dimmio.sys, so a device
// or link that dimmio.sys leaves behind at unload is still there to be found.
#include "platform/nt/ddk.h"

namespace {

void NTAPI Unload(PDRIVER_OBJECT) {}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  driver->DriverUnload = &Unload;
  return STATUS_SUCCESS;
}
