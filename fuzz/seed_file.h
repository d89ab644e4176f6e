// The seed generators' one way of writing a seed: `bytes` as the file
// `name` in `dir`, whose path is the program's only argument.
#pragma once

#include <stdint.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace seeds {

inline void Write(const std::string& dir, const std::string& name,
                  const std::vector<uint8_t>& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// The directory the seeds go to, or null (after the usage line) when the
// arguments are not one directory.
inline const char* Directory(int argc, char** argv) {
  if (argc == 2) return argv[1];
  std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
  return nullptr;
}

}  // namespace seeds
