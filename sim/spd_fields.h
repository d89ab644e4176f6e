// Field writers and checks the SPD image builders share: powers of two, the
// JEDEC odd-parity bit, the blank-padded part number, the serial number, the
// CRC-16 and the manufacturing date in BCD.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <stdexcept>
#include <string>

#include "sim/spd_builder.h"

namespace sim::spd_fields {

inline unsigned Log2(uint64_t value) {
  unsigned n = 0;
  while ((1ull << n) < value) ++n;
  if ((1ull << n) != value) throw std::invalid_argument("not a power of two");
  return n;
}

// log2 of the bits each device of a rank holds (the rank's 64 data bits
// spread over 64 / deviceWidth devices), over `dies` dies of a package.
inline unsigned DeviceBitsLog2(const DimmSpec& dimm, unsigned dies = 1) {
  return Log2(dimm.capacityMb / dimm.ranks) + 23 - Log2(64 / dimm.deviceWidth) - Log2(dies);
}

// A JEDEC byte with its top bit set where needed to give odd parity.
inline uint8_t WithOddParity(uint8_t low7) {
  return static_cast<uint8_t>(low7 | (__builtin_popcount(low7) % 2 == 0 ? 0x80 : 0));
}

inline void PutPartNumber(uint8_t* b, const std::string& part, size_t length) {
  if (part.size() > length) throw std::invalid_argument("part number too long");
  for (size_t i = 0; i < length; ++i) b[i] = i < part.size() ? static_cast<uint8_t>(part[i]) : 0x20;
}

// Four bytes, lowest first.
inline void PutSerial(uint8_t* b, uint32_t serial) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(serial >> (8 * i));
}

inline uint8_t Bcd(unsigned value) {
  return static_cast<uint8_t>((value / 10 % 10) << 4 | value % 10);
}

// Year (last two digits) and week in BCD; the defaults where the facts give none.
inline void PutDate(uint8_t* b, const DimmSpec& dimm, unsigned defaultYear, unsigned defaultWeek) {
  if (dimm.week > 53) throw std::invalid_argument("week");
  b[0] = Bcd(dimm.year != 0 ? dimm.year % 100 : defaultYear);
  b[1] = Bcd(dimm.week != 0 ? dimm.week : defaultWeek);
}

// CRC-16, polynomial 0x1021, initial value 0, most significant bit first.
inline uint16_t Crc16(const uint8_t* data, size_t count) {
  uint16_t crc = 0;
  for (size_t i = 0; i < count; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc;
}

// The CRC of `count` bytes from `first`, stored low byte first at `at`.
inline void PutCrc(uint8_t* image, size_t first, size_t count, size_t at) {
  const uint16_t crc = Crc16(image + first, count);
  image[at] = static_cast<uint8_t>(crc);
  image[at + 1] = static_cast<uint8_t>(crc >> 8);
}

}  // namespace sim::spd_fields
