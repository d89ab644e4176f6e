#include "smbus/piix4_compat.h"

#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"
#include "smbus/register_host.h"

namespace piix4_compat {

namespace {

using smbus_host::Port;

// Configuration space of the SMBus function.
constexpr uint8_t kRevisionDword = 0x08;   // low byte: revision ID
constexpr uint8_t kLegacyBaseWord = 0x90;  // I/O base, bits 15-4
constexpr uint32_t kLegacyBaseMask = 0xFFF0;
constexpr uint8_t kLegacyHostConfig = 0xD2;  // bit 0: host enable
constexpr uint32_t kLegacyHostEnable = 0x01;

// The power-management registers, reached through an index and a data port,
// or on the 790B from 0x51 (whose index ports may be off) through the first
// bytes of the FCH's PM window in memory.
constexpr uint16_t kPmIndex = 0xCD6;
constexpr uint16_t kPmData = 0xCD7;
constexpr uint32_t kPmWindow = 0xFED80300;
constexpr uint32_t kPmWindowLength = 8;  // PM 0x00-0x07
constexpr uint8_t kAllOnes = 0xFF;
// SB800, Hudson-2 below 0x41, the 790B below 0x49: bit 0 of PM 0x2C enables
// the host, PM 0x2D:0x2C masked with 0xFFE0 is the base.
constexpr uint8_t kPmBaseLow = 0x2C;
constexpr uint8_t kPmBaseHigh = 0x2D;
constexpr uint8_t kPmBaseLowEnable = 0x01;
constexpr uint32_t kPmBaseMask = 0xFFE0;
// Hudson-2 from 0x41, the 790B from 0x49: PM 0x00 bit 4 enables, PM 0x01
// holds the base's high byte.
constexpr uint8_t kPmDecode = 0x00;
constexpr uint8_t kPmDecodeBase = 0x01;
constexpr uint8_t kPmDecodeEnable = 0x10;
// Port select: a two-bit field; the SPDs sit on port 0.
constexpr uint8_t kSb800PortChoice = 0x2F;  // bit 0: the field is in PM 0x2E, else PM 0x2C
constexpr uint8_t kPortIn2E = 0x2E;
constexpr uint8_t kPortIn02 = 0x02;
constexpr uint8_t kPortShift21 = 1;  // bits 2-1
constexpr uint8_t kPortShift43 = 3;  // bits 4-3
constexpr uint8_t kPortFieldBits = 0x03;

// The revisions that split each chip's layout.
constexpr uint8_t kSb800FirstRevision = 0x40;
constexpr uint8_t kHudson2PortIn02From = 0x1F;
constexpr uint8_t kHudson2DecodeFrom = 0x41;
constexpr uint8_t kFch790BDecodeFrom = 0x49;
constexpr uint8_t kFch790BWindowFrom = 0x51;  // the index ports may be off

// The host's ownership semaphore, shared with firmware.
constexpr uint16_t kSemaphore = 0x08;
constexpr uint8_t kSemaphoreTake = 0x10;     // written to ask; reads 1 while we own it
constexpr uint8_t kSemaphoreRelease = 0x20;  // written to give it back
constexpr int32_t kSemaphoreRetryMs = 1;

enum class Method { Legacy, PmBaseLow, PmDecode };

struct Layout {
  Method method;
  uint8_t portRegister;  // 0: chosen by PM 0x2F (SB800)
  uint8_t portShift;
  bool window = false;  // the PM registers through the memory window
};

Layout LayoutOf(uint32_t quirks, uint8_t revision) {
  if ((quirks & kQuirkAti4385) != 0) {
    if (revision < kSb800FirstRevision) return {Method::Legacy, 0, 0};
    return {Method::PmBaseLow, 0, kPortShift21};
  }
  if ((quirks & kQuirkHudson2) != 0) {
    return {revision < kHudson2DecodeFrom ? Method::PmBaseLow : Method::PmDecode,
            revision < kHudson2PortIn02From ? kPortIn2E : kPortIn02,
            revision < kHudson2PortIn02From ? kPortShift21 : kPortShift43};
  }
  if ((quirks & kQuirkFch790B) != 0) {
    if (revision >= kFch790BWindowFrom) return {Method::PmDecode, kPortIn02, kPortShift43, true};
    return {revision < kFch790BDecodeFrom ? Method::PmBaseLow : Method::PmDecode, kPortIn02,
            kPortShift43};
  }
  return {Method::Legacy, 0, 0};
}

void Say(const char* format, uint32_t device, uint32_t revision) {
  if (DebugPrintHook != nullptr) DebugPrintHook(format, device, revision);
}

// One access to the power-management registers: through the index/data
// pair, leaving the index port as it found it, or through the PM window,
// mapped for this access alone (and then unreachable when the map fails).
class PmAccess {
 public:
  explicit PmAccess(bool window)
      : window_(window ? static_cast<volatile uint8_t*>(MapPhysical(kPmWindow, kPmWindowLength))
                       : nullptr),
        viaWindow_(window),
        savedIndex_(window ? 0 : PortReadByte(kPmIndex)) {}
  ~PmAccess() {
    if (!viaWindow_) {
      PortWriteByte(kPmIndex, savedIndex_);
    } else if (window_ != nullptr) {
      UnmapPhysical(const_cast<uint8_t*>(window_), kPmWindowLength);
    }
  }
  PmAccess(const PmAccess&) = delete;
  PmAccess& operator=(const PmAccess&) = delete;

