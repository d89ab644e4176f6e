// The rules both kernels hold every request to (the host I/O manager and the
// loader's, through platform/host/request_watch.h): dimmio.sys keeps them
// all, so each is broken here, one per row, the way a driver would break it,
// and must be named. What a whole driver does on the loader's kernel is the
// contract suite's, run against dimmio.sys, where any rule that fired on a
// well-behaved request would fail every case.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "driver/status.h"
#include "platform/host/request_watch.h"

namespace {

TEST(RequestWatchTest, EachBrokenRuleIsReportedByName) {
  using Watch = host::RequestWatch;
  const struct {
    std::function<void(Watch&)> driver;  // what the driver does with the request
    const char* fault;
  } rows[] = {
      {[](Watch& w) {
         w.Completing("r", STATUS_SUCCESS, false);
         w.Completing("r", STATUS_SUCCESS, false);
         w.Returned("r", STATUS_SUCCESS, false, STATUS_SUCCESS, false);
       },
       "completed more than once"},
      {[](Watch& w) {
         w.Completing("r", STATUS_SUCCESS, false);
         w.Returned("r", STATUS_PENDING, false, STATUS_SUCCESS, false);
       },
       "returned STATUS_PENDING without marking it pending"},
      {[](Watch& w) {
         std::thread([&] { w.Completing("r", STATUS_SUCCESS, false); }).join();
         w.Returned("r", STATUS_SUCCESS, false, STATUS_SUCCESS, false);
       },
       "completed by another thread without being marked pending"},
      {[](Watch& w) {
         w.Buffer[0] ^= 0xFF;
         w.Completing("r", STATUS_INVALID_PARAMETER, false);
         w.Returned("r", STATUS_INVALID_PARAMETER, false, STATUS_INVALID_PARAMETER, false);
       },
       "wrote into the buffer of a request it refused"},
      {[](Watch& w) {
         w.Buffer[w.BufferLength] = 0;
         w.Completing("r", STATUS_SUCCESS, false);
         w.Returned("r", STATUS_SUCCESS, false, STATUS_SUCCESS, false);
       },
       "wrote past the system buffer"},
      {[](Watch& w) { w.Returned("r", STATUS_SUCCESS, false, 0, false); },
       "returned a final status without completing it"},
      {[](Watch& w) {
         w.Completing("r", STATUS_SUCCESS, false);
         w.Returned("r", STATUS_INVALID_PARAMETER, false, STATUS_SUCCESS, false);
       },
       "returned a status other than its completion status"},
      {[](Watch& w) {
         w.Completing("r", STATUS_SUCCESS, true);
         w.Returned("r", STATUS_SUCCESS, true, STATUS_SUCCESS, true);
       },
       "marked pending but completed in dispatch"},
      {[](Watch& w) {
         w.Completing("r", STATUS_SUCCESS, false);
         w.Returned("r", STATUS_SUCCESS, false, STATUS_SUCCESS, false);
         w.Buffer[0] = 0x55;
       },
       "buffer changed after completion"},
  };
  for (const auto& row : rows) {
    Watch watch;
    watch.Prepare({1, 2, 3, 4}, 8);
    row.driver(watch);
    std::vector<std::string> faults;
    watch.Check("r", true, &faults);
    bool found = false;
    for (const std::string& f : faults) found = found || f == std::string("r: ") + row.fault;
    EXPECT_TRUE(found) << row.fault << " not among " << ::testing::PrintToString(faults);
  }
}

}  // namespace
