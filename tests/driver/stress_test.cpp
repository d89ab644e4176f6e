// Several callers sending every request of the driver's table at once while
// the worker serves, then unload with requests still queued; cancels racing the worker's
// dequeue: every request ends exactly once (the I/O manager's watch), none
// is lost, and, under ThreadSanitizer, no data race.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "driver/requests.h"
#include "support/driver_test.h"
#include "support/request_table.h"

namespace {

using testsupport::DriverTest;
using testsupport::RequestTableRows;
using testsupport::WordAt;
using testsupport::Words;

// An SPD back-end for the stress: byte k of every EEPROM holds k. After a
// number of word reads it holds the worker until the gate opens, so that
// requests are still queued when unload begins.
struct GatedSpd {
  std::mutex lock;
  std::condition_variable opened;
  int readsBeforeGate = 0;
  bool gateOpen = false;
  bool holding = false;
};
GatedSpd g_spd;

int32_t GatedTransfer(void*, OpStatus*, SmbusOp op, uint8_t, uint8_t command, uint16_t* data) {
  if (op == SmbusOp::ReadByte) *data = command;
  if (op != SmbusOp::ReadWord) return 0;
  std::unique_lock<std::mutex> guard(g_spd.lock);
  if (--g_spd.readsBeforeGate < 0) {
    g_spd.holding = true;
    g_spd.opened.notify_all();
    g_spd.opened.wait(guard, [] { return g_spd.gateOpen; });
  }
  *data = static_cast<uint16_t>(command | (static_cast<uint8_t>(command + 1) << 8));
  return 0;
}

struct Sent {
  uint32_t code;
  uint8_t firstOffset;
  host::Request* request;
};

// One request of each row per round, each passing its checks (the SPD
// requests on slot round % 8, the page read on page round % 2), and one
// refused: slot 8.
std::vector<std::tuple<uint32_t, std::vector<uint8_t>, uint32_t>> Mix(int round) {
  const auto slot = static_cast<uint8_t>(round % 8);
  const auto offset = static_cast<uint8_t>(round * 7);
  const auto word = static_cast<uint32_t>(round);
  std::vector<std::tuple<uint32_t, std::vector<uint8_t>, uint32_t>> mix;
  for (const RequestRow* row : RequestTableRows()) {
    std::vector<uint8_t> input(row->LeastInput, 0);
    uint32_t output = row->LeastOutput;
    switch (row->Code) {
      case IOCTL_READ_SPD:
        input = {slot, offset};
        output += static_cast<uint32_t>(round % 9);
        break;
      case IOCTL_READ_SPD_PAGE: input = {slot, static_cast<uint8_t>(round % 2), offset}; break;
      case IOCTL_PROBE_SPD_WRITE: input = {slot}; break;
      case IOCTL_SET_SEGMENT: input = Words({word}); break;
      case IOCTL_GET_PCI_DEVICE_TABLE:
        input = Words({word % 5});
        output = 5 * kPciRecordSize;
        break;
      case IOCTL_READ_PCI_CONFIG: input = Words({0, word % 31, 0, 0, 0, 0}); break;
    }
    mix.emplace_back(row->Code, input, output);
  }
  mix.emplace_back(IOCTL_READ_SPD, std::vector<uint8_t>{8, 0}, 80);  // refused
  return mix;
}

class StressTest : public DriverTest {};

TEST_F(StressTest, ConcurrentCallersThenUnloadWithRequestsQueued) {
  constexpr int kCallers = 4;
  constexpr int kRounds = 40;
  LoadOn("ich5");
  SmbusController* controller = Extension()->Controller;
  controller->Unavailable = 0;
  controller->Transfer = &GatedTransfer;
  {
    std::lock_guard<std::mutex> guard(g_spd.lock);
    g_spd.readsBeforeGate = 8;  // early: the queue admits 64, 16 a handle
    g_spd.gateOpen = false;
    g_spd.holding = false;
  }

  std::mutex sentLock;
  std::vector<Sent> sent;
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      for (int round = c; round < c + kRounds; ++round) {
        for (auto& [code, input, out] : Mix(round)) {
          host::Request* r = io_.Submit(device_, code, input, out);
          std::lock_guard<std::mutex> guard(sentLock);
          sent.push_back({code, input.size() > 1 ? input[1] : uint8_t{0}, r});
        }
      }
    });
  }
  for (std::thread& t : callers) t.join();
  {
    std::unique_lock<std::mutex> guard(g_spd.lock);
    g_spd.opened.wait(guard, [] { return g_spd.holding; });
  }

  const KernelEvent* stop = &Extension()->StopEvent;
  std::thread unload([this] { io_.Unload(); });
  while (!host::EventSignalled(stop)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  {
    std::lock_guard<std::mutex> guard(g_spd.lock);
    g_spd.gateOpen = true;
    g_spd.opened.notify_all();
  }
  unload.join();

  ASSERT_EQ(io_.Sent(), sent.size() + 1) << "plus the open";
  std::map<NtStatus, int> statuses;
  for (const Sent& s : sent) {
    const host::RequestResult r = io_.Wait(s.request);
    ++statuses[r.Status];
    if (r.Status == STATUS_CANCELLED) {
      EXPECT_EQ(r.Information, 0u);
      EXPECT_EQ(FindRequest(s.code)->Kind, RequestKind::Queued);
    }
    if (s.code == IOCTL_READ_SPD && r.Status == STATUS_SUCCESS) {
      ASSERT_GT(r.Information, 76u);
      for (size_t i = 76; i < r.Information; ++i) {
        EXPECT_EQ(r.Output[i], static_cast<uint8_t>(s.firstOffset + (i - 76)));
      }
    }
  }
  EXPECT_GT(statuses[STATUS_CANCELLED], 0) << "nothing was queued at unload";
  EXPECT_GT(statuses[STATUS_SUCCESS], 0);
  EXPECT_EQ(statuses[STATUS_INVALID_PARAMETER], kCallers * kRounds);
  EXPECT_EQ(statuses[STATUS_UNSUCCESSFUL], 0) << "system information from the board's table";
}