  bool Reachable() const { return !viaWindow_ || window_ != nullptr; }
  uint8_t Read(uint8_t reg) {
    if (viaWindow_) return window_[reg];
    PortWriteByte(kPmIndex, reg);
    return PortReadByte(kPmData);
  }
  void Write(uint8_t reg, uint8_t value) {
    if (viaWindow_) {
      window_[reg] = value;
      return;
    }
    PortWriteByte(kPmIndex, reg);
    PortWriteByte(kPmData, value);
  }

 private:
  volatile uint8_t* window_;
  bool viaWindow_;
  uint8_t savedIndex_;
};

enum class Reach { Reached, NotMapped, AllOnes };

struct Found {
  Reach reach;
  bool enabled;
  uint32_t base;
  uint8_t portRegister;
};

// True when every byte of the window reads all ones: nothing decodes it.
bool WindowOff(PmAccess& pm) {
  for (uint8_t reg = 0; reg < kPmWindowLength; ++reg) {
    if (pm.Read(reg) != kAllOnes) return false;
  }
  return true;
}

// The start-up reads of the power-management registers, the index port put
// back as it was found (the window unmapped).
Found ReadPmRegisters(const Layout& layout) {
  PmAccess pm(layout.window);
  Found found{};
  if (!pm.Reachable()) {
    found.reach = Reach::NotMapped;
    return found;
  }
  if (layout.window && WindowOff(pm)) {
    found.reach = Reach::AllOnes;
    return found;
  }
  if (layout.method == Method::PmBaseLow) {
    const uint8_t low = pm.Read(kPmBaseLow);
    found.enabled = (low & kPmBaseLowEnable) != 0;
    found.base = ((uint32_t{pm.Read(kPmBaseHigh)} << 8) | low) & kPmBaseMask;
  } else {
    found.enabled = (pm.Read(kPmDecode) & kPmDecodeEnable) != 0;
    found.base = uint32_t{pm.Read(kPmDecodeBase)} << 8;
  }
  found.portRegister = layout.portRegister;
  if (found.enabled && found.portRegister == 0) {
    found.portRegister = (pm.Read(kSb800PortChoice) & 1u) != 0 ? kPortIn2E : kPmBaseLow;
  }
  return found;
}

Piix4CompatContext* ContextOf(void* context) {
  return static_cast<Piix4CompatContext*>(context);
}

// Asks for the semaphore until it reads as ours, at most kSemaphoreTries
// times 1 ms apart. The register's other bits are written as read.
bool TakeSemaphore(Piix4CompatContext* ctx) {
  const uint16_t port = Port(ctx->Host.IoBase, kSemaphore);
  uint8_t value = PortReadByte(port);
  for (uint32_t tries = 0;;) {
    PortWriteByte(port, static_cast<uint8_t>(value | kSemaphoreTake));
    value = PortReadByte(port);
    ctx->Semaphore = value;
    if ((value & kSemaphoreTake) != 0) return true;
    if (++tries == kSemaphoreTries) return false;
    DelayMs(kSemaphoreRetryMs);
  }
}

void ReleaseSemaphore(const Piix4CompatContext* ctx) {
  PortWriteByte(Port(ctx->Host.IoBase, kSemaphore),
                static_cast<uint8_t>((ctx->Semaphore & ~kSemaphoreTake) | kSemaphoreRelease));
}

constexpr int32_t kNothingToRestore = -1;
constexpr int32_t kPmUnreachable = -2;

// Points the port field at port 0; returns the register value whose port
// field goes back after the transfer: as it was, or as an earlier transfer
// could not put it back;
// kNothingToRestore when port 0 was already selected and nothing was
// written; kPmUnreachable, nothing written, when the window cannot be mapped.
int32_t SelectSpdPort(Piix4CompatContext* ctx) {
  PmAccess pm(ctx->Window != 0);
  if (!pm.Reachable()) return kPmUnreachable;
  const uint8_t old = pm.Read(ctx->PortRegister);
  const uint8_t spd = static_cast<uint8_t>(old & ~(kPortFieldBits << ctx->PortShift));
  if (spd != old) pm.Write(ctx->PortRegister, spd);
  const int32_t owed = ctx->PortOwed;
  ctx->PortOwed = kNothingToRestore;
  if (owed != kNothingToRestore) return owed;
  return spd == old ? kNothingToRestore : old;
}

// Only the port field goes back, on the register as it reads now: its
// other bits are firmware's (decode enables, the host enable and base on
// the SB800's PM 0x2C) and may have changed while the transfer ran. A
// window that cannot be mapped now keeps the old port owed to the next
// transfer, which puts it back after its own.
void RestorePort(Piix4CompatContext* ctx, int32_t old) {
  if (old < 0) return;
  PmAccess pm(ctx->Window != 0);
  if (!pm.Reachable()) {
    ctx->PortOwed = static_cast<int16_t>(old);
    return;
  }
  const auto field = static_cast<uint8_t>(kPortFieldBits << ctx->PortShift);
  const uint8_t now = pm.Read(ctx->PortRegister);
  const auto back = static_cast<uint8_t>((now & ~field) | (static_cast<uint8_t>(old) & field));
  if (back != now) pm.Write(ctx->PortRegister, back);
}

// One transfer of the Intel back-end on this host. On a shared host: the
// semaphore first (a host firmware keeps fails the transfer, nothing
// started), the status firmware left cleared, the SPDs' port selected; after
// it the port put back and the semaphore released. When the PM window cannot
// be mapped to select the port, nothing is started: the transfer fails with
// `hwCode` and the window's address as its detail.
template <typename Transfer>
int32_t OnOurHost(void* context, OpStatus* status, uint32_t hwCode, Transfer transfer) {
  Piix4CompatContext* ctx = ContextOf(context);
  if (ctx->Shared == 0) return transfer(&ctx->Host);
  if (!TakeSemaphore(ctx)) {
    SetHwFailure(status, OpError::HostHeldByFirmware, ctx->Semaphore);
    return -1;
  }
  intel::ResetStatus(ctx->Host.IoBase, false);
  const int32_t oldPort = SelectSpdPort(ctx);
  if (oldPort == kPmUnreachable) {
    ReleaseSemaphore(ctx);
    SetHwFailure(status, hwCode, kPmWindow);
    return -1;
  }
  const int32_t result = transfer(&ctx->Host);
  RestorePort(ctx, oldPort);
  ReleaseSemaphore(ctx);
  return result;
}

void ReleaseDevice(void* context) {
  PoolFree(context);
}

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  return OnOurHost(context, status, HwCodeOf(op), [&](intel::IntelContext* host) {
    return intel::Transfer(host, status, op, slave, command, data);
  });
}

constexpr SmbusOps kOps = {.Transfer = &Transfer, .ReleaseDevice = &ReleaseDevice};

int32_t AcquireChip(SmbusController* controller, const ChipFound& chipFound) {
  const PciLocation function = chipFound.Function;
  const ChipDescriptor& chip = *chipFound.Chip;
  const uint8_t revision = static_cast<uint8_t>(PciReadConfigDword(function, kRevisionDword));
  const Layout layout = LayoutOf(chip.Quirks, revision);
  const uint32_t device = PciReadConfigDword(function, 0x00) >> 16;
  Found found{};
  if (layout.method == Method::Legacy) {
    found.base = PciReadConfigField(function, kLegacyBaseWord) & kLegacyBaseMask;
    found.enabled = (PciReadConfigField(function, kLegacyHostConfig) & kLegacyHostEnable) != 0;
  } else {
    found = ReadPmRegisters(layout);
  }
  if (found.reach == Reach::NotMapped) {
    Say("smbcore: SMBus %04X rev %02X: the PM window at FED80300 cannot be mapped\n", device,
        revision);
    return -1;
  }
  if (found.reach == Reach::AllOnes) {
    Say("smbcore: SMBus %04X rev %02X: the PM window at FED80300 reads all ones: firmware left "
        "it off (PM 0x04 bit 1)\n",
        device, revision);
    return -1;
  }
  if (!found.enabled) {
    Say("smbcore: SMBus %04X rev %02X: the host is disabled\n", device, revision);
    return -1;
  }
  if (!host_status::UsableIoBase(found.base, smbus_host::kBlockLastPort)) return -1;
  auto* ctx = static_cast<Piix4CompatContext*>(PoolAlloc(sizeof(Piix4CompatContext)));
  if (ctx == nullptr) return -1;
  *ctx = Piix4CompatContext{};
  intel::InitContext(&ctx->Host, found.base, chip);
  ctx->Shared = layout.method == Method::Legacy ? 0 : 1;
  ctx->PortRegister = found.portRegister;
  ctx->PortShift = layout.portShift;
  ctx->Window = layout.window ? 1 : 0;
  ctx->PortOwed = kNothingToRestore;
  InstallOps(controller, ctx, kOps, chip);
  // A shared host's status is firmware's until we own the semaphore: it is
  // cleared under it before each transfer instead. A transfer under way is
  // firmware's too: its end is left for it to see.
  if (ctx->Shared == 0 &&
      (PortReadByte(Port(found.base, smbus_host::kHostStatus)) & smbus_host::kStatusBusy) == 0) {
    intel::ResetStatus(found.base, false);
  }
  return 0;
}

constexpr ChipDescriptor PiixCompatible(uint32_t traits, uint32_t quirks) {
  return {.Traits = kChipPageTransfers | traits, .Quirks = quirks};
}
constexpr ChipDescriptor kLegacyChip = DrivenBy(0, PiixCompatible(0, 0));
// The CSB5: its busy bit shows only about 2 ms after the start.
constexpr ChipDescriptor kCsb5Chip = DrivenBy(0, PiixCompatible(kChipLateBusy, 0));
constexpr ChipDescriptor kHudson2Chip = DrivenBy(0, PiixCompatible(0, kQuirkHudson2));
constexpr ChipDescriptor kFch790BChip = DrivenBy(0, PiixCompatible(0, kQuirkFch790B));

// The device IDs of the functions that hold the host.
namespace ids {
constexpr uint16_t kOsb4 = 0x0200;
constexpr uint16_t kCsb5 = 0x0201;
constexpr uint16_t kCsb6 = 0x0203;
constexpr uint16_t kHt1000 = 0x0205;
constexpr uint16_t kHt1100 = 0x0408;
constexpr uint16_t kIxp200 = 0x4353;
constexpr uint16_t kIxp300 = 0x4363;
constexpr uint16_t kIxp400 = 0x4372;
constexpr uint16_t kSb600 = 0x4385;  // and the SB700/SP5100 and SB800: the revision tells
constexpr uint16_t kHudson2 = 0x780B;
constexpr uint16_t kFch790B = 0x790B;  // the KERNCZ FCH; Hygon's under its own vendor ID
constexpr uint16_t kSlc90e66 = 0x9463;
}  // namespace ids

constexpr ChipId kServerWorksIds[] = {{.DeviceId = ids::kOsb4},
                                      {.DeviceId = ids::kCsb6},
                                      {.DeviceId = ids::kHt1000},
                                      {.DeviceId = ids::kHt1100}};
constexpr ChipId kCsb5Ids[] = {{.DeviceId = ids::kCsb5}};
constexpr ChipId kIxpIds[] = {
    {.DeviceId = ids::kIxp200}, {.DeviceId = ids::kIxp300}, {.DeviceId = ids::kIxp400}};
constexpr ChipId kSlc90e66Ids[] = {{.DeviceId = ids::kSlc90e66}};
constexpr ChipId kAti4385Ids[] = {{.DeviceId = ids::kSb600}};
constexpr ChipId kHudson2Ids[] = {{.DeviceId = ids::kHudson2}};
constexpr ChipId kFch790BIds[] = {{.DeviceId = ids::kFch790B}};

constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorServerWorks,
     .Chip = &kLegacyChip,
     .Ids = kServerWorksIds,
     .IdCount = CountOf(kServerWorksIds)},
    {.VendorId = kVendorServerWorks,
     .Chip = &kCsb5Chip,
     .Ids = kCsb5Ids,
     .IdCount = CountOf(kCsb5Ids)},
    {.VendorId = kVendorAti, .Chip = &kLegacyChip, .Ids = kIxpIds, .IdCount = CountOf(kIxpIds)},
    {.VendorId = kVendorEfar,
     .Chip = &kLegacyChip,
     .Ids = kSlc90e66Ids,
     .IdCount = CountOf(kSlc90e66Ids)},
    {.VendorId = kVendorAti,
     .Chip = &kAti4385Chip,
     .Ids = kAti4385Ids,
     .IdCount = CountOf(kAti4385Ids)},
    {.VendorId = kVendorAmd,
     .Chip = &kHudson2Chip,
     .Ids = kHudson2Ids,
     .IdCount = CountOf(kHudson2Ids)},
    {.VendorId = kVendorAmd,
     .Chip = &kFch790BChip,
     .Ids = kFch790BIds,
     .IdCount = CountOf(kFch790BIds)},
    {.VendorId = kVendorHygon,
     .Chip = &kFch790BChip,
     .Ids = kFch790BIds,
     .IdCount = CountOf(kFch790BIds)},
};

}  // namespace

constexpr ChipDescriptor kAti4385Chip = DrivenBy(0, PiixCompatible(0, kQuirkAti4385));

constexpr SmbusBackend kPiix4CompatBackend = MakeBackend({
    .Name = "piix4_compat",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = 0,
});

}  // namespace piix4_compat
