// The loader and its kernel, exercised with a small driver image
// (images/probe_driver.cpp) for what dimmio.sys cannot show: formatted debug
// output, mappings, pool, timer resolution and a driver's own mistakes. Port
// and PCI configuration calls, the queue, unload and start-up failures of a
// whole driver on this kernel are the contract suite's, run here against
// dimmio.sys.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/status.h"
#include "images/probe_driver.h"
#include "loader/imports.h"
#include "loader/kernel.h"
#include "loader/loaded_driver.h"
#include "loader/pe_image.h"
#include "sim/machine.h"
#include "support/bytes.h"

namespace {

using testsupport::WordAt;
using testsupport::Words;

const std::u16string kLink = probe::kLinkName;

std::string TestImage(const std::string& name) {
  return std::string(DIMMIO_TEST_IMAGE_DIR) + "/" + name;
}

// ---------------------------------------------------------------- the image

TEST(PeImageTest, MapsAwayFromThePreferredBaseAndBindsEveryImport) {
  sim::Machine machine;
  loader::Kernel kernel(machine);
  std::string error;
  auto driver = loader::LoadedDriver::Load(kernel, TestImage("probe_driver.sys"), &error);
  ASSERT_NE(driver, nullptr) << error;
  const loader::PeImage& image = driver->Image();
  EXPECT_NE(reinterpret_cast<uintptr_t>(image.Base()), image.PreferredBase());
  EXPECT_GT(image.RelocationsApplied(), 0u);
  EXPECT_EQ(image.Subsystem(), 1) << "a native image";
  ASSERT_FALSE(image.Imports().empty());
  for (const loader::ImportSlot& slot : image.Imports()) {
    const loader::KnownImport* known = loader::FindImport(slot.name);
    ASSERT_NE(known, nullptr) << slot.name;
    EXPECT_EQ(image.SlotValue(slot), reinterpret_cast<uintptr_t>(known->function)) << slot.name;
  }
}

TEST(PeImageTest, RefusesAnImportItDoesNotImplementByName) {
  sim::Machine machine;
  loader::Kernel kernel(machine);
  std::string error;
  auto driver = loader::LoadedDriver::Load(kernel, TestImage("unknown_import_driver.sys"), &error);
  EXPECT_EQ(driver, nullptr);
  EXPECT_NE(error.find("KeBugCheckEx (ntoskrnl.exe)"), std::string::npos) << error;
}

// Damaged copies of the probe image, each refused with its reason.
struct Damage {
  const char* what;
  void (*apply)(std::vector<uint8_t>& file, uint32_t pe);
  const char* message;
};

TEST(PeImageTest, RefusesDamagedImagesWithTheReason) {
  std::string error;
  const std::vector<uint8_t> good = loader::ReadFile(TestImage("probe_driver.sys"), &error);
  ASSERT_FALSE(good.empty()) << error;
  uint32_t pe = 0;
  std::memcpy(&pe, good.data() + 0x3C, 4);
  const Damage table[] = {
      {"truncated", [](std::vector<uint8_t>& f, uint32_t) { f.resize(0x40); }, "not a PE image"},
      {"64-bit machine",
       [](std::vector<uint8_t>& f, uint32_t at) {
         f[at + 4] = 0x64;
         f[at + 5] = 0x86;
       },
       "not a 32-bit x86 image"},
      {"entry point 0",
       [](std::vector<uint8_t>& f, uint32_t at) { std::memset(&f[at + 24 + 16], 0, 4); },
       "no entry point"},
      {"no relocations",
       [](std::vector<uint8_t>& f, uint32_t at) { std::memset(&f[at + 24 + 96 + 5 * 8], 0, 8); },
       "no base relocations"},
  };
  for (const Damage& d : table) {
    std::vector<uint8_t> file = good;
    d.apply(file, pe);
    std::string why;
    EXPECT_EQ(loader::PeImage::Map(file, &why), nullptr) << d.what;
    EXPECT_NE(why.find(d.message), std::string::npos) << d.what << ": " << why;
  }
}

// ---------------------------------------------------------------- the kernel calls

// The probe image started in the loader's kernel over a simulated machine. At
// the end it is unloaded, and nothing may be left: no device, link, thread or
// handle in the kernel, no pool or mapping in the machine, and no fault the
// kernel recorded.
class ProbeDriverTest : public ::testing::Test {
 protected:
  ProbeDriverTest() : kernel_(machine_) {}

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

