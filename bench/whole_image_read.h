// Reading one slot's whole 256-byte SPD image, again and again while a
// benchmark runs, through the controller discovery builds on a simulated
// board, and what one image cost on average.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "discovery/chipset.h"
#include "smbios/smbios_cache.h"
#include "sim/board.h"
#include "smbus/smbus.h"

struct ImageCost {
  double transactions;  // bus transfers the module saw
  double portAccesses;
  double delayCalls;
  double virtualMs;
  double windowMaps;  // maps of a device's memory window (each reads it once)
};

// The controller discovery builds on the attached machine's board; null,
// the benchmark marked skipped, when the board has none usable. The SMBIOS
// tables are this board's, as at a driver load (whether its modules are
// DDR4 may be theirs to say).
inline SmbusController* DiscoverController(benchmark::State& state) {
  ResetSmbiosCache();
  static PciDeviceRecord table[kPciDeviceTableCapacity];
  uint32_t count = 0;
  ChipsetInfoRecord info{};
  OpStatus status;
  InitOpStatus(&status);
  SmbusController* controller = DiscoverChipset(&status, &info, table, &count);
  if (controller == nullptr || controller->Unavailable != 0) {
    state.SkipWithError("no controller on the board");
    if (controller != nullptr) ReleaseController(controller);
    return nullptr;
  }
  return controller;
}

// False when the board has no usable controller, a read came back short or
// the image differs from the module's; the benchmark is then marked skipped
// with the reason, and the controller is released either way.
inline bool ReadWholeImages(benchmark::State& state, const char* boardName, uint8_t slot,
                            ImageCost* cost) {
  sim::Machine machine;
  const sim::BoardModels models = sim::Build(*sim::FindBoard(boardName), machine);
  sim::AttachScope attach(machine);
  SmbusController* controller = DiscoverController(state);
  if (controller == nullptr) return false;
  OpStatus status;
  const sim::SpdEeprom& eeprom = *models.eeproms[0][slot];

  uint8_t image[256];
  uint64_t images = 0;
  bool whole = true;
  const uint64_t transactions0 = eeprom.Transfers();
  const uint64_t ports0 = machine.PortAccesses();
  const uint64_t delays0 = machine.DelayCalls();
  const uint64_t ms0 = machine.NowMs();
  const uint64_t maps0 = machine.DeviceWindowMaps();
  for (auto _ : state) {
    InitOpStatus(&status);
    const uint32_t done = ReadSpdBlock(controller, &status, slot, image, 0, sizeof image);
    benchmark::DoNotOptimize(image);
    if (done != sizeof image) {
      state.SkipWithError("short read");
      whole = false;
      break;
    }
    ++images;
  }
  if (images != 0 && std::memcmp(image, eeprom.Bytes().data(), sizeof image) != 0) {
    state.SkipWithError("image differs from the module's");
    whole = false;
  }
  const double n = images == 0 ? 1.0 : static_cast<double>(images);
  cost->transactions = static_cast<double>(eeprom.Transfers() - transactions0) / n;
  cost->portAccesses = static_cast<double>(machine.PortAccesses() - ports0) / n;
  cost->delayCalls = static_cast<double>(machine.DelayCalls() - delays0) / n;
  cost->virtualMs = static_cast<double>(machine.NowMs() - ms0) / n;
  cost->windowMaps = static_cast<double>(machine.DeviceWindowMaps() - maps0) / n;
  ReleaseController(controller);
  return whole;
}
