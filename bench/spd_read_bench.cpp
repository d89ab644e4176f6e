// Reading one whole SPD image through discovery's controller and the device
// models, once per back-end, each on a board that carries it. Reports, per
// image, the bus transactions (as the module counts them), the port accesses
// and the virtual milliseconds it costs, next to the least the design allows:
// 128 read-word transactions and, when the host finishes within its settle
// time, 128 ms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "discovery/chipset.h"
#include "sim/board.h"
#include "smbus/smbus.h"

namespace {

struct BenchBoard {
  const char* backEnd;
  const char* board;
  uint8_t slot;
  double leastTransactions;
  double leastMs;
  double leastPortAccesses;  // per image
};

constexpr BenchBoard kBoards[] = {
    // A read-word transfer of the Intel host takes ten port accesses: filler
    // in, idle poll, command, address, start, final poll, the data word,
    // filler out, and the status read and write-back.
    {"intel", "ich5", 0, 128, 128, 128 * 10},
    // AMD: idle poll, the second idle poll inside the call, address,
    // command, control read and write, final poll, data, status read and
    // write-back.
    {"amd", "amd756", 0, 128, 128, 128 * 10},
    {"amd-nforce", "nforce", 0, 128, 128, 128 * 10},
    // nVidia 0x0064: address, command, protocol, one status read, data 0
    // and data 1; no poll beyond the one status read.
    {"nvidia0064", "nforce2", 0, 128, 128, 128 * 6},
};

void ReadSpdImage(benchmark::State& state, const BenchBoard* row) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard(row->board), machine);
  sim::AttachScope attach(machine);
  static PciDeviceRecord table[kPciDeviceTableCapacity];
  uint32_t count = 0;
  ChipsetInfoRecord info{};
  OpStatus status;
  InitOpStatus(&status);
  SmbusController* controller = DiscoverChipset(&status, &info, table, &count);
  const sim::SpdEeprom* eeprom = models.eeproms[0][row->slot];
  if (controller == nullptr || controller->Unavailable != 0 || eeprom == nullptr) {
    state.SkipWithError("no controller or no module on the board");
    if (controller != nullptr) ReleaseController(controller);
    return;
  }

  uint8_t image[256];
  uint64_t images = 0;
  const uint64_t transactions0 = eeprom->Transfers();
  const uint64_t ports0 = machine.PortAccesses();
  const uint64_t ms0 = machine.NowMs();
  for (auto _ : state) {
    InitOpStatus(&status);
    const uint32_t done = ReadSpdBlock(controller, &status, row->slot, image, 0, sizeof image);
    benchmark::DoNotOptimize(image);
    if (done != sizeof image) {
      state.SkipWithError("short read");
      break;
    }
    ++images;
  }
  if (images != 0 && std::memcmp(image, eeprom->Bytes().data(), 256) != 0) {
    state.SkipWithError("image differs from the module's");
  }
  const double n = images == 0 ? 1.0 : static_cast<double>(images);
  state.counters["transactions_per_image"] = static_cast<double>(eeprom->Transfers() - transactions0) / n;
  state.counters["transactions_least"] = row->leastTransactions;
  state.counters["port_accesses_per_image"] = static_cast<double>(machine.PortAccesses() - ports0) / n;
  state.counters["port_accesses_least"] = row->leastPortAccesses;
  state.counters["virtual_ms_per_image"] = static_cast<double>(machine.NowMs() - ms0) / n;
  state.counters["virtual_ms_least"] = row->leastMs;
  ReleaseController(controller);
}

}  // namespace

int main(int argc, char** argv) {
  for (const BenchBoard& row : kBoards) {
    const std::string name = std::string("BM_ReadSpdImage/") + row.backEnd + "/" + row.board;
    benchmark::RegisterBenchmark(name.c_str(), ReadSpdImage, &row);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
