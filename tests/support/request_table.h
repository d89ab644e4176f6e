// Every row of the driver's request table, found through the table's own
// lookup over the device type's function numbers and access bits, in the
// order of their function numbers.
#pragma once

#include <stdint.h>

#include <vector>

#include "driver/ioctl.h"
#include "driver/requests.h"

namespace testsupport {

inline std::vector<const RequestRow*> RequestTableRows() {
  std::vector<const RequestRow*> rows;
  for (uint32_t function = 0; function < 0x1000; ++function) {
    for (uint32_t access = 0; access < 4; ++access) {
      if (const RequestRow* row = FindRequest(DIMMIO_CONTROL_CODE(function, access))) {
        rows.push_back(row);
      }
    }
  }
  return rows;
}

}  // namespace testsupport
