// SPD images in saved files: the hex dump `dimmio spd` prints, i2cdump's
// output, or the raw bytes (128 or 256 of them, as `dimmio spd --raw` writes;
// 512 for a DDR4 module's two pages).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dimmio {

struct SpdDump {
  std::vector<uint8_t> Bytes;  // from offset 0: 128 or 256 bytes; DDR4 (type byte 0x0C) also 512
  std::string Format;          // "hex dump" or "raw binary"
  std::string Error;           // what is wrong with the file; "" when Bytes hold the image
};

// Reads an SPD image from the contents of a file. A text file gives its
// lines "OFFSET: XX XX ..." (at most 16 bytes a line, "XX" for a byte that
// could not be read; other lines are ignored); it must hold bytes 0-127.
// Offsets 0x100-0x1FF are taken for a DDR4 module only.
SpdDump ParseSpdDump(std::span<const uint8_t> file);

}  // namespace dimmio
