// One `dimmio report` on the default board, as a user runs it: the command
// line parsed, the driver loaded on a fresh simulated board, every request of
// the report sent through the host I/O manager, the text written, the driver
// unloaded. Wall time per report; the SMBus waits run on the machine's
// virtual clock, so none of them sleeps. The second benchmark gathers the
// report on a driver that stays loaded and reports the virtual milliseconds
// the bus work of one report costs.
#include <benchmark/benchmark.h>

#include <sstream>

#include "cli.h"
#include "host_target.h"
#include "inprocess/inprocess_transport.h"
#include "report.h"

namespace {

void BM_DimmioReportDefaultBoard(benchmark::State& state) {
  const dimmio::cli::Target target = dimmio::cli::SimulatedBoards();
  for (auto _ : state) {
    std::ostringstream out, err;
    if (dimmio::cli::Run({"report"}, target, out, err) != dimmio::cli::kExitDone) {
      state.SkipWithError(err.str().c_str());
      break;
    }
    benchmark::DoNotOptimize(out.str().size());
  }
}
BENCHMARK(BM_DimmioReportDefaultBoard)->Unit(benchmark::kMillisecond);

void BM_GatherReportLoadedDriver(benchmark::State& state) {
  std::string error;
  auto transport = dimmio::InProcessTransport::Open(sim::DefaultBoard(), &error);
  if (!transport) {
    state.SkipWithError(error.c_str());
    return;
  }
  dimmio::Client client(*transport);
  uint64_t reports = 0;
  const uint64_t ms0 = transport->Machine().NowMs();
  for (auto _ : state) {
    const auto report = dimmio::GatherReport(client, {});
    if (!report) {
      state.SkipWithError(report.error().Text.c_str());
      break;
    }
    ++reports;
  }
  state.counters["virtual_ms_per_report"] =
      static_cast<double>(transport->Machine().NowMs() - ms0) /
      static_cast<double>(reports ? reports : 1);
}
BENCHMARK(BM_GatherReportLoadedDriver)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