  void StartProbe() {
    std::string error;
    driver_ = loader::LoadedDriver::Load(kernel_, TestImage("probe_driver.sys"), &error);
    ASSERT_NE(driver_, nullptr) << error;
    ASSERT_EQ(driver_->Start(), STATUS_SUCCESS);
    started_ = true;
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

TEST_F(ProbeDriverTest, StartsWithItsDeviceLinkAndWorkerAndPrintsFormatted) {
  StartProbe();
  EXPECT_NE(kernel_.Names().Resolve(probe::kDeviceName), nullptr);
  EXPECT_EQ(kernel_.Names().Resolve(kLink), kernel_.Names().Resolve(probe::kDeviceName));
  EXPECT_EQ(kernel_.Calls("PsCreateSystemThread"), 1u);
  // The registry path handed to the entry point is 58 UTF-16 units long.
  EXPECT_EQ(machine_.DebugLines(), std::vector<std::string>{"probe:entry start -5 beef 07 116"});
  machine_.ClearDebugOutput();
  const loader::Completion c = Call(kLink, probe::kPrint, {}, 0);
  EXPECT_EQ(c.status, STATUS_SUCCESS);
  EXPECT_EQ(machine_.DebugLines(), std::vector<std::string>{"probe:print -42 beef 07 4000000000"});
}

TEST_F(ProbeDriverTest, PhysicalMappingsCarryTheFullAddressAndFailWhenTheMachineSaysSo) {
  machine_.AddMemory(0xF0000, {0x5F, 0x53, 0x4D, 0x5F});
  StartProbe();
  loader::Completion c = Call(kLink, probe::kMap, Words({0xF0000, 4}), 4);
  EXPECT_EQ(c.output, (std::vector<uint8_t>{0x5F, 0x53, 0x4D, 0x5F}));
  c = Call(kLink, probe::kMap, Words({0xFEC00000u, 4}), 4);
  EXPECT_EQ(c.output, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF})) << "no memory there";
  machine_.FailMapAt(0xF0000, 1);
  c = Call(kLink, probe::kMap, Words({0xF0000, 4}), 4);
  EXPECT_EQ(c.status, STATUS_UNSUCCESSFUL);
  EXPECT_EQ(machine_.MapRequests(), (std::vector<uint64_t>{0xF0000, 0xFEC00000u, 0xF0000}));
}

// Exact: a delay lasts its time. Windows: it ends on the first clock tick at
// or after its due time, 15.625 ms apart until the driver asks for a finer one.
TEST(KernelClockTest, DelaysEndOnTheClockTheKernelKeeps) {
  using Clock = loader::Kernel::Clock;
  const struct {
    const char* what;
    Clock clock;
    uint32_t resolution;  // asked for by the driver first; 0: none
    std::vector<uint32_t> delaysMs;
    uint64_t elapsedMs;  // on the machine's millisecond clock
  } rows[] = {
      {"exact", Clock::Exact, 0, {25, 1}, 26},
      {"exact, a resolution changes nothing", Clock::Exact, 10000, {1, 1, 1}, 3},
      {"default tick", Clock::Windows, 0, {25, 1}, 46},  // 31.25, 46.875
      {"default tick, 1 ms waits", Clock::Windows, 0, {1, 1, 1, 1}, 62},
      {"1 ms asked: two 1024 Hz ticks each", Clock::Windows, 10000, {1, 1, 1, 1}, 7},
      {"a wait of 0 returns at once", Clock::Windows, 0, {0, 0}, 0},
  };
  for (const auto& row : rows) {
    sim::Machine machine;
    loader::Kernel kernel(machine);
    kernel.UseClock(row.clock);
    std::string error;
    auto driver = loader::LoadedDriver::Load(kernel, TestImage("probe_driver.sys"), &error);
    ASSERT_NE(driver, nullptr) << error;
    ASSERT_EQ(driver->Start(), STATUS_SUCCESS);
    if (row.resolution != 0) {
      kernel.DeviceControl(kLink, probe::kTimerResolution, Words({row.resolution, 1}), 4)->Wait();
    }
    for (uint32_t ms : row.delaysMs)
      kernel.DeviceControl(kLink, probe::kDelay, Words({ms}), 0)->Wait();
    EXPECT_EQ(machine.NowMs(), row.elapsedMs) << row.what;
    EXPECT_EQ(machine.DelayCalls(), row.delaysMs.size()) << row.what;
    if (row.resolution != 0) {
      kernel.DeviceControl(kLink, probe::kTimerResolution, Words({0, 0}), 4)->Wait();
    }
    ASSERT_TRUE(driver->Unload());
    EXPECT_EQ(kernel.LeftBehind(driver->Driver()), std::vector<std::string>{}) << row.what;
    EXPECT_EQ(kernel.Faults(), std::vector<std::string>{}) << row.what;
  }
}

// The tick is the supported one closest to the finest request outstanding,
// whoever made it, and the default once every requester has let go.
TEST_F(ProbeDriverTest, TimerResolutionFollowsTheFinestOutstandingRequest) {
  constexpr int kOther = 1;  // another driver, a program's multimedia timer
  const struct {
    int requester;
    uint32_t desired;
    bool set;
    uint32_t tick;
  } steps[] = {
      {loader::Kernel::kImage, 10000, true, 9766},  // about 1 ms: the 1024 Hz clock
      {kOther, 50000, true, 9766},                  // the finest request holds
      {loader::Kernel::kImage, 0, false, 39063},    // 5 ms left: 3.9 ms is closest
      {loader::Kernel::kImage, 1000, true, 9766},   // never finer than the 1024 Hz clock
      {loader::Kernel::kImage, 0, false, 39063},
      {kOther, 0, false, 156250},                      // nobody: 64 Hz again
      {loader::Kernel::kImage, 400000, true, 156250},  // never coarser than the default
      {loader::Kernel::kImage, 0, false, 156250},
  };
  StartProbe();
  for (const auto& step : steps) {
    uint32_t tick;
    if (step.requester == loader::Kernel::kImage) {
      tick = WordAt(Call(kLink, probe::kTimerResolution, Words({step.desired, step.set}), 4).output,
                    0);
    } else {
      tick = kernel_.SetTimerResolution(step.desired, step.set, step.requester);
    }
    EXPECT_EQ(tick, step.tick) << step.requester << " " << step.desired << " " << step.set;
    EXPECT_EQ(kernel_.Tick(), step.tick);
  }
}

TEST_F(ProbeDriverTest, AResolutionReleasedButNeverAskedForOrLeftAtUnloadIsCaught) {
  StartProbe();
  Call(kLink, probe::kTimerResolution, Words({0, 0}), 4);
  EXPECT_EQ(kernel_.TakeFaults(),
            std::vector<std::string>{
                "ExSetTimerResolution released a timer resolution request never made"});
  Call(kLink, probe::kTimerResolution, Words({10000, 1}), 4);
  UnloadNow();
  EXPECT_EQ(kernel_.LeftBehind(driver_->Driver()),
            std::vector<std::string>{"1 timer resolution request(s) never released"});
  kernel_.SetTimerResolution(0, false, loader::Kernel::kImage);  // for the teardown's check
}

TEST_F(ProbeDriverTest, PoolComesFromTheMachineByTypeAndFailsWhenTold) {
  StartProbe();
  const struct {
    uint32_t type;
    bool fail;
    uint32_t expected;
  } rows[] = {{1, false, 1}, {0, false, 1}, {1, true, 0}, {0, true, 0}};
  for (const auto& row : rows) {
    if (row.fail) {
      machine_.FailAllocation(1, row.type == 0 ? sim::PoolType::NonPaged : sim::PoolType::Paged);
    }
    const loader::Completion c = Call(kLink, probe::kPool, Words({row.type, 64}), 4);
    EXPECT_EQ(WordAt(c.output, 0), row.expected) << row.type << " " << row.fail;
  }
}

// The kernel's checks catch a driver that breaks the rules of requests: the
// probe image has request codes that break one rule each.
class KernelChecksTest : public ProbeDriverTest {};

TEST_F(KernelChecksTest, EachBrokenRuleIsReportedByName) {
  const struct {
    uint32_t code;
    const char* fault;
  } rows[] = {
      {probe::kCompleteTwice, "completed more than once"},
      {probe::kPendingUnmarked, "returned STATUS_PENDING without marking it pending"},
      {probe::kMarkAfterPublish, "took the queue lock before marking the request pending"},
      {probe::kRefuseAfterWrite, "wrote into the buffer of a request it refused"},
      {probe::kTouchAfterComplete, "request packet changed after completion"},
  };
  StartProbe();
  for (const auto& row : rows) {
    Call(probe::kLinkName, row.code, {1, 2, 3, 4}, 4);
    const std::vector<std::string> faults = kernel_.TakeFaults();
    bool found = false;
    for (const std::string& f : faults) found = found || f.find(row.fault) != std::string::npos;
    EXPECT_TRUE(found) << row.fault << " not among " << ::testing::PrintToString(faults);
  }
}

// Its thread may end after it completed (the kernel then leaves the packet
// alone): no fault either.
TEST_F(KernelChecksTest, AWellBehavedRequestRaisesNoFault) {
  StartProbe();
  const auto request = kernel_.DeviceControl(probe::kLinkName, 0x81230000u | (0x9FFu << 2), {}, 4);
  const loader::Completion refused = request->Wait();
  kernel_.Cancel(*request);
  EXPECT_EQ(refused.status, STATUS_NOT_IMPLEMENTED);
  EXPECT_EQ(refused.dispatchStatus, STATUS_NOT_IMPLEMENTED);
  EXPECT_TRUE(refused.completedInDispatch);
  EXPECT_EQ(kernel_.Faults(), std::vector<std::string>{});
}

TEST_F(KernelChecksTest, RequestKindsTheDriverDoesNotServeFailByDefault) {
  StartProbe();
  constexpr uint8_t kIrpMjRead = 0x03;
  const loader::Completion c = kernel_.CreateOrClose(probe::kLinkName, kIrpMjRead)->Wait();
  EXPECT_EQ(c.status, static_cast<int32_t>(0xC0000010u));  // STATUS_INVALID_DEVICE_REQUEST
  EXPECT_EQ(kernel_.CreateOrClose(probe::kLinkName, 0x00)->Wait().status, STATUS_SUCCESS);
}

}  // namespace
