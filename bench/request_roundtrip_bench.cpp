// The cost of the queued request path: one IOCTL_SET_SEGMENT (no bus work)
// from dispatch through the queue and the worker to its completion, seen by
// the caller; against a bare mutex and condition-variable round trip between
// two threads (request hand-off there, completion hand-off back). Both are
// measured in the same iterations so that load on the machine hits both.
#include <benchmark/benchmark.h>

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

  Clock::duration queued{}, handOff{};
  int64_t sinceCheck = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const host::RequestResult r = io.Send(device, IOCTL_SET_SEGMENT, input, 76);
    const auto t1 = Clock::now();
    bare.RoundTrip();
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(r.Information);
    queued += t1 - t0;
    handOff += t2 - t1;
    if (++sinceCheck == 4096) {
      state.PauseTiming();
      if (!io.VerifyAndForget().empty()) state.SkipWithError("request watch failed");
      sinceCheck = 0;
      state.ResumeTiming();
    }
  }
  io.Unload();
  if (!io.Verify().empty()) state.SkipWithError("request watch failed");

  const double iterations = static_cast<double>(state.iterations());
  const double queuedNs = std::chrono::duration<double, std::nano>(queued).count() / iterations;
  const double handOffNs = std::chrono::duration<double, std::nano>(handOff).count() / iterations;
  state.counters["queued_ns"] = queuedNs;
  state.counters["handoff_ns"] = handOffNs;
  state.counters["ratio"] = queuedNs / handOffNs;
}

BENCHMARK(BM_QueuedRequestVersusBareHandOff)->MinTime(1.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
