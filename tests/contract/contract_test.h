// The fixture of the contract tests: one simulated machine, the build's
// driver under test on it. At the end the driver is unloaded (if it
// started), and nothing may be wrong: no request that broke a rule, nothing
// left in the platform, no pool or mapping left in the machine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "driver/ioctl.h"
#include "driver/status.h"
#include "sim/board.h"
#include "sim/machine.h"
#include "sim/models/two_wire_bus.h"
#include "support/bytes.h"
#include "support/driver_under_test.h"

namespace contract {

// Where a status record keeps its fields, and the codes the contract names.
constexpr uint32_t kOpHeader = 0;
constexpr uint32_t kOpCode = 4;
constexpr uint32_t kOpDetailCount = 8;
constexpr uint32_t kOpHwCode = 36;
constexpr uint32_t kOpHwDetailCount = 40;
constexpr uint32_t kOpHwDetail = 44;
constexpr uint32_t kSpdBlockRead = 14;
constexpr uint32_t kUnavailable = 21;
constexpr uint32_t kReadWordFailed = 18;  // hardware half

using testsupport::WordAt;
using testsupport::Words;

// A test name from a board name (and more): letters and digits, the rest '_'.
inline std::string TestName(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

inline std::string BoardTestName(const ::testing::TestParamInfo<std::string>& info) {
  return TestName(info.param);
}

// A whole read of `count` bytes from offset 0: no failure, and each byte the
// one the module (or its page) holds.
inline bool ReadsWhole(const Reply& r, const std::array<uint8_t, 256>& bytes,
                       uint32_t count = 256) {
  return r.information == 76 + count && WordAt(r.output, kOpCode) == 0 &&
         std::equal(r.output.begin() + 76, r.output.begin() + 76 + count, bytes.begin());
}

// A read the hardware half failed: nothing read, the block-read code over
// `hwCode`, and `detail` (what the host showed) the first hardware detail.
inline ::testing::AssertionResult FailsRead(const Reply& r, uint32_t hwCode, uint32_t detail) {
  const std::vector<uint32_t> got = {r.information, WordAt(r.output, kOpCode),
                                     WordAt(r.output, kOpHwCode), WordAt(r.output, kOpHwDetail)};
  const std::vector<uint32_t> want = {76, kSpdBlockRead, hwCode, detail};
  if (got == want) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "information, code, hardware code and detail " << ::testing::PrintToString(got)
         << ", not " << ::testing::PrintToString(want);
}

// The ATI/AMD PM registers and, last, their index; nothing without them.
inline std::vector<uint8_t> PmState(const sim::AmdPmRegisters* pm) {
  std::vector<uint8_t> state;
  for (int r = 0; pm != nullptr && r < 256; ++r) state.push_back(pm->Reg(static_cast<uint8_t>(r)));
  if (pm != nullptr) state.push_back(pm->Index());
  return state;
}

inline std::vector<std::string> BoardNames() {
  std::vector<std::string> names;
  for (const sim::Board& board : sim::Boards()) names.push_back(board.name);
  return names;
}

// A machine of its own with the board built and a driver not yet started,
// for the cases that load more than once; Done() unloads what Start() loaded
// and holds that nothing went wrong and, once the driver is gone, that the
// pool holds nothing.
struct Rig {
  explicit Rig(const sim::Board& board) : models(sim::Build(board, machine)) {}
  explicit Rig(const std::string& board) : Rig(*sim::FindBoard(board)) {}
  bool Start() { return started = driver->Start() == STATUS_SUCCESS; }
  Reply Send(uint32_t code, const std::vector<uint8_t>& input, uint32_t outputLength,
             uint8_t fill = DriverUnderTest::kDefaultFill) {
    return driver->Wait(driver->Submit(code, input, outputLength, fill));
  }
  void Done(const std::string& what = "") {
    if (started) {
      EXPECT_TRUE(driver->Unload()) << what;
    }
    EXPECT_EQ(driver->Problems(), std::vector<std::string>{}) << what;
    driver.reset();
    EXPECT_EQ(machine.LeakReport(), "") << what;
  }
  sim::Machine machine;
  sim::AttachScope attach{machine};
  sim::BoardModels models;
  bool started = false;
  std::unique_ptr<DriverUnderTest> driver = MakeDriverUnderTest(machine);
};

class ContractTest : public ::testing::Test {
 protected:
  ContractTest() : attach_(machine_), driver_(MakeDriverUnderTest(machine_)) {}

  void TearDown() override {
    if (started_) {
      EXPECT_TRUE(driver_->Unload()) << "no unload routine";
    }
    started_ = false;
    EXPECT_EQ(driver_->Problems(), std::vector<std::string>{}) << driver_->Name();
    EXPECT_EQ(machine_.LeakReport(), "") << driver_->Name();
    if (models_.wires != nullptr) {
      EXPECT_EQ(models_.wires->Contentions(), 0u) << "a pin drove a line high against a module";
    }
  }

  void UseBoard(const std::string& name) {
    board_ = sim::FindBoard(name);
    ASSERT_NE(board_, nullptr) << name;
    models_ = sim::Build(*board_, machine_);
  }

  // A board of its own (a profile with options changed), kept by the fixture.
  void LoadOn(const sim::Board& board) {
    ownBoard_ = board;
    board_ = &ownBoard_;
    models_ = sim::Build(ownBoard_, machine_);
    ASSERT_EQ(driver_->Start(), STATUS_SUCCESS) << driver_->Name();
    started_ = true;
  }

  void LoadOn(const std::string& board) {
    UseBoard(board);
    ASSERT_EQ(driver_->Start(), STATUS_SUCCESS) << driver_->Name();
    started_ = true;
  }

  void UnloadNow() {
    started_ = false;
    EXPECT_TRUE(driver_->Unload());
  }

  Reply Send(uint32_t code, const std::vector<uint8_t>& input, uint32_t outputLength) {
    return driver_->Wait(driver_->Submit(code, input, outputLength));
  }

  // A model changed as the driver's threads see it: under the machine's lock.
  template <typename Change>
  void Locked(Change change) {
    std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
    change();
  }

  // A handle of SYSTEM's of the device, for reading and writing.
  DriverUnderTest::Handle OpenHandle() {
    DriverUnderTest::Handle handle;
    EXPECT_EQ(driver_->Open(u"\\??\\dimmio", host::Caller::System,
                            host::kGenericRead | host::kGenericWrite, &handle),
              0);
    return handle;
  }

  sim::Machine machine_;
  sim::AttachScope attach_;
  const sim::Board* board_ = nullptr;
  sim::Board ownBoard_;
  sim::BoardModels models_;
  bool started_ = false;
  // Last: it goes first, with every thread that runs the driver.
  std::unique_ptr<DriverUnderTest> driver_;
};

}  // namespace contract
