// Reading one whole SPD image on the default board, through discovery's
// controller and the device models. Reports, per image, the bus
// transactions, the port accesses and the virtual milliseconds it costs, next
// to the least the design allows: 128 read-word transactions, and 128 ms of
// settle time when the device finishes within the settle time.
#include <benchmark/benchmark.h>

#include <cstring>

#include "discovery/chipset.h"
#include "sim/board.h"
#include "sim/models/intel_smbus_host.h"
#include "smbus/smbus.h"

namespace {

void BM_ReadSpdImageIch5(benchmark::State& state) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(sim::DefaultBoard(), machine);
  sim::AttachScope attach(machine);
  static PciDeviceRecord table[kPciDeviceTableCapacity];
  uint32_t count = 0;
  ChipsetInfoRecord info{};
  OpStatus status;
  InitOpStatus(&status);
  SmbusController* controller = DiscoverChipset(&status, &info, table, &count);
  if (controller == nullptr || controller->Unavailable != 0) {
    state.SkipWithError("no controller on the default board");
    return;
  }

  uint8_t image[256];
  uint64_t images = 0;
  const uint64_t transactions0 = models.intelHost->Transactions();
  const uint64_t ports0 = machine.PortAccesses();
  const uint64_t ms0 = machine.NowMs();
  for (auto _ : state) {
    InitOpStatus(&status);
    const uint32_t done = ReadSpdBlock(controller, &status, 0, image, 0, sizeof image);
    benchmark::DoNotOptimize(image);
    if (done != sizeof image) {
      state.SkipWithError("short read");
      break;
    }
    ++images;
  }
  if (images != 0 && std::memcmp(image, models.eeproms[0][0]->Bytes().data(), 256) != 0) {
    state.SkipWithError("image differs from the module's");
  }
  const double n = images == 0 ? 1.0 : static_cast<double>(images);
  state.counters["transactions_per_image"] =
      static_cast<double>(models.intelHost->Transactions() - transactions0) / n;
  state.counters["transactions_least"] = 128;
  state.counters["port_accesses_per_image"] =
      static_cast<double>(machine.PortAccesses() - ports0) / n;
  // A read-word transfer of the Intel host takes ten port accesses: filler
  // in, idle poll, command, address, start, final poll, the data word,
  // filler out, and the status read and write-back.
  state.counters["port_accesses_least"] = 128 * 10;
  state.counters["virtual_ms_per_image"] = static_cast<double>(machine.NowMs() - ms0) / n;
  state.counters["virtual_ms_least"] = 128;
  ReleaseController(controller);
}
BENCHMARK(BM_ReadSpdImageIch5);

}  // namespace

BENCHMARK_MAIN();
