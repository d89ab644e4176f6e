// A test that runs a driver image in the loader's kernel over a simulated
// machine. At the end the driver is unloaded (if it loaded), and nothing may
// be left: no device, link, thread or handle in the kernel, no pool or
// mapping in the machine, and no fault the kernel recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loader/kernel.h"
#include "support/bytes.h"
#include "loader/loaded_driver.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace testsupport {

inline std::string TestImage(const std::string& name) {
  return std::string(DIMMIO_TEST_IMAGE_DIR) + "/" + name;
}

class ImageTest : public ::testing::Test {
 protected:
  ImageTest() : kernel_(machine_) {}

  void TearDown() override {
    if (driver_ != nullptr && started_) {
      EXPECT_TRUE(driver_->Unload()) << "the driver installed no unload routine";
    }
    if (driver_ != nullptr) {
      const std::vector<std::string> left = kernel_.LeftBehind(driver_->Driver());
      EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
    }
    EXPECT_EQ(kernel_.Faults(), std::vector<std::string>{});
    EXPECT_EQ(machine_.LeakReport(), "") << "pool or mappings left behind";
  }

  void UseBoard(const std::string& name) {
    const sim::Board* board = sim::FindBoard(name);
    ASSERT_NE(board, nullptr) << name;
    sim::Build(*board, machine_);
  }

  // Loads the image (failing the test with the loader's message when it
  // cannot) and returns the status of its entry point.
  int32_t Start(const std::string& image) {
    std::string error;
    driver_ = loader::LoadedDriver::Load(kernel_, image, &error);
    EXPECT_NE(driver_, nullptr) << error;
    if (driver_ == nullptr) return -1;
    const int32_t status = driver_->Start();
    started_ = status >= 0;
    return status;
  }

  // A device-control request through `link`, waited for.
  loader::Completion Call(const std::u16string& link, uint32_t code,
                          const std::vector<uint8_t>& input, uint32_t outputLength) {
    auto request = kernel_.DeviceControl(link, code, input, outputLength);
    EXPECT_NE(request, nullptr) << "nothing answers to the link";
    return request != nullptr ? request->Wait() : loader::Completion{};
  }

  // Unloads now (the teardown then only checks what is left).
  void UnloadNow() {
    ASSERT_TRUE(started_);
    started_ = false;
    EXPECT_TRUE(driver_->Unload());
  }

  sim::Machine machine_;
  // The image goes after the kernel has joined every thread that ran it.
  std::unique_ptr<loader::LoadedDriver> driver_;
  loader::Kernel kernel_;
  bool started_ = false;
};

}  // namespace testsupport
