// A board with its SMBus hardware built and the controller discovery made for
// it, released at the end of the test.
#pragma once

#include <string>

#include "discovery/chipset.h"
#include "smbus/backend.h"
#include "sim/models/intel_smbus_host.h"
#include "smbus/smbus.h"
#include "support/sim_test.h"

namespace testsupport {

// A family's acquire alone, on what discovery would hand it: true when it
// set the controller up. A refusal leaves the controller without a transfer
// or a context, and not a port touched.
inline bool Acquires(const sim::Machine& machine, const SmbusBackend& family,
                     SmbusController& controller, const ChipFound& found, int32_t expected) {
  const uint64_t ports = machine.PortAccesses();
  const int32_t result = family.Acquire(&controller, found);
  EXPECT_EQ(result, expected);
  EXPECT_EQ(controller.Transfer != nullptr, result == 0);
  if (result == 0) return true;
  EXPECT_EQ(controller.Context, nullptr);
  EXPECT_EQ(machine.PortAccesses(), ports) << "no port touched";
  return false;
}

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

  // Where the board's host block is decoded (the VIA, ALi and SiS hosts).
  uint16_t DecodedHostBase() { return *machine_.DecodedBase(board_->smbus->decode); }

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
