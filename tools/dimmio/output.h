// How the tool writes what it found: JSON that is always valid whatever bytes
// the hardware gave, and the SPD facts as JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

#include "dimmio/spd.h"

namespace dimmio::cli {

// `value` as upper-case hex, zero-padded to `digits`.
std::string Hex(uint32_t value, int digits);

// Writes `json` indented, one value and a newline. Bytes in its strings that
// are not valid UTF-8 come out as U+FFFD; it never throws for them.
void PrintJson(std::ostream& out, const nlohmann::json& json);

// Every decoded fact of an SPD image.
nlohmann::json SpdJson(const SpdFacts& facts);

}  // namespace dimmio::cli
