#include "smbus/nvidia_mcp.h"

#include "driver/op_status.h"
#include "smbus/host_status.h"
#include "smbus/nvidia_0064.h"

namespace nvidia_mcp {

namespace {

constexpr uint32_t kChannels = 2;

// The MCPs whose hosts have the abort register (control 0x3E bit 5, abort
// status 0x3C), as the nForce2 has: the MCP51 and MCP55. On the others
// those offsets are something else and are never written.
constexpr uint16_t kAbortingMcps[] = {0x0264, 0x0368};

NvAbort AbortOf(PciLocation function) {
  const uint32_t device = PciReadConfigDword(function, 0x00) >> 16;
  for (uint16_t id : kAbortingMcps) {
    if (device == id) return NvAbort::Register;
  }
  return NvAbort::None;
}

}  // namespace

uint32_t ChannelBase(PciLocation function, uint32_t channel) {
  const uint32_t bar = PciReadConfigDword(function, kChannelBar[channel]);
  if (bar != 0) return (bar & kBarIoSpace) != 0 ? bar & kIoBaseMask : 0;
  return PciReadConfigField(function, kChannelWord[channel]) & kIoBaseMask;
}

bool DecodesIo(PciLocation function) {
  return (PciReadConfigDword(function, kCommandRegister) & kCommandIoSpace) != 0;
}

int32_t AcquireDevice(SmbusController* controller, PciLocation function, uint32_t channels) {
  if (!DecodesIo(function)) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: nVidia SMBus function decodes no I/O: not used\n");
    }
    return -1;
  }
  uint32_t bases[kChannels] = {};
  int32_t fallback = -1;  // the first usable channel: used when no slot answers anywhere
  if (channels > kChannels) channels = kChannels;
  for (uint32_t channel = 0; channel < channels; ++channel) {
    bases[channel] = ChannelBase(function, channel);
    if (fallback < 0 && host_status::UsableIoBase(bases[channel], kNvData1)) {
      fallback = static_cast<int32_t>(channel);
    }
  }
  if (fallback < 0) return -1;

  const NvAbort abort = AbortOf(function);
  int32_t chosen = -1;
  for (uint32_t channel = 0; channel < channels && chosen < 0; ++channel) {
    SmbusController probe{};
    if (NV_AcquireDevice(&probe, bases[channel], kNvVariantPortIo, abort) != 0) continue;
    if (AnySpdSlotAnswers(&probe)) chosen = static_cast<int32_t>(channel);
    NV_ReleaseDevice(probe.Context);
  }
  if (chosen < 0) chosen = fallback;
  if (NV_AcquireDevice(controller, bases[chosen], kNvVariantPortIo, abort) != 0) return -1;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook("smbcore: nVidia SMBus channel %u at %04X\n", static_cast<uint32_t>(chosen + 1),
                   bases[chosen]);
  }
  return 0;
}

}  // namespace nvidia_mcp
