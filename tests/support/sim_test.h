// A test that runs the core against a simulated machine: the machine is
// attached for the test's lifetime, and at the end the pool must hold nothing
// the test left behind and every physical mapping must be closed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "driver/op_status.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace testsupport {

class SimTest : public ::testing::Test {
 protected:
  SimTest() : attach_(machine_) {}

  void TearDown() override {
    EXPECT_EQ(machine_.LeakReport(), "") << "pool or mappings left behind";
  }

  // A status record as a request handler leaves it before the operation, its
  // detail words holding what the buffer held.
  static OpStatus Fresh() {
    OpStatus status;
    std::memset(&status, 0xEE, sizeof status);
    InitOpStatus(&status);
    return status;
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
