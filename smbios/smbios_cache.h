// The SMBIOS structure table as the driver keeps it: found once in the BIOS
// area, copied into a 32 KB buffer, and handed to every later query without
// touching physical memory again.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"

// The copy buffer's size: the longest table the driver keeps.
constexpr uint32_t kSmbiosBufferSize = 32768;

// The fill runs once: Untried until the first call claims it, Filling while
// that call scans and copies, Filled from then on (with or without a table).
namespace SmbiosFill {
constexpr uint32_t Untried = 0;  // the value at load: statics start zeroed
constexpr uint32_t Filling = 1;
constexpr uint32_t Filled = 2;
}  // namespace SmbiosFill

// One instance for the driver's lifetime, in static storage. FillState plays
// the part of a first-call flag that also lets a second caller wait for the
// first one's outcome.
struct SmbiosCache {
  uint8_t Buffer[kSmbiosBufferSize];
  uint32_t FillState;       // SmbiosFill, changed only with atomic operations
  uint16_t TableLength;     // bytes in Buffer; 0 until a copy succeeds
  uint32_t StructureCount;  // the entry point's number of structures
  const uint8_t* Table;     // Buffer once a copy succeeded, otherwise null
  // What the fill found wrong, kept for the first query: the fill may be run
  // by discovery's look at the board identity, which reports nothing.
  OpStatus FillStatus;
  uint32_t FillReported;  // 1 once a query has been given FillStatus
};

// The fields of an SMBIOS 2.x entry point that the locator uses.
struct SmbiosEntryPoint {
  uint16_t TableLength;
  uint32_t TableAddress;
  uint16_t StructureCount;
};

// The table as the queries walk it.
struct SmbiosTableRef {
  const uint8_t* Table;  // null: no table
  uint16_t Length;
  uint32_t StructureCount;
};

// The copy, or null. The first call scans the BIOS area and copies the table.
// Only the first query (the first call with a `status`) is given the fill's
// failure (codes 33-36); a call with a null `status` is a look from inside the
// driver and leaves the failure to that query. `length` receives the table
// length whenever a table is returned, and on every later call. A caller
// arriving while the first call is still filling waits for it.
const uint8_t* GetSmbiosTable(OpStatus* status, uint16_t* length);

// Copies the table that `entryPoint` describes into `destination` (at most
// `limit` bytes). The number of bytes copied, 0 on failure (codes 34, 35).
uint16_t CopySmbiosTable(OpStatus* status, uint8_t* destination, uint32_t limit,
                         const SmbiosEntryPoint& entryPoint);

// GetSmbiosTable together with the structure count the walk needs.
SmbiosTableRef LookupSmbiosTable(OpStatus* status);

// Returns the cache to its state at load. The driver image never calls it (it
// starts with zeroed statics each time it is loaded); tests do, between cases.
void ResetSmbiosCache();
