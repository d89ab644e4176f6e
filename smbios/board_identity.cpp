// The board's identity as its SMBIOS table gives it: the maker and product
// strings of the baseboard (type-2) structures.
#include "smbios/board_identity.h"

#include "driver/op_status.h"
#include "smbios/smbios_cache.h"
#include "smbios/structure_strings.h"
#include "smbios/structure_walk.h"

namespace {

constexpr uint8_t kMakerIndexOffset = 0x04;    // string numbers, as in the report
constexpr uint8_t kProductIndexOffset = 0x05;

bool SameText(const uint8_t* text, const char* want) {
  if (text == nullptr) return false;
  for (; *want != '\0'; ++text, ++want) {
    if (*text != static_cast<uint8_t>(*want)) return false;
  }
  return *text == 0;
}

bool FieldIs(const SmbiosStructure& s, const uint8_t* const* strings, uint32_t count,
             uint8_t offset, const char* want) {
  uint8_t index = 0;
  return ReadFieldByte(s, offset, &index) && SameText(GetString(strings, count, index), want);
}

}  // namespace

bool SmbiosBoardIs(const char* maker, const char* product) {
  // A missing table only means the board is not known; why it is missing is
  // left for the first SMBIOS query to report.
  const SmbiosTableRef table = LookupSmbiosTable(nullptr);
  if (table.Table == nullptr || table.Length == 0) return false;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    if (s.Type != SmbiosType::BaseboardInformation) continue;
    const uint8_t* strings[kMaxStructureStrings];
    const uint32_t count =
        CollectStrings(strings, kMaxStructureStrings, s.Start, table.Table + table.Length);
    if (FieldIs(s, strings, count, kMakerIndexOffset, maker) &&
        FieldIs(s, strings, count, kProductIndexOffset, product)) {
      return true;
    }
  }
  return false;
}
