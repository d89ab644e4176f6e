// Reading one whole SPD image through discovery's controller and the device
// models, on one board per SMBus back-end. Reports, per image, the bus
// transactions, the port accesses and the virtual milliseconds it costs, next
// to the least the design allows: 128 read-word transactions, and for each
// transaction the back-end's own port accesses and settle time when the
// device finishes within the settle time.
#include <string>

#include "whole_image_read.h"

namespace {

struct BenchBoard {
  const char* board;
  uint8_t slot;
  // The least one read-word transfer of the back-end costs.
  uint32_t portAccessesPerWord;
  uint32_t settleMsPerWord;
  uint32_t windowMapsPerWord = 0;  // maps of the FCH's PM window
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
//         data 1 (6): the first status read finds the transfer done; 1 ms.
//  ALi:   two idle polls, address, command, protocol, the status read
//         before the start, start, final poll, data 0 and data 1, status
//         read and write-back (12); 1 ms.
//  M1563: idle poll, status read and write-back, address, command, control
//         2 read and written with the start, final poll, data 0 and data 1,
//         status read and write-back (12); 1 ms.
//  The later MCPs run the nVidia 0x0064 transfer on the channel chosen at
//  start-up, the later VIA hosts the VIA one.
//  VIA, ALi, AMD and nForce 01B4 hosts run their bus at 10 kHz, the slowest
//  SMBus clock (the driver programs none): a word takes 4.8 ms, so after the
//  1 ms settle four more polls 1 ms apart (4 port accesses, 5 ms a word).
//  SiS:   every register reached through the index/data pair (an index
//         write, then the data access): ready poll, address, command,
//         control read and write, status low and high cleared (4), control
//         read and write with the start, done poll, data 0 and data 1,
//         status cleared (4): 18 register accesses cost 36; 5 ms settle
//         after the start, which the transfer's 4.8 ms at 10 kHz fits in.
//  ServerWorks, ATI (configuration-placed): the Intel transfer (11); 1 ms at
//         100 kHz. CSB5 at 25 kHz: the word (1.92 ms) fits in its 2 ms
//         settle (11); 2 ms.
//  ATI/AMD shared with firmware: the semaphore read, asked for and read
//         back (3), the status firmware left cleared (2), the port field
//         read with the index port saved and put back (4), the Intel
//         transfer (11), the semaphore given back (1): 21 when port 0 is
//         already selected; where firmware left another port, writing port 0
//         (2) and putting the old one back (4) make 27; 1 ms.
//  Zen FCH: the same with the port field in the PM window, mapped for the
//         select and again for the restore (2 maps when firmware left
//         another port, else 1), no port access for it: 17; 1 ms.
//  AMD-8111: the AMD row.
constexpr BenchBoard kBoards[] = {
    {"ich5", 0, 11, 1},
    {"via686b", 0, 10 + 4, 5},
    {"amd756", 0, 10 + 4, 5},
    {"nforce", 0, 10 + 4, 5},
    {"nforce2", 0, 6, 1},
    {"ali1543", 0, 12 + 4, 5},
    {"sis5595", 0, 36, 5},
    {"ck804", 0, 6, 1},
    {"mcp55", 0, 6, 1},
    {"mcp79", 0, 6, 1},
    {"vt8237r", 0, 10 + 4, 5},
    {"vx900", 0, 10 + 4, 5},
    {"ali1563", 0, 12, 1},
    // The ICH6 and later: the Intel row's cost; the semaphore is taken by
    // the idle poll's own status read.
    {"ich6", 0, 11, 1},
    {"ich7", 0, 11, 1},
    {"ich9", 0, 11, 1},
    {"ich10", 0, 11, 1},
    {"pch6", 0, 11, 1},
    {"pch7-inuse", 0, 11, 1},
    {"pch8-spdwd", 0, 11, 1},
    {"csb5", 0, 11, 2},
    {"ixp400", 0, 11, 1},
    {"sb600", 0, 11, 1},
    {"sb700", 0, 11, 1},
    {"sb800", 0, 27, 1},
    {"hudson2", 0, 21, 1},
    {"fch790b", 0, 27, 1},
    {"fch790b-bristol", 0, 21, 1},
    {"fch790b-zen2", 0, 17, 1, 2},
    {"amd8111", 0, 10 + 4, 5},
};

constexpr uint32_t kWordsPerImage = 128;

// DDR4 boards: the 512 bytes of a module as two page requests. Each finds
// the page the board left with a receive byte at 0x36 and reads its 128
// words; page 0 is selected (send byte) only when the query did not show it,
// page 1 always (a query left unacknowledged is page 1 or an empty bus),
// and the board's page is selected again where it differs. Board on page 0:
// the two queries, page 1's select and the put-back (4 page transfers); on
// page 1: the two queries, both selects and the put-back (5); a module that
// refuses the byte after a select has each select confirmed by a query (+2).
// Each costs the Intel host's 1 ms settle, as a word does. No page is
// selected before the modules are known to be DDR4: on a board left on page
// 0 a type byte read tells it (one word a pair of requests), on page 1 the
// SMBIOS memory devices do (no bus transfer).
struct Ddr4BenchBoard {
  const char* board;
  uint8_t slot;
  uint32_t pageTransfers;
  uint32_t typeReads;
};
constexpr Ddr4BenchBoard kDdr4Boards[] = {
    {"pch100", 0, 5, 0}, {"pch300-lp", 0, 4, 1}, {"glk", 0, 6, 1}};

void ReadDdr4Image(benchmark::State& state, const Ddr4BenchBoard& row) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard(row.board), machine);
  sim::AttachScope attach(machine);
  SmbusController* controller = DiscoverController(state);
  if (controller == nullptr) return;
  OpStatus status;
  const sim::SpdEeprom& eeprom = *models.eeproms[0][row.slot];
  uint8_t image[512];
  uint64_t images = 0;
  const uint64_t words0 = eeprom.Transfers(), ports0 = machine.PortAccesses(),
                 ms0 = machine.NowMs();
  for (auto _ : state) {
    uint32_t done = 0;
    for (uint8_t page = 0; page < 2; ++page) {
      InitOpStatus(&status);
      done += ReadSpdPage(controller, &status, row.slot, page, image + 256 * page, 0, 256);
    }
    benchmark::DoNotOptimize(image);
    if (done != sizeof image || std::memcmp(image, eeprom.PageBytes(0).data(), 256) != 0 ||
        std::memcmp(image + 256, eeprom.PageBytes(1).data(), 256) != 0) {
      state.SkipWithError("short read, or bytes other than the module's");
      break;
    }
    ++images;
  }
  const double n = images == 0 ? 1.0 : static_cast<double>(images);
  state.counters["word_reads_per_image"] = static_cast<double>(eeprom.Transfers() - words0) / n;
  state.counters["word_reads_least"] = 2 * kWordsPerImage + row.typeReads;
  state.counters["port_accesses_per_image"] =
      static_cast<double>(machine.PortAccesses() - ports0) / n;
  state.counters["virtual_ms_per_image"] = static_cast<double>(machine.NowMs() - ms0) / n;
  state.counters["virtual_ms_least"] = 2 * kWordsPerImage + row.pageTransfers + row.typeReads;
  ReleaseController(controller);
}

