// The string set behind a structure's formatted area: zero-terminated strings,
// string 1 first, ended by one more zero byte.
#pragma once

#include <stdint.h>

#include "smbios/structure_walk.h"

// Most strings recorded for one structure.
constexpr uint32_t kMaxStructureStrings = 64;

// Records the start of each string of `structure`'s set into `strings`, at
// most `limit` of them, and returns how many. Only strings terminated before
// `tableEnd` are recorded; an empty set yields one entry, the empty string.
uint32_t CollectStrings(const uint8_t** strings, uint32_t limit, const uint8_t* structure,
                        const uint8_t* tableEnd);

// String number `index` (1-based) of `count` recorded ones; null for index 0
// or an index past them.
const uint8_t* GetString(const uint8_t* const* strings, uint32_t count, uint8_t index);

// Copies `source` up to its zero byte, at most size - 1 bytes, and a zero byte
// after them. Does nothing when either pointer is null or size is 0.
void CopyString(uint8_t* destination, const uint8_t* source, uint32_t size);
