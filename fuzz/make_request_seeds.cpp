// Writes the seed corpus of the request fuzz target: on every board, what a
// full report sends; on the boards with a segment switch, reads on both
// segments; and one script of the requests at the edges of their checks.
// Run once; the files are committed.
#include <string>

#include "discovery/pci_walk.h"
#include "driver/ioctl.h"
#include "request_script.h"
#include "seed_file.h"
#include "sim/board.h"
#include "support/bytes.h"

namespace {

using requestfuzz::Script;
using requestfuzz::ScriptRequest;
using testsupport::Words;

std::vector<uint8_t> ConfigInput(uint32_t bus, uint32_t device, uint32_t function) {
  return Words({bus, device, function, 0, 0, 0});
}

ScriptRequest Spd(uint8_t slot, uint8_t offset, uint32_t bytes) {
  return {IOCTL_READ_SPD, {slot, offset}, kSpdDataOffset + bytes};
}

std::vector<ScriptRequest> Report() {
  std::vector<ScriptRequest> r = {
      {IOCTL_GET_CHIPSET_INFO, {}, kChipsetInfoSize},
      {IOCTL_GET_PCI_DEVICE_COUNT, {}, kPciDeviceCountSize},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({kPciDeviceTableCapacity}),
       kPciDeviceTableCapacity * kPciRecordSize},
  };
  for (uint8_t slot = 0; slot < 8; ++slot) r.push_back(Spd(slot, 0, 256));
  r.push_back({IOCTL_PROBE_SPD_WRITE, {0}, kProbeReplySize});
  r.push_back({IOCTL_GET_MEMORY_SLOT_COUNT, {}, kCountReplySize});
  r.push_back({IOCTL_GET_MEMORY_MODULE_COUNT, {}, kCountReplySize});
  r.push_back({IOCTL_GET_SYSTEM_INFO, {}, kSystemInfoSize});
  r.push_back({IOCTL_READ_PCI_CONFIG, ConfigInput(0, 0, 0), kPciConfigSize});
  return r;
}

std::vector<ScriptRequest> Segments() {
  return {{IOCTL_SET_SEGMENT, Words({1}), kSegmentReplySize},
          Spd(0, 0, 64),
          Spd(2, 0x7E, 3),
          {IOCTL_PROBE_SPD_WRITE, {1}, kProbeReplySize},
          {IOCTL_SET_SEGMENT, Words({0}), kSegmentReplySize},
          Spd(1, 0, 16),
          {IOCTL_SET_SEGMENT, Words({7}), kSegmentReplySize},
          Spd(0, 0, 2)};
}

std::vector<ScriptRequest> Edges() {
  return {
      {IOCTL_READ_SPD, {0, 0}, kSpdDataOffset},
      Spd(0, 0, 1),
      Spd(8, 0, 4),
      Spd(7, 0xFF, 4),
      {IOCTL_READ_SPD, {0}, kSpdDataOffset + 8},
      {IOCTL_PROBE_SPD_WRITE, {0}, kProbeReplySize - 1},
      {IOCTL_GET_MEMORY_SLOT_COUNT, {}, kCountReplySize - 1},
      {IOCTL_SET_SEGMENT, {1, 0, 0}, kSegmentReplySize},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({0}), 0},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 5208},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 5207},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({0xFFFFFFFF}), 64},
      {IOCTL_GET_PCI_DEVICE_TABLE, Words({0x80000000}), 0},
      {IOCTL_READ_PCI_CONFIG, ConfigInput(1, 0, 0), kPciConfigSize},
      {IOCTL_READ_PCI_CONFIG, ConfigInput(0, 31, 0), kPciConfigSize},
      {IOCTL_READ_PCI_CONFIG, ConfigInput(0, 0, 7), kPciConfigSize},
      {IOCTL_READ_PCI_CONFIG, ConfigInput(0, 30, 6), kPciConfigSize},
      {IOCTL_GET_SYSTEM_INFO, {}, kSystemInfoSize - 1},
      {DIMMIO_CONTROL_CODE(0x80Bu, DIMMIO_ACCESS_READ), {}, 80},
      {IOCTL_READ_SPD_PAGE, {0, 1, 0}, kSpdDataOffset + 256},
      {IOCTL_READ_SPD_PAGE, {0, 2, 0}, kSpdDataOffset + 1},
      {IOCTL_READ_SPD_PAGE, {0, 0}, kSpdDataOffset + 1},
      {IOCTL_READ_SPD | 1u, {0, 0}, 80},
      {0, {}, 0},
  };
}

void Write(const std::string& dir, const std::string& name, const Script& script) {
  seeds::Write(dir, name, requestfuzz::Encode(script));
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = seeds::Directory(argc, argv);
  if (dir == nullptr) return 2;
  const std::vector<sim::Board>& boards = sim::Boards();
  for (size_t b = 0; b < boards.size(); ++b) {
    Write(dir, "report-" + boards[b].name, Script{b, Report()});
    const bool switches =
        boards[b].smbus && boards[b].smbus->segmentSwitch != sim::SegmentSwitch::None;
    if (switches) Write(dir, "segments-" + boards[b].name, Script{b, Segments()});
  }
  Write(dir, "edges", Script{0, Edges()});
  return 0;
}
