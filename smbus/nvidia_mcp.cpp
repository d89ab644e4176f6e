#include "smbus/nvidia_mcp.h"

#include "driver/op_status.h"
#include "smbus/host_status.h"
#include "smbus/nvidia_0064.h"
#include "smbus/pci_vendors.h"

namespace nvidia_mcp {

namespace {

constexpr uint32_t kChannels = 2;

}  // namespace

uint32_t ChannelBase(PciLocation function, uint32_t channel) {
  const uint32_t bar = PciReadConfigDword(function, kChannelBar[channel]);
  if (bar != 0) return (bar & kBarIoSpace) != 0 ? bar & kIoBaseMask : 0;
  return PciReadConfigField(function, kChannelWord[channel]) & kIoBaseMask;
}

bool DecodesIo(PciLocation function) {
  return (PciReadConfigDword(function, kCommandRegister) & kCommandIoSpace) != 0;
}

namespace {

// Chooses the channel among the first `channels` (1: channel 2 is not to be
// touched).
int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  const PciLocation function = found.Function;
  const ChipDescriptor& chip = *found.Chip;
  uint32_t channels = found.SecondHostUnsafe ? 1u : 2u;
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

  int32_t chosen = -1;
  for (uint32_t channel = 0; channel < channels && chosen < 0; ++channel) {
    SmbusController probe{};
    if (NV_AcquireDevice(&probe, bases[channel], chip) != 0) continue;
    if (AnySpdSlotAnswers(&probe)) chosen = static_cast<int32_t>(channel);
    NV_ReleaseDevice(probe.Context);
  }
  if (chosen < 0) chosen = fallback;
  if (NV_AcquireDevice(controller, bases[chosen], chip) != 0) return -1;
  if (DebugPrintHook != nullptr) {
    DebugPrintHook("smbcore: nVidia SMBus channel %u at %04X\n", static_cast<uint32_t>(chosen + 1),
                   bases[chosen]);
  }
  return 0;
}

// The MCPs' SMBus function.
namespace ids {
constexpr uint16_t kNforce2Ultra400 = 0x0084;
constexpr uint16_t kNforce3Pro150 = 0x00D4;
constexpr uint16_t kNforce3_250Gb = 0x00E4;
constexpr uint16_t kCk804 = 0x0052;  // nForce4
constexpr uint16_t kMcp04 = 0x0034;
constexpr uint16_t kMcp51 = 0x0264;
constexpr uint16_t kMcp55 = 0x0368;
constexpr uint16_t kMcp61 = 0x03EB;
constexpr uint16_t kMcp65 = 0x0446;
constexpr uint16_t kMcp67 = 0x0542;
constexpr uint16_t kMcp73 = 0x07D8;
constexpr uint16_t kMcp78S = 0x0752;
constexpr uint16_t kMcp79 = 0x0AA2;
}  // namespace ids

// The MCPs whose hosts have the abort register (control 0x3E bit 5, abort
// status 0x3C), as the nForce2 has: the MCP51 and MCP55. On the others
// those offsets are something else and are never written.
constexpr ChipDescriptor kMcpAborting = DrivenBy(0, {.Quirks = kQuirkNvAbortRegister});
constexpr MessageArgs kRev = MessageArgs::Revision;
constexpr ChipId kMcpIds[] = {
    {.DeviceId = ids::kNforce2Ultra400,
     .Message = "smbcore: Found nVidia nForce2 Ultra 400 rev=%02X\n",
     .Args = kRev},
    {.DeviceId = ids::kNforce3Pro150,
     .Message = "smbcore: Found nVidia nForce3 Pro150 rev=%02X\n",
     .Args = kRev},
    {.DeviceId = ids::kNforce3_250Gb,
     .Message = "smbcore: Found nVidia nForce3 250Gb rev=%02X\n",
     .Args = kRev},
    {.DeviceId = ids::kCk804, .Message = "smbcore: Found nVidia CK804 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp04, .Message = "smbcore: Found nVidia MCP04 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp61, .Message = "smbcore: Found nVidia MCP61 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp65, .Message = "smbcore: Found nVidia MCP65 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp67, .Message = "smbcore: Found nVidia MCP67 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp73, .Message = "smbcore: Found nVidia MCP73 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp78S, .Message = "smbcore: Found nVidia MCP78S rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp79, .Message = "smbcore: Found nVidia MCP79 rev=%02X\n", .Args = kRev},
};
constexpr ChipId kMcpAbortingIds[] = {
    {.DeviceId = ids::kMcp51, .Message = "smbcore: Found nVidia MCP51 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kMcp55, .Message = "smbcore: Found nVidia MCP55 rev=%02X\n", .Args = kRev},
};
constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorNvidia, .Chip = &kMcpChip, .Ids = kMcpIds, .IdCount = CountOf(kMcpIds)},
    {.VendorId = kVendorNvidia,
     .Chip = &kMcpAborting,
     .Ids = kMcpAbortingIds,
     .IdCount = CountOf(kMcpAbortingIds)},
};

}  // namespace

// The nForce2 host block, twice; the acquire finds both channels' bases in
// the function's configuration space.
constexpr ChipDescriptor kMcpChip = DrivenBy(0, {});

constexpr SmbusBackend kNvidiaMcpBackend = MakeBackend({
    .Name = "nvidia_mcp",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &NV_Transfer,
    .Switches = 0,
});

}  // namespace nvidia_mcp
