// The image's entry point. The kernel calls it by the undecorated C name with
// the stdcall convention (_DriverEntry@8); a C++ name would leave the entry
// unresolved and the linker would silently write an entry address of 0.
//
// Until the request path (device object, queue, worker) is part of the image,
// the driver runs start-up discovery, gives back what it built and refuses to
// load: there is nothing yet that could serve a request.
#include "platform/nt/ddk.h"

#include "discovery/chipset.h"
#include "driver/op_status.h"

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  (void)driver;
  (void)registryPath;
  OpStatus status;
  InitOpStatus(&status);
  ChipsetInfo = ChipsetInfoRecord{};
  PciDeviceCount = 0;
  SmbusController* controller = DiscoverChipset(&status, &ChipsetInfo, PciDeviceTable,
                                                &PciDeviceCount);
  if (controller != nullptr) ReleaseController(controller);
  return STATUS_UNSUCCESSFUL;
}
