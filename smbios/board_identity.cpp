// The machine's identity as its SMBIOS table gives it: the maker and product
// strings of the system (type-1) and baseboard (type-2) structures.
#include "smbios/board_identity.h"

#include "driver/op_status.h"
#include "smbios/smbios_cache.h"
#include "smbios/structure_strings.h"
#include "smbios/structure_walk.h"

namespace {

constexpr uint8_t kMakerIndexOffset = 0x04;  // string numbers, as in the report
constexpr uint8_t kProductIndexOffset = 0x05;

// Whether `want` stands anywhere in the zero-terminated `text`.
bool Holds(const uint8_t* text, const char* want) {
  if (text == nullptr) return false;
  for (; *text != 0; ++text) {
    const uint8_t* t = text;
    const char* w = want;
    while (*w != '\0' && *t == static_cast<uint8_t>(*w)) ++t, ++w;
    if (*w == '\0') return true;
  }
  return *want == '\0';
}

bool FieldHolds(const SmbiosStructure& s, const uint8_t* const* strings, uint32_t count,
                uint8_t offset, const char* want) {
  uint8_t index = 0;
  return ReadFieldByte(s, offset, &index) && Holds(GetString(strings, count, index), want);
}

// Whether a structure of `type` holds `maker` in its maker field and, unless
// null, `product` in its product field.
bool AnyStructureHolds(uint8_t type, const char* maker, const char* product) {
  // A missing table only means the machine is not known; why it is missing
  // is left for the first SMBIOS query to report.
  const SmbiosTableRef table = LookupSmbiosTable(nullptr);
  if (table.Table == nullptr || table.Length == 0) return false;
  StructureWalk walk;
  BeginStructureWalk(&walk, table);
  SmbiosStructure s;
  while (NextStructure(&walk, &s)) {
    if (s.Type != type) continue;
    const uint8_t* strings[kMaxStructureStrings];
    const uint32_t count =
        CollectStrings(strings, kMaxStructureStrings, s.Start, table.Table + table.Length);
    if (FieldHolds(s, strings, count, kMakerIndexOffset, maker) &&
        (product == nullptr || FieldHolds(s, strings, count, kProductIndexOffset, product))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool SmbiosBoardIs(const char* maker, const char* product) {
  return AnyStructureHolds(SmbiosType::BaseboardInformation, maker, product);
}

bool SmbiosSystemMakerHas(const char* maker) {
  return AnyStructureHolds(SmbiosType::SystemInformation, maker, nullptr);
}
