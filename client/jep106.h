// The JEDEC JEP106 maker code tables: bank by bank, the makers by their
// number within the bank (1-126; the code byte is the number with an odd
// parity bit in bit 7).
#pragma once

#include <cstdint>

namespace dimmio::jep106 {

// The banks with makers in the tables; higher banks are known to exist but
// hold no names here.
constexpr uint8_t kBanks = 8;

// The maker numbered `number` (1-126) in `bank` (1-kBanks); nullptr when the
// number is outside the table or the table does not name it.
const char* MakerName(uint8_t bank, uint8_t number);

}  // namespace dimmio::jep106
