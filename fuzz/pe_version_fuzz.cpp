// Arbitrary bytes as a driver file whose version the elevated tool reads from
// the service's image path: the image parse and the version resource walk
// read only inside the bytes (the sanitizers hold them to it), and what they
// return is consistent with the bytes they were given.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/pe/pe_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the input's length, so a read past the end is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  std::string error;
  const std::optional<peimage::Image> image = peimage::Parse(bytes, &error);
  if (!image) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  error.clear();
  const std::optional<peimage::VersionInfo> info = peimage::ReadVersionInfo(bytes, *image, &error);
  if (!info && error.empty()) __builtin_trap();
  if (info) {
    for (const auto& [key, value] : info->Strings) {
      // Characters past ASCII are read as '?'.
      for (const char c : key + value) {
        if (static_cast<unsigned char>(c) >= 0x80) __builtin_trap();
      }
    }
  }
  return 0;
}
