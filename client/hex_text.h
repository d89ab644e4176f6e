// Numbers in the messages and tables the client writes: "0x" and upper-case
// hex digits, zero-padded to `digits`.
#pragma once

#include <stdint.h>

#include <cstdio>
#include <string>

namespace dimmio {

inline std::string HexText(uint32_t value, int digits = 1) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace dimmio
