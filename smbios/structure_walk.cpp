#include "smbios/structure_walk.h"

#include "smbios/le_bytes.h"

namespace {

constexpr uint32_t kFormattedLengthOffset = 1;

// The bytes of the formatted area that are inside the table.
uint32_t FormattedBytes(const SmbiosStructure& s) {
  return s.FormattedLength < s.Available ? s.FormattedLength : s.Available;
}

}  // namespace

uint16_t StructureLength(const uint8_t* structure, uint32_t available) {
  if (available <= kFormattedLengthOffset) return static_cast<uint16_t>(available);
  const uint32_t f = structure[kFormattedLengthOffset];
  if (f >= available) return static_cast<uint16_t>(available);
  if (structure[0] == SmbiosType::MemoryController) {
    const bool setEmpty = f + 2 <= available && structure[f] == 0 && structure[f + 1] == 0;
    return static_cast<uint16_t>(setEmpty ? f + 2 : f);
  }
  for (uint32_t i = f; i + 2 <= available; ++i) {
    if (structure[i] == 0 && structure[i + 1] == 0) return static_cast<uint16_t>(i + 2);
  }
  return static_cast<uint16_t>(available);
}

void BeginStructureWalk(StructureWalk* walk, const SmbiosTableRef& table) {
  walk->Table = table;
  walk->Index = 0;
  walk->Offset = 0;
}

bool NextStructure(StructureWalk* walk, SmbiosStructure* structure) {
  const SmbiosTableRef& t = walk->Table;
  if (t.Table == nullptr || walk->Index >= t.StructureCount || walk->Offset >= t.Length) {
    return false;
  }
  const uint32_t available = t.Length - walk->Offset;
  const uint8_t* start = t.Table + walk->Offset;
  // A broken header (cut off, or claiming to be shorter than itself) gives no
  // way to the next structure: the walk ends there.
  if (available < kStructureHeaderLength ||
      start[kFormattedLengthOffset] < kStructureHeaderLength) {
    walk->Offset = t.Length;
    return false;
  }
  structure->Start = start;
  structure->Available = available;
  structure->Type = start[0];
  structure->FormattedLength = start[kFormattedLengthOffset];
  walk->Offset = static_cast<uint16_t>(walk->Offset + StructureLength(start, available));
  ++walk->Index;
  return true;
}

bool ReadFieldByte(const SmbiosStructure& structure, uint8_t offset, uint8_t* value) {
  if (offset + 1u > FormattedBytes(structure)) return false;
  *value = structure.Start[offset];
  return true;
}

bool ReadFieldWord(const SmbiosStructure& structure, uint8_t offset, uint16_t* value) {
  if (offset + 2u > FormattedBytes(structure)) return false;
  *value = ReadLe16(structure.Start + offset);
  return true;
}
