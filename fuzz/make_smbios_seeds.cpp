// Writes the seed corpus of the SMBIOS fuzz target: the board profiles'
// tables and a few built to reach the edges of the walk, each as a 16-bit
// structure count followed by the table. Run once; the files are committed.
#include <cstdio>
#include <fstream>
#include <string>

#include "sim/board.h"
#include "sim/smbios_builder.h"

namespace {

void Write(const std::string& dir, const std::string& name, const sim::SmbiosImage& image) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  const char count[2] = {static_cast<char>(image.structureCount & 0xFF),
                         static_cast<char>(image.structureCount >> 8)};
  out.write(count, 2);
  out.write(reinterpret_cast<const char*>(image.bytes.data()),
            static_cast<std::streamsize>(image.bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  for (const sim::Board& board : sim::Boards()) {
    if (board.smbios.present) Write(dir, board.name, sim::BuildSmbiosTable(board.smbios));
  }
  Write(dir, "two-systems",
        sim::SmbiosBuilder()
            .SystemInformation("First", "Product", "1", "")
            .SystemInformation("", "Second", "", "S")
            .BaseboardInformation("B", "", "", "")
            .EndOfTable()
            .Build());
  Write(dir, "type5-with-strings",
        sim::SmbiosBuilder()
            .Add(5, std::vector<uint8_t>(11, 0), {"stray"})
            .MemoryModule("DIMM0", 0x83)
            .EndOfTable()
            .Build());
  sim::SmbiosBuilder many;
  for (int i = 0; i < 40; ++i) many.MemoryDevice(i % 3 == 0 ? 0 : 256, "D" + std::to_string(i));
  Write(dir, "many-devices", many.Build());
  return 0;
}
