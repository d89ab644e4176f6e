// The Zen FCH's power-management registers, reached in memory only and
// mapped for each use: a map that fails fails only what needed it; DDR4 page
// commands reach the modules on the SPDs' port alone.
#include <tuple>

#include "contract_test.h"

namespace contract {
namespace {

constexpr uint32_t kPmWindow = 0xFED80300;

// A map of the PM window that fails: at the load the controller is
// unavailable with a message; for a transfer's port select nothing is
// started and the read fails with the transfer's own code and the window as
// its detail; for the port's restore the port is put back after the next
// transfer. The port ends as firmware left it, and the next read is whole.
TEST(PmWindowMapTest, AFailedMapFailsOnlyWhatNeededIt) {
  struct Case {
    int nthMap;       // of the read's maps; 0: the one at the load
    uint32_t hwCode;  // of the read; 0: it is whole
  };
  for (const Case c : {Case{0, kUnavailable}, {1, kReadWordFailed}, {2, 0}}) {
    SCOPED_TRACE(c.nthMap);
    Rig rig("fch790b-zen2");
    auto [machine, models] = std::tie(rig.machine, rig.models);
    if (c.nthMap == 0) machine.FailMapAt(kPmWindow, 1);
    ASSERT_TRUE(rig.Start());
    const uint8_t port = models.Host<sim::Piix4CompatHost>()->SelectedPort();
    if (c.nthMap != 0) machine.FailMapping(c.nthMap);
    const Reply read = rig.Send(IOCTL_READ_SPD, {0, 0}, 76 + 256);
    const sim::SpdEeprom& eeprom = *models.eeproms[0][0];
    if (c.nthMap == 0) {
      EXPECT_EQ(WordAt(read.output, kOpCode), kUnavailable);
      const std::vector<std::string> lines = machine.DebugLines();
      EXPECT_NE(std::find(lines.begin(), lines.end(),
                          "smbcore: SMBus 790B rev 61: the PM window at FED80300 cannot be mapped"),
                lines.end());
    } else if (c.hwCode != 0) {
      EXPECT_TRUE(FailsRead(read, c.hwCode, kPmWindow));
      EXPECT_EQ(eeprom.Transfers(), 0u) << "nothing started";
    } else {
      EXPECT_TRUE(ReadsWhole(read, eeprom.Bytes()));
    }
    EXPECT_EQ(models.Host<sim::Piix4CompatHost>()->SelectedPort(), port);
    EXPECT_FALSE(models.Host<sim::Piix4CompatHost>()->HostOwnsSemaphore());
    if (c.nthMap != 0) {
      EXPECT_TRUE(ReadsWhole(rig.Send(IOCTL_READ_SPD, {0, 0}, 76 + 256), eeprom.Bytes()));
    }
    rig.Done();
  }
}

// DDR4 on the FCH: the page commands reach the modules on the SPDs' port
// only. A DDR4 EEPROM on the other port (where firmware left the select)
// keeps the page it was left on while both pages of a module are read.
TEST(FchPageTest, PageSelectsReachOnlyTheModulesOnTheSpdPort) {
  for (const uint8_t left : {0, 1}) {
    SCOPED_TRACE(int(left));
    sim::Board board = *sim::FindBoard("fch790b-zen2");
    sim::DimmSpec other = board.smbus->segment0.front().dimm;
    other.serial ^= 0xFFFF;
    board.smbus->piix4Compat.otherPortDevice = sim::BuildSpdContents(other);
    board.smbus->piix4Compat.otherPortPage = left;
    Rig rig(board);
    ASSERT_TRUE(rig.Start());
    const uint8_t slot = board.smbus->segment0.front().slot;
    for (const uint8_t page : {0, 1}) {
      EXPECT_TRUE(ReadsWhole(rig.Send(IOCTL_READ_SPD_PAGE, {slot, page, 0}, 76 + 256),
                             rig.models.eeproms[0][slot]->PageBytes(page)));
      EXPECT_EQ(rig.models.otherPort->Page(), left);
    }
    EXPECT_EQ(rig.models.otherPort->Transfers(), 0u);
    rig.Done();
  }
}

}  // namespace
}  // namespace contract
