#include "discovery/unsafe_boards.h"

#include "smbios/board_identity.h"
#include "smbus/piix4_compat.h"

namespace {

struct UnsafeBoardRow {
  BackendId Backend;
  int32_t Model;
  const char* Maker;
  const char* Product;
};

// Two AM2 790FX boards on the SB600: firmware on them breaks when the host
// is used from outside.
constexpr UnsafeBoardRow kUnsafeBoards[] = {
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "Sapphire", "PC-AM2RD790"},
    {BackendId::Piix4Compat, piix4_compat::kChipAti4385, "DFI", "LP UT 790FX"},
};

}  // namespace

bool UnsafeBoard(const ChipDescriptor& chip) {
  for (const UnsafeBoardRow& row : kUnsafeBoards) {
    if (row.Backend != chip.Backend || row.Model != chip.Model) continue;
    if (!SmbiosBoardIs(row.Maker, row.Product)) continue;
    DebugPrintHook("smbcore: accessing the SMBus on the %s %s is unsafe: not used\n", row.Maker,
                   row.Product);
    return true;
  }
  return false;
}
