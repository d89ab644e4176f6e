// The system information report: maker, product, version and serial number of
// the system (type-1 structures) and of the board (type-2 structures), each in
// a 128-byte field of a 1024-byte report.
#include "smbios/smbios.h"
#include "smbios/structure_strings.h"
#include "smbios/structure_walk.h"
#include "smbios/table_queries.h"

namespace {

// Report layout: the system's four fields, then the board's.
constexpr uint32_t kSystemGroupOffset = 0x000;
constexpr uint32_t kBoardGroupOffset = 0x200;
constexpr uint32_t kFieldSize = 128;  // a string of at most 127 bytes and its zero
constexpr uint32_t kFieldsPerGroup = 4;
// In types 1 and 2 the string numbers of maker, product, version and serial
// number are the bytes at offsets 4 to 7.
constexpr uint8_t kFirstStringIndexOffset = 0x04;

// Fields for which the structure has a string are overwritten; the others
// keep what an earlier structure of the same type put there.
void FillGroup(uint8_t* group, const SmbiosStructure& s, const uint8_t* tableEnd) {
  const uint8_t* strings[kMaxStructureStrings];
  const uint32_t count = CollectStrings(strings, kMaxStructureStrings, s.Start, tableEnd);
  for (uint32_t k = 0; k < kFieldsPerGroup; ++k) {
    uint8_t index = 0;
    if (!ReadFieldByte(s, static_cast<uint8_t>(kFirstStringIndexOffset + k), &index)) continue;
    const uint8_t* text = GetString(strings, count, index);
    if (text != nullptr) CopyString(group + k * kFieldSize, text, kFieldSize);
  }
}

}  // namespace

void FillSystemInfoReport(uint8_t* report, const SmbiosTableRef& table) {
  const uint8_t* tableEnd = table.Table + table.Length;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    if (s.Type == SmbiosType::SystemInformation) {
      FillGroup(report + kSystemGroupOffset, s, tableEnd);
    } else if (s.Type == SmbiosType::BaseboardInformation) {
      FillGroup(report + kBoardGroupOffset, s, tableEnd);
    }
  }
}

int32_t BuildSystemInfoReport(uint8_t* report, OpStatus* status) {
  for (uint32_t i = 0; i < kSystemInfoReportSize; ++i) report[i] = 0;
  const SmbiosTableRef table = LookupSmbiosTable(status);
  if (table.Table == nullptr || table.Length == 0) return -1;
  FillSystemInfoReport(report, table);
  return 0;
}
