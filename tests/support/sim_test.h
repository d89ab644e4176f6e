// A test that runs the core against a simulated machine: the machine is
// attached for the test's lifetime, and at the end the pool must hold nothing
// the test left behind and every physical mapping must be closed.
#pragma once

#include <gtest/gtest.h>

#include "sim/board.h"
#include "sim/machine.h"

namespace testsupport {

class SimTest : public ::testing::Test {
 protected:
  SimTest() : attach_(machine_) {}

  void TearDown() override {
    EXPECT_EQ(machine_.LeakReport(), "") << "pool or mappings left behind";
  }

  void UseBoard(const std::string& name) {
    const sim::Board* board = sim::FindBoard(name);
    ASSERT_NE(board, nullptr) << name;
    sim::Build(*board, machine_);
  }

  sim::Machine machine_;

 private:
  sim::AttachScope attach_;
};

}  // namespace testsupport
