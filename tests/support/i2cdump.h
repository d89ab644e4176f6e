// A module's SPD bytes in the layout i2cdump prints them, as users save it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace testsupport {

inline std::string I2cdumpText(std::span<const uint8_t> image) {
  std::string text = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
  for (unsigned at = 0; at < image.size(); ++at) {
    char cell[16];
    if (at % 16 == 0) {
      std::snprintf(cell, sizeof cell, "%02x:", at);
      text += cell;
    }
    std::snprintf(cell, sizeof cell, " %02x", image[at]);
    text += cell;
    if (at % 16 == 15) text += "    ................\n";
  }
  return text;
}

}  // namespace testsupport
