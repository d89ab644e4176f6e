// A board of a table's row on a machine of its own, attached while the row
// runs, with the controller discovery made for it, released at the end; and
// a block read held against the module the board carries.
#pragma once

#include <algorithm>
#include <vector>

#include "discovery/chipset.h"
#include "sim/board.h"
#include "sim/models/spd_eeprom.h"
#include "support/sim_test.h"

namespace testsupport {

// `count` bytes of segment 0 slot `slot` from `offset` read as the module holds them.
inline void ExpectModuleReads(SmbusController* controller, const sim::BoardModels& models,
                              uint8_t slot, uint8_t offset, uint32_t count) {
  std::vector<uint8_t> data(count);
  OpStatus status;
  InitOpStatus(&status);
  EXPECT_EQ(ReadSpdBlock(controller, &status, slot, data.data(), offset, count), count);
  EXPECT_EQ(status.HwCode, 0u);
  const auto& image = models.eeproms[0][slot]->Bytes();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), image.begin() + offset)) << int(slot);
}

struct BootedBoard {
  explicit BootedBoard(const sim::Board& board) : attach(machine) {
    models = sim::Build(board, machine);
    ChipsetInfoRecord info{};
    uint32_t count = 0;
    OpStatus status;
    InitOpStatus(&status);
    controller = DiscoverChipset(&status, &info, table, &count);
  }
  explicit BootedBoard(const char* name) : BootedBoard(*sim::FindBoard(name)) {}
  ~BootedBoard() {
    if (controller != nullptr) ReleaseController(controller);
  }
  void ExpectReads(uint8_t slot, uint8_t offset, uint32_t count) {
    ExpectModuleReads(controller, models, slot, offset, count);
  }

  sim::Machine machine;
  sim::AttachScope attach;
  sim::BoardModels models;
  SmbusController* controller = nullptr;
  PciDeviceRecord table[kPciDeviceTableCapacity]{};
};

}  // namespace testsupport
