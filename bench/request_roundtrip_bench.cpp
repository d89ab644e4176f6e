// The cost of the queued request path: one IOCTL_SET_SEGMENT (no bus work)
// from dispatch through the queue and the worker to its completion, seen by
// the caller; against a bare mutex and condition-variable round trip between
// two threads (request hand-off there, completion hand-off back). The two
// are timed in alternating blocks of round trips (each iteration one block of
// each, the order swapped every iteration), so that a wake-up or a burst of
// load on the machine lands in one block rather than on either half of a
// pair by chance; the counters are the medians of the blocks' means.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "driver/driver_entry.h"
#include "driver/ioctl.h"
#include "platform/host/io_manager.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlock = 128;       // round trips per timed block
constexpr int kVerifyEvery = 16;  // iterations between checks of the request watch

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Two threads passing a token there and back under one mutex.
class BareHandOff {
 public:
  BareHandOff() : server_([this] { Serve(); }) {}
  ~BareHandOff() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    server_.join();
  }
  void RoundTrip() {
    std::unique_lock<std::mutex> guard(lock_);
    requested_ = true;
    wake_.notify_all();
    wake_.wait(guard, [this] { return done_; });
    done_ = false;
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      wake_.wait(guard, [this] { return requested_ || stop_; });
      if (stop_) return;
      requested_ = false;
      done_ = true;
      wake_.notify_all();
    }
  }
  std::mutex lock_;
  std::condition_variable wake_;
  bool requested_ = false, done_ = false, stop_ = false;
  std::thread server_;
};

void BM_QueuedRequestVersusBareHandOff(benchmark::State& state) {
  sim::Machine machine;
  sim::AttachScope attach(machine);
  sim::Build(sim::DefaultBoard(), machine);
  host::IoManager io;
  if (io.Load(&DriverEntry) != STATUS_SUCCESS) {
    state.SkipWithError("driver did not load");
    return;
  }
  KernelDevice* device = io.Open(kLinkName).Device;
  const std::vector<uint8_t> input = {1, 0, 0, 0};
  BareHandOff bare;

  std::vector<double> queuedNs, handOffNs;  // per block, nanoseconds per round trip
  bool queuedFirst = true;
  int64_t sinceCheck = 0;
  for (auto _ : state) {
    for (int half = 0; half < 2; ++half) {
      const bool queued = (half == 0) == queuedFirst;
      const auto start = Clock::now();
      for (int i = 0; i < kBlock; ++i) {
        if (queued) {
          const host::RequestResult r = io.Send(device, IOCTL_SET_SEGMENT, input, 76);
          benchmark::DoNotOptimize(r.Information);
        } else {
          bare.RoundTrip();
        }
      }
      const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
      (queued ? queuedNs : handOffNs).push_back(ns / kBlock);
    }
    queuedFirst = !queuedFirst;
    if (++sinceCheck == kVerifyEvery) {
      state.PauseTiming();
      if (!io.VerifyAndForget().empty()) state.SkipWithError("request watch failed");
      sinceCheck = 0;
      state.ResumeTiming();
    }
  }
  io.Unload();
  if (!io.Verify().empty()) state.SkipWithError("request watch failed");

  const double queuedMedian = Median(queuedNs);
  const double handOffMedian = Median(handOffNs);
  state.counters["queued_ns"] = queuedMedian;
  state.counters["handoff_ns"] = handOffMedian;
  state.counters["ratio"] = queuedMedian / handOffMedian;
  state.counters["blocks"] = static_cast<double>(queuedNs.size());
  state.SetItemsProcessed(state.iterations() * 2 * kBlock);
}

BENCHMARK(BM_QueuedRequestVersusBareHandOff)->MinTime(1.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
