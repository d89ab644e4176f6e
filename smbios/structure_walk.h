// The walk over the structures of an SMBIOS table copy that the counts and the
// report share, and the length rule that moves it from one structure to the
// next.
//
// Nothing here reads past the end of the table. A structure is visited when
// its 4-byte header lies inside the table and its formatted length covers at
// least that header; a field is read only where it lies inside both the
// formatted area and the table (elsewhere it is absent); a structure whose
// formatted area or string set runs to the end of the table is visited and
// ends the walk.
#pragma once

#include <stdint.h>

#include "smbios/smbios_cache.h"

// Structure types the queries look at.
namespace SmbiosType {
constexpr uint8_t SystemInformation = 1;
constexpr uint8_t BaseboardInformation = 2;
constexpr uint8_t MemoryController = 5;
constexpr uint8_t MemoryModule = 6;
constexpr uint8_t PhysicalMemoryArray = 16;
constexpr uint8_t MemoryDevice = 17;
}  // namespace SmbiosType

// Every structure begins with type (byte 0), formatted length (byte 1, header
// included) and handle (bytes 2-3).
constexpr uint32_t kStructureHeaderLength = 4;

// One structure as the walk hands it out.
struct SmbiosStructure {
  const uint8_t* Start;
  uint32_t Available;  // bytes from Start to the end of the table
  uint8_t Type;
  uint8_t FormattedLength;
};

// Bytes by which the walk advances past the structure at `structure`, given
// the `available` bytes from it to the end of the table. Type 5: f + 2 when
// the two bytes after the formatted area are zero, else f (its string set is
// not scanned). Other types: up to and including the two zero bytes that end
// the string set. When those bytes are not inside the table, the rest of the
// table.
uint16_t StructureLength(const uint8_t* structure, uint32_t available);

struct StructureWalk {
  SmbiosTableRef Table;
  uint32_t Index;   // structures visited so far
  uint16_t Offset;  // start of the next structure
};

void BeginStructureWalk(StructureWalk* walk, const SmbiosTableRef& table);

// The next structure, or false when the walk is over: the structure count is
// reached, the table is used up, or the next header is not whole.
bool NextStructure(StructureWalk* walk, SmbiosStructure* structure);

// Fields of the formatted area; false when the field lies outside it.
bool ReadFieldByte(const SmbiosStructure& structure, uint8_t offset, uint8_t* value);
bool ReadFieldWord(const SmbiosStructure& structure, uint8_t offset, uint16_t* value);
