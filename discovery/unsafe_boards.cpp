#include "discovery/unsafe_boards.h"

#include "smbios/board_identity.h"
#include "smbus/piix4_compat.h"

namespace {

struct UnsafeBoardRow {
  BackendId Backend;
  int32_t Model;
  const char* Maker;
  const char* Product;
  bool SecondHostOnly;
};

// Two AM2 790FX boards on the SB600: firmware on them breaks when the host
// is used from outside. An nForce4 board whose second SMBus is not to be
// touched.
constexpr UnsafeBoardRow kUnsafeBoards[] = {
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "Sapphire", "PC-AM2RD790", false},
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "DFI", "LP UT 790FX", false},
    {BackendId::NvidiaMcp, 0, "DFI", "LP UT NF4 Expert", true},
};

bool Unsafe(const ChipDescriptor& chip, bool secondHost) {
  for (const UnsafeBoardRow& row : kUnsafeBoards) {
    if (row.Backend != chip.Backend || row.Model != chip.Model) continue;
    if (row.SecondHostOnly != secondHost || !SmbiosBoardIs(row.Maker, row.Product)) continue;
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: accessing the %sSMBus on the %s %s is unsafe: not used\n",
                     secondHost ? "second " : "", row.Maker, row.Product);
    }
    return true;
  }
  return false;
}

}  // namespace

bool UnsafeBoard(const ChipDescriptor& chip) { return Unsafe(chip, false); }

bool UnsafeSecondHost(const ChipDescriptor& chip) { return Unsafe(chip, true); }
