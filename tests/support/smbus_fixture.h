// A board with its SMBus hardware built and the controller discovery made for
// it, released at the end of the test.
#pragma once

#include <string>

#include "discovery/chipset.h"
#include "sim/models/intel_smbus_host.h"
#include "smbus/smbus.h"
#include "support/sim_test.h"

namespace testsupport {

class SmbusBoardTest : public SimTest {
 protected:
  void TearDown() override {
    if (controller_ != nullptr) ReleaseController(controller_);
    controller_ = nullptr;
    SimTest::TearDown();
  }

  // Builds the board and runs discovery on it.
  void Boot(const std::string& name) {
    const sim::Board* board = sim::FindBoard(name);
    ASSERT_NE(board, nullptr) << name;
    board_ = board;
    models_ = sim::Build(*board, machine_);
    OpStatus status = Fresh();
    controller_ = DiscoverChipset(&status, &info_, table_, &count_);
    ASSERT_NE(controller_, nullptr);
  }

  const std::array<uint8_t, 256>& Image(int segment, int slot) {
    return models_.eeproms[segment][slot]->Bytes();
  }

  const sim::Board* board_ = nullptr;
  sim::BoardModels models_;
  SmbusController* controller_ = nullptr;
  ChipsetInfoRecord info_{};
  PciDeviceRecord table_[kPciDeviceTableCapacity]{};
  uint32_t count_ = 0;
};

}  // namespace testsupport
