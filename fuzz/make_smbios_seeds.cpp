// Writes the seed corpus of the SMBIOS fuzz target: the board profiles'
// tables and a few built to reach the edges of the walk, each as a 16-bit
// structure count followed by the table. Run once; the files are committed.
#include <string>

#include "seed_file.h"
#include "sim/board.h"
#include "sim/smbios_builder.h"

namespace {

// A table as its 16-bit structure count followed by its bytes.
void Write(const std::string& dir, const std::string& name, const sim::SmbiosImage& image) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(image.structureCount),
                                static_cast<uint8_t>(image.structureCount >> 8)};
  bytes.insert(bytes.end(), image.bytes.begin(), image.bytes.end());
  seeds::Write(dir, name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = seeds::Directory(argc, argv);
  if (dir == nullptr) return 2;
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
