// Memory and system facts from the SMBIOS structure table: the slot and
// module counts of the count requests and the system information report.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"

constexpr uint32_t kSystemInfoReportSize = 1024;

// Counts from the SMBIOS table, 8 bits wide; 0 when there is no table (the
// reason, on the first query only, is in `status`).
uint8_t CountMemorySlots(OpStatus* status);
uint8_t CountMemoryModules(OpStatus* status);

// Fills the 1024-byte report; 0 when built, -1 when there is no table.
int32_t BuildSystemInfoReport(uint8_t* report, OpStatus* status);
