// Every point at which a load, a full report and an unload meet the
// platform's resources (a pool allocation, a physical mapping, the device,
// the driver's handle to it and the setting of its security, the worker
// thread, its reference, the link) failed one at a time. The
// points are counted on a clean run, not listed, so whatever the driver comes
// to allocate or map is in the matrix by itself. Each failure gives the right
// status and shows in the answers, leaves nothing behind, and the next load
// on the same machine answers exactly as the clean run did.
#include "contract_test.h"

#include <algorithm>
#include <functional>

#include "driver/op_status.h"

namespace contract {
namespace {

constexpr int32_t kInjected = STATUS_INSUFFICIENT_RESOURCES;

struct Step {
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outputLength;
  int32_t statusAt;     // where the reply's OpStatus starts; -1: it has none
  uint32_t dataAt;      // the reply's data: [dataAt, dataAt + dataLength)
  uint32_t dataLength;  // 0: to the end of what came back
};

// What the dimmio tool's report sends.
std::vector<Step> FullReport() {
  std::vector<Step> steps = {
      {IOCTL_GET_CHIPSET_INFO, {}, kChipsetInfoSize, -1, 0, 0},
      {IOCTL_GET_PCI_DEVICE_COUNT, {}, kPciDeviceCountSize, -1, 0, 0},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({217}), 217 * kPciRecordSize, -1, 0, 0},
  };
  for (uint8_t slot = 0; slot < 8; ++slot) {
    steps.push_back({IOCTL_READ_SPD, {slot, 0}, kSpdDataOffset + 256, 0, kSpdDataOffset, 0});
  }
  for (uint32_t code : {IOCTL_GET_MEMORY_SLOT_COUNT, IOCTL_GET_MEMORY_MODULE_COUNT}) {
    steps.push_back({code, {}, kCountReplySize, kReplyStatusOffset, 0, 1});
  }
  steps.push_back({IOCTL_GET_SYSTEM_INFO, {}, kSystemInfoSize, -1, 0, 0});
  return steps;
}

struct Answer {
  int32_t status;
  uint32_t information;
  std::vector<uint8_t> output;
  bool operator==(const Answer&) const = default;
};

struct Cycle {
  int32_t started = 0;
  std::vector<Answer> answers;  // none when the load failed
};

Cycle LoadReportUnload(DriverUnderTest& driver) {
  Cycle run;
  run.started = driver.Start();
  if (run.started != STATUS_SUCCESS) return run;
  for (const Step& step : FullReport()) {
    const Reply r = driver.Wait(driver.Submit(step.code, step.input, step.outputLength));
    run.answers.push_back({r.status, r.information, r.output});
  }
  EXPECT_TRUE(driver.Unload());
  return run;
}

// The kinds of failure point, how to count them and how to fail the nth.
struct PointKind {
  const char* name;
  std::function<uint64_t(sim::Machine&, DriverUnderTest&)> count;
  std::function<void(sim::Machine&, DriverUnderTest&, int)> fail;
  // What the load may return when this point fails.
  std::vector<int32_t> loadStatuses;
  // Worker threads a load that failed here asked for; -1: any. A device whose
  // security is not set yet gets no worker.
  int threadsAsked = -1;
};

PointKind PlatformCall(const char* name, StartFailure call, int32_t loadStatus, int threadsAsked) {
  return {name,
          [call](sim::Machine&, DriverUnderTest& d) { return d.Calls(call); },
          [call](sim::Machine&, DriverUnderTest& d, int nth) { d.FailNth(call, kInjected, nth); },
          {loadStatus},
          threadsAsked};
}

std::vector<PointKind> PointKinds() {
  return {
      {"allocation",
       [](sim::Machine& m, DriverUnderTest&) { return m.AllocationCount(); },
       [](sim::Machine& m, DriverUnderTest&, int nth) { m.FailAllocation(nth); },
       {STATUS_SUCCESS, STATUS_UNSUCCESSFUL}},
      {"mapping",
       [](sim::Machine& m, DriverUnderTest&) { return m.MapRequests().size(); },
       [](sim::Machine& m, DriverUnderTest&, int nth) { m.FailMapping(nth); },
       {STATUS_SUCCESS}},
      PlatformCall("device", StartFailure::DeviceCreation, STATUS_UNSUCCESSFUL, 0),
      PlatformCall("device open", StartFailure::DeviceOpen, STATUS_UNSUCCESSFUL, 0),
      PlatformCall("device security", StartFailure::DeviceSecurity, STATUS_UNSUCCESSFUL, 0),
      PlatformCall("thread", StartFailure::ThreadCreation, STATUS_UNSUCCESSFUL, 1),
      PlatformCall("thread reference", StartFailure::ThreadReference, STATUS_UNSUCCESSFUL, 1),
      PlatformCall("link", StartFailure::LinkCreation, kInjected, 1),
  };
}

// A reply that says something went wrong: a refused completion with nothing
// returned, a failure code in its status record, or, without a record, the
// all-zero answer of "nothing found".
bool ShowsFailure(const Step& step, const Answer& a) {
  if (a.status != STATUS_SUCCESS) return a.information == 0;
  if (step.statusAt < 0) {
    return std::all_of(a.output.begin(), a.output.end(), [](uint8_t b) { return b == 0; });
  }
  return a.output.size() >= step.statusAt + kOpStatusSize &&
         WordAt(a.output, step.statusAt + offsetof(OpStatus, Code)) != OpError::None;
}

// A successful reply whose data is all zero: nothing found.
bool Empty(const Step& step, const Answer& a) {
  if (a.status != STATUS_SUCCESS) return false;
  const size_t end = step.dataLength == 0 ? a.output.size() : step.dataAt + step.dataLength;
  if (end > a.output.size() || step.dataAt > end) return false;
  return std::all_of(a.output.begin() + step.dataAt, a.output.begin() + end,
                     [](uint8_t b) { return b == 0; });
}

TEST(FaultMatrixTest, EachFailurePointFailsCleanlyAndTheNextLoadIsClean) {
  const std::string kBoard = "ich5";
  const std::vector<Step> steps = FullReport();
  Cycle clean;
  std::vector<uint64_t> points;
  {
    Rig rig(kBoard);
    std::vector<uint64_t> before;
    for (const PointKind& kind : PointKinds())
      before.push_back(kind.count(rig.machine, *rig.driver));
    clean = LoadReportUnload(*rig.driver);
    ASSERT_EQ(clean.started, STATUS_SUCCESS);
    for (size_t k = 0; k < before.size(); ++k) {
      points.push_back(PointKinds()[k].count(rig.machine, *rig.driver) - before[k]);
      EXPECT_GT(points.back(), 0u) << PointKinds()[k].name << ": no point counted";
    }
  }

  const std::vector<PointKind> kinds = PointKinds();
  for (size_t k = 0; k < kinds.size(); ++k) {
    for (uint64_t nth = 1; nth <= points[k]; ++nth) {
      const std::string where = std::string(kinds[k].name) + " " + std::to_string(nth) + " of " +
                                std::to_string(points[k]);
      Rig rig(kBoard);
      sim::Machine& machine = rig.machine;
      DriverUnderTest* driver = rig.driver.get();
      kinds[k].fail(machine, *driver, static_cast<int>(nth));

      const uint64_t threads = driver->Calls(StartFailure::ThreadCreation);
      const Cycle faulted = LoadReportUnload(*driver);
      const std::vector<int32_t>& allowed = kinds[k].loadStatuses;
      EXPECT_NE(std::find(allowed.begin(), allowed.end(), faulted.started), allowed.end())
          << where << ": the load returned 0x" << std::hex << faulted.started;
      if (kinds[k].threadsAsked >= 0) {
        EXPECT_EQ(driver->Calls(StartFailure::ThreadCreation) - threads,
                  static_cast<uint64_t>(kinds[k].threadsAsked))
            << where << ": worker threads asked for";
      }
      // The first answer the failure changes says so; answers after it may
      // come back empty instead (a table copy that failed is not retried).
      bool heard = faulted.started != STATUS_SUCCESS;
      for (size_t s = 0; s < faulted.answers.size(); ++s) {
        const Answer& got = faulted.answers[s];
        if (got == clean.answers[s]) continue;
        EXPECT_TRUE(ShowsFailure(steps[s], got) || (heard && Empty(steps[s], got)))
            << where << ": request " << s << " (code 0x" << std::hex << steps[s].code
            << ") came back different, with status 0x" << got.status << " and no failure shown";
        heard = true;
      }
      EXPECT_TRUE(heard) << where << ": the failure changed nothing";
      EXPECT_EQ(driver->Problems(), std::vector<std::string>{}) << where;
      EXPECT_EQ(machine.LeakReport(), "") << where;

      const Cycle next = LoadReportUnload(*driver);
      EXPECT_EQ(next.started, STATUS_SUCCESS) << where << ", next load";
      EXPECT_TRUE(next.answers == clean.answers) << where << ", next load";
      rig.Done(where + ", next load");
    }
  }
}

}  // namespace
}  // namespace contract
