#include "discovery/unsafe_boards.h"

#include "smbios/board_identity.h"
#include "smbus/intel.h"
#include "smbus/intel_rows.h"
#include "smbus/nvidia_mcp.h"
#include "smbus/piix4_compat.h"

namespace {

struct UnsafeBoardRow {
  const SmbusBackend* Family;
  const ChipDescriptor* Chip;  // null: every chip of the family
  const char* Maker;           // the baseboard's maker, or with no product the system's
  const char* Product;         // the baseboard's product; null: a system maker row
  bool SecondHostOnly;
};

// Each text is matched anywhere in its SMBIOS field, as the boards' own
// tables write it. Two AM2 790FX boards on the SB600, whose firmware breaks
// when the host is used from outside; an nForce4 board whose second SMBus is
// not to be touched; the IBM systems with a PIIX4-class host, which keep a
// configuration EEPROM on the SMBus that a stray write corrupts.
constexpr UnsafeBoardRow kUnsafeBoards[] = {
    {.Family = &piix4_compat::kPiix4CompatBackend,
     .Chip = &piix4_compat::kAti4385Chip,
     .Maker = "SAPPHIRE Inc.",
     .Product = "PC-AM2RD790",
     .SecondHostOnly = false},
    {.Family = &piix4_compat::kPiix4CompatBackend,
     .Chip = &piix4_compat::kAti4385Chip,
     .Maker = "DFI Inc.",
     .Product = "LP UT 790FX",
     .SecondHostOnly = false},
    {.Family = &nvidia_mcp::kNvidiaMcpBackend,
     .Chip = nullptr,
     .Maker = "DFI Corp,LTD",
     .Product = "LP UT NF4 Expert",
     .SecondHostOnly = true},
    {.Family = &intel::kIntelBackend,
     .Chip = &intel::kPiix4,
     .Maker = "IBM",
     .Product = nullptr,
     .SecondHostOnly = false},
    {.Family = &intel::kIntelBackend,
     .Chip = &intel::kPiix4Mx,
     .Maker = "IBM",
     .Product = nullptr,
     .SecondHostOnly = false},
};

bool Matches(const UnsafeBoardRow& row) {
  return row.Product != nullptr ? SmbiosBoardIs(row.Maker, row.Product)
                                : SmbiosSystemMakerHas(row.Maker);
}

void SayWhy(const UnsafeBoardRow& row, bool secondHost) {
  if (DebugPrintHook == nullptr) return;
  if (row.Product == nullptr) {
    DebugPrintHook(
        "smbcore: the SMBus of this %s system carries a serial EEPROM that a write "
        "corrupts: not used\n",
        row.Maker);
    return;
  }
  DebugPrintHook("smbcore: accessing the %sSMBus on the %s %s is unsafe: not used\n",
                 secondHost ? "second " : "", row.Maker, row.Product);
}

// A family is told by its name: a test's copy of an object is the family.
bool Unsafe(const SmbusBackend& family, const ChipDescriptor& chip, bool secondHost) {
  for (const UnsafeBoardRow& row : kUnsafeBoards) {
    if (row.Family->Name != family.Name || (row.Chip != nullptr && row.Chip != &chip)) continue;
    if (row.SecondHostOnly != secondHost || !Matches(row)) continue;
    SayWhy(row, secondHost);
    return true;
  }
  return false;
}

}  // namespace

bool UnsafeBoard(const SmbusBackend& family, const ChipDescriptor& chip) {
  return Unsafe(family, chip, false);
}

bool UnsafeSecondHost(const SmbusBackend& family, const ChipDescriptor& chip) {
  return Unsafe(family, chip, true);
}