void ReadSpdImage(benchmark::State& state, const BenchBoard& row) {
  ImageCost cost{};
  if (!ReadWholeImages(state, row.board, row.slot, &cost)) return;
  state.counters["transactions_per_image"] = cost.transactions;
  state.counters["transactions_least"] = kWordsPerImage;
  state.counters["port_accesses_per_image"] = cost.portAccesses;
  state.counters["port_accesses_least"] = kWordsPerImage * row.portAccessesPerWord;
  state.counters["virtual_ms_per_image"] = cost.virtualMs;
  state.counters["virtual_ms_least"] = kWordsPerImage * row.settleMsPerWord;
  state.counters["window_maps_per_image"] = cost.windowMaps;
  state.counters["window_maps_least"] = kWordsPerImage * row.windowMapsPerWord;
}

}  // namespace

int main(int argc, char** argv) {
  for (const BenchBoard& row : kBoards) {
    benchmark::RegisterBenchmark((std::string("ReadSpdImage/") + row.board).c_str(),
                                 [row](benchmark::State& state) { ReadSpdImage(state, row); });
  }
  for (const Ddr4BenchBoard& row : kDdr4Boards) {
    benchmark::RegisterBenchmark((std::string("ReadDdr4Image/") + row.board).c_str(),
                                 [row](benchmark::State& state) { ReadDdr4Image(state, row); });
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
