// SHA-256 (FIPS 180-4), for checking a driver file against the one a build made.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dimmio::cli {

// The digest of `bytes` as 64 lowercase hex digits.
std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace dimmio::cli
