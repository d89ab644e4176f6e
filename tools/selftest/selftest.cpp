// The self-test image. It starts the driver as the kernel would (DriverEntry:
// discovery, the device, its queue and worker), then sends every request a
// user-mode tool can send, in order, through the driver's device-control
// routine, and prints one line per answer on the serial console:
//
//   chipset BUS DEV FN VID DID          pci BUS DEV FN VID DID (per record)
//   pcicount N                          spd SLOT code=C hw=H detail=D bytes=N XX ...
//   probe SLOT result=R code=C hw=H     slots N code=C
//   modules N code=C                    sysinfo K "TEXT"
//   pcicfg 0 0 0 XXXXXXXX ... (64 dwords)
//   time spd MS                         done
//
// "time spd" is how long the eight SPD requests took in guest time, from PIT
// counter 0 (the printing of their lines left out), in whole milliseconds.
//
// Bus, device, function and identifiers are hex; counts and codes decimal;
// detail is the first hardware detail word, hex. In TEXT, bytes outside
// 0x20-0x7E, the quote and the backslash are written as \xHH.
//
// There is one CPU and no scheduler: a request the driver queues is served
// here, by the same steps the worker takes (driver/queue.h). At the end the
// driver is unloaded; a pool block, a mapping or a link left behind is
// reported ("leak ..."), as is a request that did not complete with success
// ("failed ..."). The emulator's exit value: 0 after "done" with nothing
// left behind, 2 when the driver does not load, 3 after a leak.
#include "discovery/pci_walk.h"
#include "driver/device_extension.h"
#include "driver/dispatch.h"
#include "driver/driver_entry.h"
#include "driver/ioctl.h"
#include "driver/queue.h"
#include "platform/baremetal/baremetal.h"
#include "platform/baremetal/console.h"
#include "platform/baremetal/pit_clock.h"

