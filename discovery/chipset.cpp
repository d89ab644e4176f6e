#include "discovery/chipset.h"

#include "discovery/backends.h"
#include "discovery/unsafe_boards.h"
#include "hw/hw.h"
#include "smbus/ali.h"
#include "smbus/i2c_bus.h"
#include "smbus/pci_vendors.h"
#include "smbus/sis.h"
#include "smbus/sis_ids.h"

ChipsetInfoRecord ChipsetInfo;

namespace {

// ---------------------------------------------------------------- direct candidates

// A row's ID that a present function matches, with its family and chip.
struct DirectMatch {
  const SmbusBackend* Family;
  const ChipDescriptor* Chip;  // null: the chip is only announced
  const ChipId* Id;
};

bool Matches(const ChipId& id, const PciFunctionInfo& f) {
  return id.DeviceId == f.DeviceId &&
         (id.RevisionId == kAnyRevision || id.RevisionId == f.RevisionId);
}

// The first ID of the first family in the list's order that `f` matches.
bool FindDirectRow(const PciFunctionInfo& f, DirectMatch* match) {
  for (size_t b = 0; b < kDiscoveryBackendCount; ++b) {
    const SmbusBackend* family = DiscoveryBackends[b];
    if (family == nullptr) continue;
    for (size_t g = 0; g < family->GroupCount; ++g) {
      const ChipGroup& group = family->Groups[g];
      if (group.VendorId != f.VendorId) continue;
      for (size_t i = 0; i < group.IdCount; ++i) {
        if (!Matches(group.Ids[i], f)) continue;
        *match = {family, group.Chip, &group.Ids[i]};
        return true;
      }
    }
  }
  return false;
}

// The list's entry for `family` (a test may have put a copy there); null
// when this build does not list it.
const SmbusBackend* Listed(const SmbusBackend& family) {
  for (size_t b = 0; b < kDiscoveryBackendCount; ++b) {
    if (DiscoveryBackends[b] != nullptr && DiscoveryBackends[b]->Name == family.Name) {
      return DiscoveryBackends[b];
    }
  }
  return nullptr;
}

// The chip's family set up; a family missing from this build fails like
// one that could not set itself up. Every family judges the base itself
// (0, or a block past port 0xFFFF: not acquired, no port touched).
int32_t Acquire(const SmbusBackend* family, const ChipFound& found, SmbusController* controller) {
  return family != nullptr ? family->Acquire(controller, found) : -1;
}

bool HostEnabled(const ChipDescriptor& chip, const PciFunctionInfo& f) {
  return chip.EnableBits == 0 ||
         HostConfigEnabled(f.Location, chip.EnableRegister, chip.EnableBits);
}

// The row's base read and its family set up; -1 when not installed.
int32_t AcquireRow(const DirectMatch& match, const PciFunctionInfo& f,
                   SmbusController* controller) {
  const ChipDescriptor& chip = *match.Chip;
  if (!HostEnabled(chip, f) || UnsafeBoard(*match.Family, chip)) return -1;
  uint32_t base = 0;
  if (chip.BaseRegister != 0) {
    base = (PciReadConfigDword(f.Location, chip.BaseRegister) & chip.BaseMask) - chip.BaseSubtract;
  }
  const ChipFound found = {.Chip = &chip,
                           .Function = f.Location,
                           .IoBase = base,
                           .SecondHostUnsafe = UnsafeSecondHost(*match.Family, chip)};
  return Acquire(match.Family, found, controller);
}

void PrintRowMessage(const ChipId& id, const PciFunctionInfo& f) {
  if (id.Message == nullptr) return;
  switch (id.Args) {
    case MessageArgs::None: DebugPrintHook(id.Message); break;
    case MessageArgs::Revision: DebugPrintHook(id.Message, f.RevisionId); break;
    case MessageArgs::DeviceRevision: DebugPrintHook(id.Message, f.DeviceId, f.RevisionId); break;
  }
}

uint16_t ReadConfigWord(PciLocation location, uint8_t offset) {
  return static_cast<uint16_t>(PciReadConfigField(location, offset) & 0xFFFFu);
}

// Noted as SiS and ALi functions are, with no traits: no host installed yet.
void Record(ChipsetInfoRecord* info, const PciFunctionInfo& f) {
  info->Bus = f.Location.Bus;
  info->Device = f.Location.Device;
  info->Function = f.Location.Function;
  info->VendorId = f.VendorId;
  info->DeviceId = f.DeviceId;
  info->ChipTraits = 0;
}

// ---------------------------------------------------------------- gathered candidates

// SiS: what each device ID adds to the picture of the chipset.
constexpr uint8_t kSisRecord = 1u << 0;     // record the function in ChipsetInfo
constexpr uint8_t kSisOtherHost = 1u << 1;  // a host bridge that rules out the 5595 path
constexpr uint8_t kSis96x = 1u << 2;        // a 96x part: classification 2
constexpr uint8_t kSisBaseWords = 1u << 3;  // carries the ACPI base words
constexpr uint8_t kSisPowerMgmt = 1u << 4;  // the 5595 power-management function

struct SisRow {
  uint16_t DeviceId;
  uint8_t Effects;
};

constexpr SisRow kSisRows[] = {
    {sis::ids::kSis540, kSisRecord | kSisOtherHost},
    {sis::ids::kSis550, kSisRecord | kSisOtherHost},
    {sis::ids::kSis630, kSisRecord | kSisOtherHost},
    {sis::ids::kSis5511, kSisRecord | kSisOtherHost},
    {sis::ids::kSis5597, kSisRecord | kSisOtherHost},
    {sis::ids::kSis5598, kSisRecord | kSisOtherHost},
    // Host bridges of chipsets whose 0x0008 function is no 5595.
    {sis::ids::kSis646, kSisRecord | kSisOtherHost},
    {sis::ids::kSis648, kSisRecord | kSisOtherHost},
    {sis::ids::kSis650, kSisRecord | kSisOtherHost},
    {sis::ids::kSis651, kSisRecord | kSisOtherHost},
    {sis::ids::kSis730, kSisRecord | kSisOtherHost},
    {sis::ids::kSis746, kSisRecord | kSisOtherHost},
    {sis::ids::kSis645, kSisRecord | kSis96x},
    {sis::ids::kSis745, kSisRecord | kSis96x},
    {sis::ids::kSis735, kSisRecord | kSis96x | kSisBaseWords},
    {sis::ids::kSis961, kSisRecord | kSis96x | kSisBaseWords},
    {sis::ids::kSis962, kSisRecord | kSis96x | kSisBaseWords},
    {sis::ids::kSis963, kSisRecord | kSis96x | kSisBaseWords},
    // The SiS 5595's ACPI function (and on the 96x boards the function whose
    // words hold the ACPI bases) and its power-management function.
    {sis::ids::kSisSouthBridge, kSisBaseWords},
    {sis::ids::kSis5595PowerManagement, kSisPowerMgmt},
};

constexpr uint8_t kSis5595BaseWord = 0x90;
constexpr uint8_t kSis96xBaseWord = 0x74;

// The SiS back-ends take their base alone.
constexpr PciLocation kNoFunction = {0, 0, 0};

enum SisClass : uint32_t { kSisClass5595 = 1, kSisClass96x = 2, kSisClassUndetermined = 3 };

// ALi: the M1533 south bridge and the M7101 power-management function
// (ali::ids), the M7101's base registers.
constexpr uint8_t kAliBaseAWord = 0xE2;   // used with M1533 revision 0
constexpr uint8_t kAliBaseBDword = 0x14;  // used with later revisions
constexpr uint32_t kAliBaseMask = 0xFFE0;
constexpr uint32_t kAliDefaultBaseB = 0x0000E801;  // written when base B is empty
constexpr uint32_t kAliDefaultBase = 0xE800;
constexpr uint16_t kAliBlockPorts = 0x20;
// The older bridges' M7101: its base registers read 0 while bits 1-2 of
// byte 0x5B (the lock) are set.
constexpr uint8_t kAliLockDword = 0x58;
constexpr uint32_t kAliLockBits = 0x06u << 24;
// The M1535's M7101: SMBus I/O enable (byte 0xD1 bit 2, in dword 0xD0) and
// host enable (byte 0xF0 bit 0).
constexpr uint8_t kAliM1535IoEnableDword = 0xD0;
constexpr uint32_t kAliM1535IoEnable = 0x04u << 8;
constexpr uint8_t kAliM1535HostEnableDword = 0xF0;
constexpr uint32_t kAliM1535HostEnable = 0x01;
// Below this the ports are the legacy board devices' (interrupt and DMA
// controllers, timer, keyboard), where firmware places no PCI function's block.
constexpr uint32_t kAliLowestBase = 0x100;

struct Discovery {
  ChipsetInfoRecord* info;
  SmbusController* controller;
  bool directMatchHandled;
  bool directMatchFailed;

