#include "discovery/unsafe_boards.h"

#include "smbios/board_identity.h"
#include "smbus/piix4_compat.h"

namespace {

struct UnsafeBoardRow {
  BackendId Backend;
  int32_t Model;
  const char* Maker;    // the baseboard's maker, or with no product the system's
  const char* Product;  // the baseboard's product; null: a system maker row
  bool SecondHostOnly;
};

// Each text is matched anywhere in its SMBIOS field, as the boards' own
// tables write it. Two AM2 790FX boards on the SB600, whose firmware breaks
// when the host is used from outside; an nForce4 board whose second SMBus is
// not to be touched; the IBM systems with a PIIX4-class host, which keep a
// configuration EEPROM on the SMBus that a stray write corrupts.
constexpr UnsafeBoardRow kUnsafeBoards[] = {
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "SAPPHIRE Inc.", "PC-AM2RD790", false},
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "DFI Inc.", "LP UT 790FX", false},
    {BackendId::NvidiaMcp, 0, "DFI Corp,LTD", "LP UT NF4 Expert", true},
    {BackendId::Intel, kModelIntelPiix4Class, "IBM", nullptr, false},
};

bool Matches(const UnsafeBoardRow& row) {
  return row.Product != nullptr ? SmbiosBoardIs(row.Maker, row.Product)
                                : SmbiosSystemMakerHas(row.Maker);
}

void SayWhy(const UnsafeBoardRow& row, bool secondHost) {
  if (DebugPrintHook == nullptr) return;
  if (row.Product == nullptr) {
    DebugPrintHook("smbcore: the SMBus of this %s system carries a serial EEPROM that a write "
                   "corrupts: not used\n",
                   row.Maker);
    return;
  }
  DebugPrintHook("smbcore: accessing the %sSMBus on the %s %s is unsafe: not used\n",
                 secondHost ? "second " : "", row.Maker, row.Product);
}

bool Unsafe(const ChipDescriptor& chip, bool secondHost) {
  for (const UnsafeBoardRow& row : kUnsafeBoards) {
    if (row.Backend != chip.Backend || row.Model != chip.Model) continue;
    if (row.SecondHostOnly != secondHost || !Matches(row)) continue;
    SayWhy(row, secondHost);
    return true;
  }
  return false;
}

}  // namespace

bool UnsafeBoard(const ChipDescriptor& chip) { return Unsafe(chip, false); }

bool UnsafeSecondHost(const ChipDescriptor& chip) { return Unsafe(chip, true); }
