#include "smbios/structure_strings.h"

uint32_t CollectStrings(const uint8_t** strings, uint32_t limit, const uint8_t* structure,
                        const uint8_t* tableEnd) {
  // The formatted length must be inside the table, and the set start before its end.
  if (limit == 0 || tableEnd - structure < 2) return 0;
  const uint32_t formatted = structure[1];
  if (formatted >= static_cast<uint32_t>(tableEnd - structure)) return 0;
  uint32_t count = 0;
  const uint8_t* stringStart = structure + formatted;
  bool insideString = true;
  for (const uint8_t* p = stringStart; p < tableEnd; ++p) {
    if (insideString) {
      if (*p != 0) continue;
      strings[count++] = stringStart;
      if (count >= limit) break;
      insideString = false;
    } else {
      if (*p == 0) break;  // the second zero: the set ends
      stringStart = p;
      insideString = true;
    }
  }
  return count;
}

const uint8_t* GetString(const uint8_t* const* strings, uint32_t count, uint8_t index) {
  if (index == 0 || index > count) return nullptr;
  return strings[index - 1];
}

void CopyString(uint8_t* destination, const uint8_t* source, uint32_t size) {
  if (destination == nullptr || source == nullptr || size == 0) return;
  uint32_t i = 0;
  for (; i + 1 < size && source[i] != 0; ++i) destination[i] = source[i];
  destination[i] = 0;
}
