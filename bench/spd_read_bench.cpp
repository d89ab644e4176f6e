// Reading one whole SPD image through discovery's controller and the device
// models, on one board per SMBus back-end. Reports, per image, the bus
// transactions, the port accesses and the virtual milliseconds it costs, next
// to the least the design allows: 128 read-word transactions, and for each
// transaction the back-end's own port accesses and settle time when the
// device finishes within the settle time.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "discovery/chipset.h"
#include "sim/board.h"
#include "smbus/smbus.h"

namespace {

struct BenchBoard {
  const char* board;
  uint8_t slot;
  // The least one read-word transfer of the back-end costs.
  uint32_t portAccessesPerWord;
  uint32_t settleMsPerWord;
};

// One row per back-end.
//  Intel: idle poll, filler in, command, address, start, the status read
//         right after the start (a host that runs the transfer on its next
//         status read gets it under the settle), final poll, the data word,
//         filler out, status read and write-back (11); 1 ms.
//  VIA:   two idle polls, address, command, start, final poll, data 0 and
//         data 1, status read and write-back (10); 1 ms.
//  AMD (and nForce 01B4): idle poll, the call's own idle poll, address,
//         command, control read and write, final poll, data word, status
//         read and write-back (10); 1 ms.
//  nVidia 0x0064: address, command, protocol, one status read, data 0 and
//         data 1 (6): no poll beyond the one status read; 1 ms.
//  ALi:   two idle polls, address, command, protocol, the status read
//         before the start, start, final poll, data 0 and data 1, status
//         read and write-back (12); 1 ms.
//  SiS:   every register reached through the index/data pair (an index
//         write, then the data access): ready poll, address, command,
//         control read and write, status low and high cleared (4), control
//         read and write with the start, done poll, data 0 and data 1,
//         status cleared (4): 18 register accesses cost 36; 5 ms settle
//         after the start, which the transfer's 4.8 ms at 10 kHz fits in.
constexpr BenchBoard kBoards[] = {
    {"ich5", 0, 11, 1},
    {"via686b", 0, 10, 1},
    {"amd756", 0, 10, 1},
    {"nforce", 0, 10, 1},
    {"nforce2", 0, 6, 1},
    {"ali1543", 0, 12, 1},
    {"sis5595", 0, 36, 5},
};

constexpr uint32_t kWordsPerImage = 128;

void ReadSpdImage(benchmark::State& state, const BenchBoard& row) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard(row.board), machine);
  sim::AttachScope attach(machine);
  static PciDeviceRecord table[kPciDeviceTableCapacity];
  uint32_t count = 0;
  ChipsetInfoRecord info{};
  OpStatus status;
  InitOpStatus(&status);
  SmbusController* controller = DiscoverChipset(&status, &info, table, &count);
  if (controller == nullptr || controller->Unavailable != 0) {
    state.SkipWithError("no controller on the board");
    if (controller != nullptr) ReleaseController(controller);
    return;
  }
  const sim::SpdEeprom& eeprom = *models.eeproms[0][row.slot];

  uint8_t image[256];
  uint64_t images = 0;
  const uint64_t transactions0 = eeprom.Transfers();
  const uint64_t ports0 = machine.PortAccesses();
  const uint64_t ms0 = machine.NowMs();
  for (auto _ : state) {
    InitOpStatus(&status);
    const uint32_t done = ReadSpdBlock(controller, &status, row.slot, image, 0, sizeof image);
    benchmark::DoNotOptimize(image);
    if (done != sizeof image) {
      state.SkipWithError("short read");
      break;
    }
    ++images;
  }
  if (images != 0 && std::memcmp(image, eeprom.Bytes().data(), 256) != 0) {
    state.SkipWithError("image differs from the module's");
  }
  const double n = images == 0 ? 1.0 : static_cast<double>(images);
  state.counters["transactions_per_image"] = static_cast<double>(eeprom.Transfers() - transactions0) / n;
  state.counters["transactions_least"] = kWordsPerImage;
  state.counters["port_accesses_per_image"] = static_cast<double>(machine.PortAccesses() - ports0) / n;
  state.counters["port_accesses_least"] = kWordsPerImage * row.portAccessesPerWord;
  state.counters["virtual_ms_per_image"] = static_cast<double>(machine.NowMs() - ms0) / n;
  state.counters["virtual_ms_least"] = kWordsPerImage * row.settleMsPerWord;
  ReleaseController(controller);
}

}  // namespace

int main(int argc, char** argv) {
  for (const BenchBoard& row : kBoards) {
    benchmark::RegisterBenchmark((std::string("ReadSpdImage/") + row.board).c_str(),
                                 [row](benchmark::State& state) { ReadSpdImage(state, row); });
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
