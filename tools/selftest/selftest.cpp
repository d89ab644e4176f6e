// The self-test image. It runs discovery as driver start-up does, then asks
// the driver every question a user-mode tool can ask, in order, and prints
// one line per answer on the serial console:
//
//   chipset BUS DEV FN VID DID          pci BUS DEV FN VID DID (per record)
//   pcicount N                          spd SLOT code=C hw=H detail=D bytes=N XX ...
//   probe SLOT result=R code=C hw=H     pcicfg 0 0 0 XXXXXXXX ... (64 dwords)
//   done
//
// Bus, device, function and identifiers are hex; counts and codes decimal;
// detail is the hardware half's first detail word in hex. The program ends
// the emulator with 0 after "done"; a pool block or a physical mapping left
// behind is reported and ends it with 3, a discovery that returns no
// controller with 2.
#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "driver/op_status.h"
#include "hw/hw.h"
#include "platform/baremetal/baremetal.h"
#include "platform/baremetal/console.h"
#include "smbus/smbus.h"

namespace {

using baremetal::ConsolePrint;

constexpr uint8_t kSlotCount = 8;
constexpr uint32_t kSpdImageBytes = 256;
constexpr uint32_t kOpStatusBytes = sizeof(OpStatus);
constexpr uint32_t kConfigSpaceBytes = 256;

uint32_t HwDetail(const OpStatus& status) {
  return status.HwDetailCount > 0 ? status.HwDetail[0] : 0;
}

void PrintRecord(const char* tag, const PciDeviceRecord& r) {
  ConsolePrint("%s %X %X %X %04X %04X\n", tag, r.Bus, r.Device, r.Function, r.VendorId,
               r.DeviceId);
}

void ChipsetAndTable() {
  PrintRecord("chipset", ChipsetInfo);
  ConsolePrint("pcicount %u\n", PciDeviceCount);
  const uint32_t stored =
      PciDeviceCount < kPciDeviceTableCapacity ? PciDeviceCount : kPciDeviceTableCapacity;
  for (uint32_t i = 0; i < stored; ++i) PrintRecord("pci", PciDeviceTable[i]);
}

// The SPD read as the request delivers it: the status record, then the data.
void ReadSpd(SmbusController* controller, uint8_t slot) {
  alignas(4) uint8_t buffer[kOpStatusBytes + kSpdImageBytes];
  auto* status = reinterpret_cast<OpStatus*>(buffer);
  InitOpStatus(status);
  const uint32_t bytes =
      ReadSpdBlock(controller, status, slot, buffer + kOpStatusBytes, 0, kSpdImageBytes);
  ConsolePrint("spd %u code=%u hw=%u detail=0x%X bytes=%u", slot, status->Code, status->HwCode,
               HwDetail(*status), bytes);
  for (uint32_t i = 0; i < bytes; ++i) ConsolePrint(" %02X", buffer[kOpStatusBytes + i]);
  ConsolePrint("\n");
}

void ProbeWrite(SmbusController* controller, uint8_t slot) {
  OpStatus status;
  InitOpStatus(&status);
  const int32_t result = ProbeSpdWrite(controller, &status, slot);
  ConsolePrint("probe %u result=%d code=%u hw=%u\n", slot, result, status.Code, status.HwCode);
}

void DumpConfig(PciLocation location) {
  uint32_t dwords[kConfigSpaceBytes / 4];
  for (uint32_t k = 0; k < kConfigSpaceBytes; k += 4) {
    dwords[k / 4] = PciReadConfigDword(location, static_cast<uint8_t>(k));
  }
  ConsolePrint("pcicfg %X %X %X", location.Bus, location.Device, location.Function);
  for (uint32_t dword : dwords) ConsolePrint(" %08X", dword);
  ConsolePrint("\n");
}

}  // namespace

int BareMetalMain() {
  // Start-up: a status record of its own, ChipsetInfo and the count cleared,
  // then discovery.
  OpStatus startup;
  InitOpStatus(&startup);
  ChipsetInfo = ChipsetInfoRecord{};
  PciDeviceCount = 0;
  SmbusController* controller =
      DiscoverChipset(&startup, &ChipsetInfo, PciDeviceTable, &PciDeviceCount);
  if (controller == nullptr) {
    ConsolePrint("discovery failed code=%u\n", startup.Code);
    return 2;
  }

  ChipsetAndTable();
  for (uint8_t slot = 0; slot < kSlotCount; ++slot) ReadSpd(controller, slot);
  ProbeWrite(controller, 0);
  DumpConfig(PciLocation{0, 0, 0});
  ConsolePrint("done\n");

  ReleaseController(controller);
  const baremetal::PoolUsage usage = baremetal::CurrentPoolUsage();
  if (usage.LiveBlocks != 0 || usage.OpenMappings != 0 || usage.BadFrees != 0) {
    ConsolePrint("leak pool=%u bytes=%u mappings=%u badfrees=%u\n", usage.LiveBlocks,
                 usage.LiveBytes, usage.OpenMappings, usage.BadFrees);
    return 3;
  }
  return 0;
}
