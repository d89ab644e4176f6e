#include "discovery/chipset.h"

#include "hw/hw.h"

ChipsetInfoRecord ChipsetInfo;

namespace {

struct Discovery {
  ChipsetInfoRecord* info;
  SmbusController* controller;
  bool directMatchHandled;
};

void Recognize(void* context, const PciFunctionInfo& function) {
  auto* run = static_cast<Discovery*>(context);
  if (run->directMatchHandled) return;
  (void)function;  // chipset recognition joins here
}

}  // namespace

SmbusController* DiscoverChipset(OpStatus* status, ChipsetInfoRecord* info,
                                 PciDeviceRecord* table, uint32_t* count) {
  SetDebugPrintHook();
  if (info == nullptr) {
    SetOpFailure(status, OpError::NoChipsetInfo);
    return nullptr;
  }
  info->Bus = info->Device = info->Function = info->VendorId = info->DeviceId = 0;

  auto* controller = static_cast<SmbusController*>(PoolAlloc(sizeof(SmbusController)));
  if (controller == nullptr) {
    SetOpFailure(status, OpError::ControllerAlloc, 1, sizeof(SmbusController));
    return nullptr;
  }
  *controller = SmbusController{};

  Discovery run{info, controller, false};
  WalkPciBuses(table, count, &Recognize, &run);

  controller->Unavailable = 1;
  return controller;
}