// Each request is cancelled, as its thread's end does, right after it was
// sent, while the worker may be taking it off the queue: whichever wins, it
// completes exactly once (the I/O manager's watch), as cancelled with no
// bytes or as served in full, and the queue is empty at the end; under
// ThreadSanitizer the dequeue and the cancel routine do not race.
TEST_F(StressTest, CancelsRacingTheWorkersDequeueCompleteEachRequestOnce) {
  constexpr int kRequests = 3000;
  constexpr int kInFlight = 12;  // below the queue's bound for one handle
  LoadOn("ich5");
  std::vector<host::Request*> sent(kRequests, nullptr);
  std::atomic<int> submitted{0};
  std::thread canceller([&] {
    for (int i = 0; i < kRequests; ++i) {
      while (submitted.load(std::memory_order_acquire) <= i) std::this_thread::yield();
      io_.Cancel(sent[i]);
    }
  });
  for (int i = 0; i < kRequests; ++i) {
    if (i >= kInFlight) io_.Wait(sent[i - kInFlight]);
    sent[i] = i % 2 == 0
                  ? io_.Submit(device_, IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80)
                  : io_.Submit(device_, IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 256);
    submitted.store(i + 1, std::memory_order_release);
  }
  canceller.join();
  std::map<NtStatus, int> statuses;
  for (int i = 0; i < kRequests; ++i) {
    const host::RequestResult r = io_.Wait(sent[i]);
    ++statuses[r.Status];
    const uint32_t full = i % 2 == 0 ? 80u : 256u;
    EXPECT_EQ(r.Information, r.Status == STATUS_SUCCESS ? full : 0u) << i;
  }
  EXPECT_GT(statuses[STATUS_CANCELLED], 0) << "no cancel reached a queued request";
  EXPECT_GT(statuses[STATUS_SUCCESS], 0) << "the worker took none first";
  EXPECT_EQ(statuses[STATUS_CANCELLED] + statuses[STATUS_SUCCESS], kRequests);
  EXPECT_EQ(Extension()->Queue.Count, 0u);
  EXPECT_EQ(io_.VerifyAndForget(), "");
}

}  // namespace
