// The requests the checks table sends, each with what the driver answers on
// the board without SMBus: shared by the contract's checks and the run of
// the x86-64 image under 64-bit Wine, which holds every row's answer against
// the host build's on the same board.
#pragma once

#include <stdint.h>

#include <vector>

#include "driver/ioctl.h"
#include "driver/status.h"
#include "support/bytes.h"

namespace contract {

struct CheckRow {
  const char* what;
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outputLength;
  int32_t status;
  uint32_t information;
  bool queued = false;  // accepted and served by the worker: pending at first
};

inline std::vector<CheckRow> CheckRows() {
  using testsupport::Words;
  const int32_t kRefused = STATUS_INVALID_PARAMETER;
  const int32_t kOk = STATUS_SUCCESS;
  const std::vector<uint8_t> pciTableAll = Words({1000});
  // clang-format off
  return {
      {"spd: input 1", IOCTL_READ_SPD, {0}, 80, kRefused, 0},
      {"spd: output 76", IOCTL_READ_SPD, {0, 0}, 76, kRefused, 0},
      {"spd: slot 8", IOCTL_READ_SPD, {8, 0}, 80, kRefused, 0},
      {"spd: output 77", IOCTL_READ_SPD, {7, 0}, 77, kOk, 76, true},
      {"page: input 2", IOCTL_READ_SPD_PAGE, {0, 1}, 80, kRefused, 0},
      {"page: output 76", IOCTL_READ_SPD_PAGE, {0, 1, 0}, 76, kRefused, 0},
      {"page: slot 8", IOCTL_READ_SPD_PAGE, {8, 1, 0}, 80, kRefused, 0},
      {"page: page 2 is the worker's", IOCTL_READ_SPD_PAGE, {7, 2, 0}, 77, kOk, 76, true},
      {"probe: no input", IOCTL_PROBE_SPD_WRITE, {}, 80, kRefused, 0},
      {"probe: output 79", IOCTL_PROBE_SPD_WRITE, {0}, 79, kRefused, 0},
      {"probe: slot 8", IOCTL_PROBE_SPD_WRITE, {8}, 80, kRefused, 0},
      {"slots: output 79", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 79, kRefused, 0},
      {"modules: output 79", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 79, kRefused, 0},
      {"segment: input 3", IOCTL_SET_SEGMENT, {1, 0, 0}, 76, kRefused, 0},
      {"segment: output 75", IOCTL_SET_SEGMENT, Words({1}), 75, kRefused, 0},
      {"segment: output 76", IOCTL_SET_SEGMENT, Words({0}), 76, kOk, 76, true},
      {"chipset: output 23", IOCTL_GET_CHIPSET_INFO, {}, 23, kRefused, 0},
      {"table: input 3", IOCTL_GET_PCI_DEVICE_TABLE, {1, 0, 0}, 24, kRefused, 0},
      {"table: count 0", IOCTL_GET_PCI_DEVICE_TABLE, Words({0}), 0, kOk, 0},
      {"table: count -1", IOCTL_GET_PCI_DEVICE_TABLE, Words({0xFFFFFFFFu}), 5208, kRefused, 0},
      {"table: 1000, output 5207", IOCTL_GET_PCI_DEVICE_TABLE, pciTableAll, 5207, kRefused, 0},
      {"table: 1000, output 5208", IOCTL_GET_PCI_DEVICE_TABLE, pciTableAll, 5208, kOk, 5208},
      {"count: output 3", IOCTL_GET_PCI_DEVICE_COUNT, {}, 3, kRefused, 0},
      {"config: input 23", IOCTL_READ_PCI_CONFIG, std::vector<uint8_t>(23, 0), 256, kRefused, 0},
      {"config: output 255", IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 255, kRefused, 0},
      {"config: bus 1", IOCTL_READ_PCI_CONFIG, Words({1, 0, 0, 0, 0, 0}), 256, kRefused, 0},
      {"config: device 31", IOCTL_READ_PCI_CONFIG, Words({0, 31, 0, 0, 0, 0}), 256, kRefused, 0},
      {"config: function 7", IOCTL_READ_PCI_CONFIG, Words({0, 0, 7, 0, 0, 0}), 256, kRefused, 0},
      {"config: 0:30.6", IOCTL_READ_PCI_CONFIG, Words({0, 30, 6, 0, 0, 0}), 256, kOk, 256, true},
      {"system info: output 1023", IOCTL_GET_SYSTEM_INFO, {}, 1023, kRefused, 0},
      {"function 0x80B", 0x9C40602Cu, {}, 1024, STATUS_NOT_IMPLEMENTED, 0},
      {"another device type", 0x00226000u, {}, 1024, STATUS_NOT_IMPLEMENTED, 0},
      {"spd: another transfer method", IOCTL_READ_SPD | 1u, {0, 0}, 80, STATUS_NOT_IMPLEMENTED, 0},
      // Codes that differ only in access or method bits: the SPD read, the
      // segment switch and the dump for any access, the probe for reading
      // only; the neither, direct-input and direct-output forms.
      {"spd: any access", 0x9C402000u, Words({0, 0, 0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"segment: any access", 0x9C402010u, Words({0, 0, 0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"config: any access", 0x9C402020u, Words({0, 0, 0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"probe: read access", 0x9C406004u, Words({0, 0, 0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"spd: neither", IOCTL_READ_SPD | 3u, Words({0, 0, 0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"probe: neither", IOCTL_PROBE_SPD_WRITE | 3u, Words({0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"segment: direct input", IOCTL_SET_SEGMENT | 1u, Words({0}), 512, STATUS_NOT_IMPLEMENTED, 0},
      {"table: direct output", IOCTL_GET_PCI_DEVICE_TABLE | 2u, Words({0}), 512,
       STATUS_NOT_IMPLEMENTED, 0},
      {"spd: slot 255", IOCTL_READ_SPD, {0xFF, 0}, 80, kRefused, 0},
      {"probe: slot 7, output 80", IOCTL_PROBE_SPD_WRITE, {7}, 80, kOk, 80, true},
      {"slots: no input, output 80", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80, kOk, 80, true},
      {"modules: no input, output 80", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 80, kOk, 80, true},
      {"chipset: output 24", IOCTL_GET_CHIPSET_INFO, {}, 24, kOk, 24},
      {"table: count 1, output 23", IOCTL_GET_PCI_DEVICE_TABLE, Words({1}), 23, kRefused, 0},
      {"table: count 1, output 24", IOCTL_GET_PCI_DEVICE_TABLE, Words({1}), 24, kOk, 24},
      {"table: count 217, output 5207", IOCTL_GET_PCI_DEVICE_TABLE, Words({217}), 5207, kRefused,
       0},
      {"table: count 217, output 5208", IOCTL_GET_PCI_DEVICE_TABLE, Words({217}), 5208, kOk, 5208},
      // A negative count is refused even where its length in 32 bits would wrap to 8.
      {"table: count -357913941", IOCTL_GET_PCI_DEVICE_TABLE, Words({0xEAAAAAABu}), 8, kRefused, 0},
      {"count: output 4", IOCTL_GET_PCI_DEVICE_COUNT, {}, 4, kOk, 4},
      {"config: bus 0x100", IOCTL_READ_PCI_CONFIG, Words({0x100, 0, 0, 0, 0, 0}), 256, kRefused, 0},
      {"config: 0:0.6", IOCTL_READ_PCI_CONFIG, Words({0, 0, 6, 0, 0, 0}), 256, kOk, 256, true},
      // The board has no SMBIOS table: the report fails after its checks.
      {"system info: no table", IOCTL_GET_SYSTEM_INFO, {}, 1024, STATUS_UNSUCCESSFUL, 0},
  };
  // clang-format on
}

}  // namespace contract
