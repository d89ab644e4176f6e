// A test that loads the driver through the host I/O manager on a simulated
// board. At the end the driver is unloaded (if still loaded), every request
// the test sent must have passed the I/O manager's watch, no worker thread
// may be left, and the pool must be empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/device_extension.h"
#include "driver/driver_entry.h"
#include "driver/ioctl.h"
#include "platform/host/host_kernel.h"
#include "platform/host/io_manager.h"
#include "support/bytes.h"
#include "support/sim_test.h"

namespace testsupport {

class DriverTest : public SimTest {
 protected:
  void TearDown() override {
    if (io_.Loaded()) io_.Unload();
    EXPECT_EQ(io_.Verify(), "");
    EXPECT_EQ(host::LiveThreadObjects(), 0u) << "a worker thread was left behind";
    EXPECT_EQ(io_.DeviceCount(), 0u);
    host::ClearFaults();
    SimTest::TearDown();
  }

  // Loads the driver on the board and opens the device through its link.
  void LoadOn(const std::string& board) {
    const sim::Board* profile = sim::FindBoard(board);
    ASSERT_NE(profile, nullptr) << board;
    models_ = sim::Build(*profile, machine_);
    ASSERT_EQ(io_.Load(&DriverEntry), STATUS_SUCCESS);
    const host::IoManager::OpenResult opened = io_.Open(kLinkName);
    ASSERT_EQ(opened.Status, STATUS_SUCCESS);
    device_ = opened.Device;
  }

  host::RequestResult Send(uint32_t code, const std::vector<uint8_t>& input,
                           uint32_t outputLength) {
    return io_.Send(device_, code, input, outputLength);
  }

  DeviceExtension* Extension() { return static_cast<DeviceExtension*>(device_->DeviceExtension); }

  host::IoManager io_;
  sim::BoardModels models_;
  KernelDevice* device_ = nullptr;
};

}  // namespace testsupport
