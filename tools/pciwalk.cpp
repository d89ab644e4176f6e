// Walks the PCI buses of a simulated board the way the driver does at
// start-up and prints the device table it records.
//   pciwalk [BOARD]      (default: the default board)
#include <cstdio>
#include <cstring>

#include "discovery/pci_walk.h"
#include "sim/board.h"

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : sim::DefaultBoard().name.c_str();
  const sim::Board* board = sim::FindBoard(name);
  if (board == nullptr) {
    std::fprintf(stderr, "pciwalk: unknown board '%s'; boards:", name);
    for (const sim::Board& b : sim::Boards()) std::fprintf(stderr, " %s", b.name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }

  sim::Machine machine;
  sim::Build(*board, machine);
  sim::AttachScope attach(machine);

  SetDebugPrintHook();
  std::memset(PciDeviceTable, 0, sizeof PciDeviceTable);
  PciDeviceCount = 0;
  WalkPciBuses(PciDeviceTable, &PciDeviceCount, nullptr, nullptr);

  std::printf("board %s: %s\n\n", board->name.c_str(), board->description.c_str());
  std::printf("  #  bus dev fn  vendor device\n");
  const uint32_t stored = PciDeviceCount < kPciDeviceTableCapacity ? PciDeviceCount
                                                                   : kPciDeviceTableCapacity;
  for (uint32_t i = 0; i < stored; ++i) {
    const PciDeviceRecord& r = PciDeviceTable[i];
    std::printf("%3u  %3u %3u %2u    %04X   %04X\n", i, r.Bus, r.Device, r.Function, r.VendorId,
                r.DeviceId);
  }
  std::printf("\n%u PCI functions found (%u configuration reads)\n", PciDeviceCount,
              static_cast<unsigned>(machine.ConfigReads()));
  return 0;
}
