// The byte form of a request sequence the request fuzz target sends, and the
// one place that reads and writes it (the target reads, the seed generator
// writes):
//
//   byte 0          board, an index into sim::Boards() (modulo their number)
//   then, up to kMaxRequests times:
//     byte          code selector, modulo n + 2 for the n codes of the
//                   request table: below n those codes in the order of their
//                   function numbers; n: any code, 4 bytes follow
//                   (little-endian); n + 1: device type 0x9C40 with any low
//                   16 bits, 2 bytes follow
//     byte          input length (0-255)
//     2 bytes       output length, little-endian, below kOutputLimit
//     input bytes   as many as the input length (zeros where the data ends)
//
// Output lengths stop below kOutputLimit: past the 5208 bytes of a whole
// device table no check or envelope changes, and an SPD read that long only
// costs time.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace requestfuzz {

constexpr size_t kMaxRequests = 24;
constexpr uint32_t kOutputLimit = 0x2000;

struct ScriptRequest {
  uint32_t code = 0;
  std::vector<uint8_t> input;
  uint32_t outputLength = 0;
};

struct Script {
  size_t board = 0;
  std::vector<ScriptRequest> requests;
};

// Any bytes make a script; an empty input makes none.
bool Decode(const uint8_t* data, size_t size, size_t boardCount, Script* script);
// The bytes Decode reads back into `script` (output lengths below the limit).
std::vector<uint8_t> Encode(const Script& script);

}  // namespace requestfuzz
