// Arbitrary bytes as the copied SMBIOS table: the first two bytes are the
// entry point's structure count (little-endian), the rest the table, cut to
// the copy buffer's size. The table sits in memory of exactly its own length,
// so any read past its end is caught.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "smbios/smbios.h"
#include "smbios/smbios_cache.h"
#include "smbios/table_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t count = static_cast<uint32_t>(data[0] | (data[1] << 8));
  size_t length = size - 2;
  if (length > kSmbiosBufferSize) length = kSmbiosBufferSize;
  const std::vector<uint8_t> table(data + 2, data + 2 + length);
  const SmbiosTableRef ref{table.empty() ? nullptr : table.data(), static_cast<uint16_t>(length),
                           count};

  volatile uint8_t sink = CountSlotsInTable(ref);
  sink = CountModulesInTable(ref);
  uint8_t report[kSystemInfoReportSize] = {};
  FillSystemInfoReport(report, ref);
  // Every field stays a terminated string inside its 128 bytes.
  for (uint32_t field = 0; field < kSystemInfoReportSize; field += 128) {
    if (report[field + 127] != 0) __builtin_trap();
  }
  (void)sink;
  return 0;
}
