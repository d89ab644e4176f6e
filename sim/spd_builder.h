// SPD images for simulated memory modules: from the facts of a module (type,
// capacity, speed grade, width, maker, part number) to the 256 bytes its
// EEPROM holds, JEDEC-valid for SDR and DDR SDRAM, checksum included. The
// facts stay with the module description so that a decoder can be checked against them.
#pragma once

#include <stdint.h>

#include <array>
#include <string>
#include <vector>

namespace sim {

enum class MemoryType : uint8_t {
  Sdr = 0x04,  // SDR SDRAM
  Ddr = 0x07,  // DDR SDRAM
};

struct DimmSpec {
  MemoryType type = MemoryType::Ddr;
  uint32_t capacityMb = 256;   // whole module; a power of two per rank
  uint8_t ranks = 1;           // physical banks on the module
  std::string speedGrade;      // "PC100", "PC133", "PC2100", "PC2700", "PC3200", ...
  uint8_t dataWidth = 64;      // 72 with ECC
  std::string manufacturer;    // the maker's name, for people
  std::vector<uint8_t> jedecId;  // continuation codes (0x7F) then the maker's code
  std::string partNumber;      // at most 18 characters
  uint32_t serial = 0;
};

// Geometry the builder derives from the facts (x8 devices, 4 internal banks).
struct SpdGeometry {
  uint8_t rowBits;
  uint8_t columnBits;
  uint8_t deviceBanks;
};
SpdGeometry GeometryOf(const DimmSpec& dimm);

// Offsets of the fields a reader looks at.
namespace spd {
constexpr uint8_t kBytesUsed = 0;
constexpr uint8_t kTotalBytesLog2 = 1;
constexpr uint8_t kMemoryType = 2;
constexpr uint8_t kRowBits = 3;
constexpr uint8_t kColumnBits = 4;
constexpr uint8_t kRanks = 5;
constexpr uint8_t kDataWidthLow = 6;
constexpr uint8_t kDataWidthHigh = 7;
constexpr uint8_t kCycleTime = 9;
constexpr uint8_t kConfigType = 11;
constexpr uint8_t kDeviceBanks = 17;
constexpr uint8_t kRankDensity = 31;
constexpr uint8_t kChecksum = 63;
constexpr uint8_t kJedecId = 64;      // 8 bytes
constexpr uint8_t kPartNumber = 73;   // 18 bytes, blank padded
constexpr uint8_t kPartNumberLength = 18;
constexpr uint8_t kSerial = 95;       // 4 bytes
}  // namespace spd

std::array<uint8_t, 256> BuildSpdImage(const DimmSpec& dimm);

// Sum of bytes 0-62, modulo 256: what byte 63 holds.
uint8_t SpdChecksum(const std::array<uint8_t, 256>& image);

// The module's capacity in MB as an image states it (rows, columns, banks,
// ranks, width), for checking a builder or a decoder against the facts.
uint32_t SpdCapacityMb(const std::array<uint8_t, 256>& image);

}  // namespace sim