  bool sisSeen;
  uint32_t sisClass;
  uint32_t sisOtherHosts;
  uint32_t sis96x;
  uint32_t sisPowerMgmt;
  uint16_t sis5595Base;
  uint16_t sis96xBase;

  bool m1533Seen;
  uint8_t m1533Revision;
  bool m7101Seen;
  PciLocation m7101;
  uint32_t aliBaseA;
  uint32_t aliBaseB;
};

void GatherSis(Discovery* run, const PciFunctionInfo& f) {
  run->sisSeen = true;
  for (const SisRow& row : kSisRows) {
    if (row.DeviceId != f.DeviceId) continue;
    if (row.Effects & kSisRecord) Record(run->info, f);
    if (row.Effects & kSisOtherHost) ++run->sisOtherHosts;
    if (row.Effects & kSis96x) {
      ++run->sis96x;
      run->sisClass = kSisClass96x;
    }
    if (row.Effects & kSisBaseWords) {
      run->sis5595Base = ReadConfigWord(f.Location, kSis5595BaseWord);
      if (run->sis96xBase == 0) run->sis96xBase = ReadConfigWord(f.Location, kSis96xBaseWord);
    }
    if (row.Effects & kSisPowerMgmt) {
      ++run->sisPowerMgmt;
      if (run->sisClass == kSisClassUndetermined) run->sisClass = kSisClass5595;
    }
    return;
  }
}

void GatherAli(Discovery* run, const PciFunctionInfo& f) {
  if (f.DeviceId == ali::ids::kM1533) {
    run->m1533Seen = true;
    run->m1533Revision = f.RevisionId;
    Record(run->info, f);
  } else if (f.DeviceId == ali::ids::kM7101) {
    run->m7101Seen = true;
    run->m7101 = f.Location;
    run->aliBaseA = ReadConfigWord(f.Location, kAliBaseAWord) & kAliBaseMask;
    run->aliBaseB = PciReadConfigDword(f.Location, kAliBaseBDword) & kAliBaseMask;
    Record(run->info, f);
  }
}

void Recognize(void* context, const PciFunctionInfo& f) {
  auto* run = static_cast<Discovery*>(context);
  if (run->directMatchHandled) return;

  DirectMatch match{};
  if (FindDirectRow(f, &match)) {
    PrintRowMessage(*match.Id, f);
    if (match.Chip == nullptr) return;
    run->directMatchHandled = true;
    if (AcquireRow(match, f, run->controller) == 0) {
      Record(run->info, f);
      run->info->ChipTraits = run->controller->Traits;
    } else {
      run->directMatchFailed = true;
    }
    return;
  }
  if (f.VendorId == kVendorSis) GatherSis(run, f);
  if (f.VendorId == kVendorAli) GatherAli(run, f);
}

// After the walk: the 5595 attempt, else the 96x attempt. True when installed.
bool DecideSis(Discovery* run) {
  switch (run->sisClass) {
    case kSisClass5595: DebugPrintHook("smbcore: Detected a SIS 5595\n"); break;
    case kSisClass96x: DebugPrintHook("smbcore: Detected a SIS 96X\n"); break;
    default:
      DebugPrintHook("smbcore: Detected a possibly indeterminant SIS host device(%x).\n",
                     run->sisClass);
      break;
  }
  if (run->sisOtherHosts == 0 && run->sis96x == 0 && run->sisPowerMgmt != 0) {
    if (run->sis5595Base == 0) {
      DebugPrintHook("smbcore: SIS 5595 found with NO ACPI base.\n");
    } else {
      DebugPrintHook("smbcore: SIS 5595 detected at %04X!!!\n", run->sis5595Base);
      const ChipFound found = {
          .Chip = &sis::kSis5595Chip, .Function = kNoFunction, .IoBase = run->sis5595Base};
      if (Acquire(Listed(sis::kSisBackend), found, run->controller) == 0) return true;
    }
  }
  if (run->sisClass == kSisClass96x) {
    if (run->sis96xBase == 0) {
      DebugPrintHook("smbcore: SIS 96x found with NO ACPI base.\n");
    } else {
      DebugPrintHook("smbcore: SIS 96x detected at %04X!!!\n", run->sis96xBase);
      const ChipFound found = {
          .Chip = &kSis96xChip, .Function = kNoFunction, .IoBase = run->sis96xBase};
      if (Acquire(Listed(kI2cBackend), found, run->controller) == 0) return true;
    }
  }
  return false;
}

// Bridge revision 0: the base in word 0xE2, where the M1535 keeps its
// M7101's. On the older M1533/M1543C that word is the SMBus clock register
// (0x20: 74 kHz), which masked points into the legacy ports (0x0020 is the
// interrupt controller's), so the word is a base only while the M1535's
// SMBus enables are set and it lies above those ports. Nothing is written.
uint32_t AliBaseA(const Discovery* run) {
  if (run->aliBaseA == 0) {
    DebugPrintHook("ali 1535 found with empty SMBus base\n");
    return 0;
  }
  const bool enabled =
      (PciReadConfigDword(run->m7101, kAliM1535IoEnableDword) & kAliM1535IoEnable) != 0 &&
      (PciReadConfigDword(run->m7101, kAliM1535HostEnableDword) & kAliM1535HostEnable) != 0;
  if (!enabled || run->aliBaseA < kAliLowestBase) {
    DebugPrintHook(
        "smbcore: ALi M7101 word 0xE2 (%04X) is not an SMBus base "
        "(0xD1 bit 2 and 0xF0 bit 0 must be set, the base at 0x100 or above)\n",
        run->aliBaseA);
    return 0;
  }
  return run->aliBaseA;
}

// True when nothing answers at any port of the block (every read all ones).
bool PortsFree(uint32_t first, uint16_t count) {
  for (uint16_t i = 0; i < count; ++i) {
    if (PortReadByte(static_cast<uint16_t>(first + i)) != 0xFF) return false;
  }
  return true;
}

// Later revisions: the base in dword 0x14. One that reads 0 may be locked:
// the lock bits are cleared and the base read again. Still 0, the M7101 is
// given 0xE800 (where firmware usually puts it), only if nothing answers
// there already and the register takes it; otherwise it is put back and no
// controller is set up.
uint32_t AliBaseB(const Discovery* run) {
  if (run->aliBaseB != 0) return run->aliBaseB;
  const uint32_t lock = PciReadConfigDword(run->m7101, kAliLockDword);
  if ((lock & kAliLockBits) != 0) {
    PciWriteConfigDword(run->m7101, lock & ~kAliLockBits, kAliLockDword);
    DebugPrintHook("smbcore: ALi M7101 base registers locked (0x5B = %02X): lock cleared\n",
                   lock >> 24);
    const uint32_t base = PciReadConfigDword(run->m7101, kAliBaseBDword) & kAliBaseMask;
    if (base != 0) return base;
  }
  if (!PortsFree(kAliDefaultBase, kAliBlockPorts)) {
    DebugPrintHook(
        "smbcore: ALi M7101 has no SMBus base and ports %04X-%04X answer: "
        "no controller\n",
        kAliDefaultBase, kAliDefaultBase + kAliBlockPorts - 1);
    return 0;
  }
  const uint32_t old = PciReadConfigDword(run->m7101, kAliBaseBDword);
  PciWriteConfigDword(run->m7101, kAliDefaultBaseB, kAliBaseBDword);
  const uint32_t readBack = PciReadConfigDword(run->m7101, kAliBaseBDword);
  if ((readBack & kAliBaseMask) != kAliDefaultBase) {
    PciWriteConfigDword(run->m7101, old, kAliBaseBDword);
    DebugPrintHook(
        "smbcore: ALi M7101 did not take SMBus base %04X (dword 0x14 reads %08X): "
        "no controller\n",
        kAliDefaultBase, readBack);
    return 0;
  }
  return kAliDefaultBase;
}

// After the SiS decision, when both ALi functions were seen. True when installed.
bool DecideAli(Discovery* run) {
  if (!run->m1533Seen || !run->m7101Seen) return false;
  const bool m1535 = run->m1533Revision == 0;
  const uint32_t base = m1535 ? AliBaseA(run) : AliBaseB(run);
  if (base == 0) return false;
  const ChipFound found = {.Chip = m1535 ? &ali::kAliM1535Chip : &ali::kAliM15x3Chip,
                           .Function = run->m7101,
                           .IoBase = base};
  if (Acquire(Listed(ali::kAliBackend), found, run->controller) != 0) return false;
  // The record holds the last ALi function the walk noted.
  run->info->ChipTraits = run->controller->Traits;
  return true;
}

// Last, the families that decide from the functions found as a whole, in
// the list's order. True when one installed.
bool DecideFamilies(Discovery* run, const PciDeviceRecord* table, uint32_t count) {
  const uint32_t recorded = count < kPciDeviceTableCapacity ? count : kPciDeviceTableCapacity;
  for (size_t b = 0; b < kDiscoveryBackendCount; ++b) {
    const SmbusBackend* family = DiscoveryBackends[b];
    if (family == nullptr || family->DecideAfterWalk == nullptr) continue;
    ChipFound found{};
    const PciDeviceRecord* chosen = nullptr;
    if (!family->DecideAfterWalk(table, recorded, &found, &chosen)) continue;
    if (Acquire(family, found, run->controller) != 0) continue;
    run->info->Bus = chosen->Bus;
    run->info->Device = chosen->Device;
    run->info->Function = chosen->Function;
    run->info->VendorId = chosen->VendorId;
    run->info->DeviceId = chosen->DeviceId;
    run->info->ChipTraits = run->controller->Traits;
    return true;
  }
  return false;
}

}  // namespace

SmbusController* DiscoverChipset(OpStatus* status, ChipsetInfoRecord* info, PciDeviceRecord* table,
                                 uint32_t* count) {
  SetDebugPrintHook();
  if (info == nullptr) {
    SetOpFailure(status, OpError::NoChipsetInfo);
    return nullptr;
  }
  info->Bus = info->Device = info->Function = info->VendorId = info->DeviceId = 0;
  info->ChipTraits = 0;

  auto* controller = static_cast<SmbusController*>(PoolAlloc(sizeof(SmbusController)));
  if (controller == nullptr) {
    SetOpFailure(status, OpError::ControllerAlloc, 1, sizeof(SmbusController));
    return nullptr;
  }
  *controller = SmbusController{};

  Discovery run{};
  run.info = info;
  run.controller = controller;
  run.sisClass = kSisClassUndetermined;
  WalkPciBuses(table, count, &Recognize, &run);

  if (run.directMatchHandled) {
    if (run.directMatchFailed) controller->Unavailable = 1;
    return controller;
  }
  if (run.sisSeen && DecideSis(&run)) return controller;
  if (DecideAli(&run)) return controller;
  if (DecideFamilies(&run, table, *count)) return controller;
  controller->Unavailable = 1;
  return controller;
}
