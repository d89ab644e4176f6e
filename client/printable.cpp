// Text from hardware made safe to print: the one rule every output of the
// tools follows for strings a module or a BIOS supplied.
#include <cstdio>

#include "dimmio/spd.h"

namespace dimmio {

namespace {

// The length of the valid UTF-8 sequence at the start of `s`, 0 when there
// is none (stray continuation byte, overlong form, surrogate, beyond U+10FFFF).
size_t Utf8Length(std::string_view s, uint32_t* codePoint) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte(0);
  size_t length;
  uint32_t value;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *codePoint = value;
  return length;
}

bool IsControl(uint32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace

std::string PrintableText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    uint32_t codePoint = 0;
    size_t length = Utf8Length(bytes, &codePoint);
    const bool keep = length != 0 && !IsControl(codePoint);
    if (length == 0) length = 1;
    if (keep) {
      text.append(bytes.substr(0, length));
    } else {
      for (size_t i = 0; i < length; ++i) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<uint8_t>(bytes[i]));
        text += escaped;
      }
    }
    bytes.remove_prefix(length);
  }
  return text;
}

}  // namespace dimmio