namespace {

using baremetal::ConsolePrint;

constexpr uint8_t kSlotCount = 8;
constexpr uint32_t kSpdImageBytes = 256;
constexpr uint32_t kSysinfoFields = 8;
constexpr uint32_t kSysinfoFieldBytes = 128;
constexpr uint32_t kBufferBytes = kPciDeviceTableCapacity * kPciRecordSize;

// The system buffer of one request at a time.
alignas(8) uint8_t g_buffer[kBufferBytes];

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// OpStatus words: operation code at +4, hardware code at +36, its first
// detail word at +44 when its count (+40) says it was written.
uint32_t StatusCode(const uint8_t* status) {
  return Le32(status + 4);
}
uint32_t StatusHwCode(const uint8_t* status) {
  return Le32(status + 36);
}
uint32_t StatusHwDetail(const uint8_t* status) {
  return Le32(status + 40) > 0 ? Le32(status + 44) : 0;
}

struct Answer {
  NtStatus status;
  uint32_t information;
};

// One device-control request: `input` bytes are already at the start of
// g_buffer. Queued requests are served before this returns.
Answer Send(KernelDriver* driver, uint32_t code, uint32_t inputLength, uint32_t outputLength) {
  KernelDevice* device = driver->DeviceObject;
  KernelIrp irp{};
  irp.MajorFunction = IRP_MJ_DEVICE_CONTROL;
  irp.IoControlCode = code;
  irp.InputBufferLength = inputLength;
  irp.OutputBufferLength = outputLength;
  irp.DeviceObject = device;
  irp.SystemBuffer = g_buffer;

  const NtStatus returned = driver->MajorFunction[IRP_MJ_DEVICE_CONTROL](device, &irp);
  if (returned == STATUS_PENDING) {
    auto* extension = static_cast<DeviceExtension*>(device->DeviceExtension);
    while (extension->Queue.WorkEvent.Signalled) ServeNextRequest(&extension->Queue);
  }
  const bool fine = irp.Completions == 1 && irp.Status == STATUS_SUCCESS &&
                    (returned == STATUS_PENDING) == irp.PendingMarked &&
                    (returned == STATUS_PENDING || returned == irp.Status);
  if (!fine) {
    ConsolePrint("failed request %08X returned %08X status %08X information %u completions %u\n",
                 code, static_cast<uint32_t>(returned), static_cast<uint32_t>(irp.Status),
                 irp.Information, irp.Completions);
  }
  return Answer{irp.Status, irp.Information};
}

void PrintRecord(const char* tag, const uint8_t* record) {
  ConsolePrint("%s %X %X %X %04X %04X\n", tag, Le32(record), Le32(record + 4), Le32(record + 8),
               Le32(record + 12), Le32(record + 16));
}

void ChipsetAndTable(KernelDriver* driver) {
  const Answer chipset = Send(driver, IOCTL_GET_CHIPSET_INFO, 0, kChipsetInfoSize);
  if (chipset.information == kChipsetInfoSize) PrintRecord("chipset", g_buffer);

  const Answer count = Send(driver, IOCTL_GET_PCI_DEVICE_COUNT, 0, kPciDeviceCountSize);
  const uint32_t functions = count.information == kPciDeviceCountSize ? Le32(g_buffer) : 0;
  ConsolePrint("pcicount %u\n", functions);

  PutLe32(g_buffer, functions);
  const Answer table = Send(driver, IOCTL_GET_PCI_DEVICE_TABLE, 4, kBufferBytes);
  for (uint32_t at = 0; at + kPciRecordSize <= table.information; at += kPciRecordSize) {
    PrintRecord("pci", g_buffer + at);
  }
}

// Returns the PIT ticks the request took.
uint32_t ReadSpd(KernelDriver* driver, uint8_t slot) {
  g_buffer[0] = slot;
  g_buffer[1] = 0;  // from the first byte
  const uint32_t start = baremetal::PitTicks();
  const Answer a = Send(driver, IOCTL_READ_SPD, 2, kSpdDataOffset + kSpdImageBytes);
  const uint32_t took = baremetal::PitTicks() - start;
  const uint32_t bytes = a.information > kSpdDataOffset ? a.information - kSpdDataOffset : 0;
  ConsolePrint("spd %u code=%u hw=%u detail=0x%X bytes=%u", slot, StatusCode(g_buffer),
               StatusHwCode(g_buffer), StatusHwDetail(g_buffer), bytes);
  for (uint32_t i = 0; i < bytes; ++i) ConsolePrint(" %02X", g_buffer[kSpdDataOffset + i]);
  ConsolePrint("\n");
  return took;
}

void ProbeWrite(KernelDriver* driver, uint8_t slot) {
  g_buffer[0] = slot;
  Send(driver, IOCTL_PROBE_SPD_WRITE, 1, kProbeReplySize);
  const uint8_t* status = g_buffer + kReplyStatusOffset;
  ConsolePrint("probe %u result=%d code=%u hw=%u\n", slot, static_cast<int32_t>(Le32(g_buffer)),
               StatusCode(status), StatusHwCode(status));
}

void Count(KernelDriver* driver, const char* name, uint32_t code) {
  Send(driver, code, 0, kCountReplySize);
  ConsolePrint("%s %u code=%u\n", name, g_buffer[0], StatusCode(g_buffer + kReplyStatusOffset));
}

void SystemInfo(KernelDriver* driver) {
  const Answer a = Send(driver, IOCTL_GET_SYSTEM_INFO, 0, kSystemInfoSize);
  for (uint32_t k = 0; k < kSysinfoFields; ++k) {
    ConsolePrint("sysinfo %u \"", k);
    // Only what the request returned; a failed report returns nothing.
    const uint32_t start = k * kSysinfoFieldBytes;
    for (uint32_t i = start; i < start + kSysinfoFieldBytes && i < a.information; ++i) {
      const uint8_t c = g_buffer[i];
      if (c == 0) break;
      if (c < 0x20 || c > 0x7E || c == '"' || c == '\\')
        ConsolePrint("\\x%02X", c);
      else
        ConsolePrint("%c", c);
    }
    ConsolePrint("\"\n");
  }
}

void DumpConfig(KernelDriver* driver, uint32_t bus, uint32_t device, uint32_t function) {
  for (uint32_t i = 0; i < kPciConfigInputSize; ++i) g_buffer[i] = 0;
  PutLe32(g_buffer, bus);
  PutLe32(g_buffer + 4, device);
  PutLe32(g_buffer + 8, function);
  const Answer a = Send(driver, IOCTL_READ_PCI_CONFIG, kPciConfigInputSize, kPciConfigSize);
  ConsolePrint("pcicfg %X %X %X", bus, device, function);
  for (uint32_t k = 0; k + 4 <= a.information; k += 4) ConsolePrint(" %08X", Le32(g_buffer + k));
  ConsolePrint("\n");
}

}  // namespace

int BareMetalMain() {
  KernelDriver driver{};
  KernelName registryPath{};
  const NtStatus loaded = DriverEntry(&driver, &registryPath);
  if (loaded != STATUS_SUCCESS || driver.DeviceObject == nullptr) {
    ConsolePrint("failed DriverEntry status %08X\n", static_cast<uint32_t>(loaded));
    return 2;
  }

  ChipsetAndTable(&driver);
  uint32_t spdTicks = 0;
  for (uint8_t slot = 0; slot < kSlotCount; ++slot) spdTicks += ReadSpd(&driver, slot);
  ConsolePrint("time spd %u\n", spdTicks / baremetal::kPitTicksPerMs);
  ProbeWrite(&driver, 0);
  Count(&driver, "slots", IOCTL_GET_MEMORY_SLOT_COUNT);
  Count(&driver, "modules", IOCTL_GET_MEMORY_MODULE_COUNT);
  SystemInfo(&driver);
  DumpConfig(&driver, 0, 0, 0);
  ConsolePrint("done\n");

  driver.DriverUnload(&driver);
  const baremetal::PoolUsage usage = baremetal::CurrentPoolUsage();
  const uint32_t links = baremetal::OpenLinks();
  if (usage.LiveBlocks != 0 || usage.OpenMappings != 0 || usage.BadFrees != 0 || links != 0 ||
      driver.DeviceObject != nullptr) {
    ConsolePrint("leak pool=%u bytes=%u mappings=%u badfrees=%u links=%u device=%s\n",
                 usage.LiveBlocks, usage.LiveBytes, usage.OpenMappings, usage.BadFrees, links,
                 driver.DeviceObject != nullptr ? "yes" : "no");
    return 3;
  }
  return 0;
}
