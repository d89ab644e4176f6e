// What a memory module's SPD EEPROM says about the module: type, capacity,
// speed grade, data width, maker and part number, decoded from the bytes the
// module maker wrote (bytes 0-127) for SDR and DDR SDRAM modules.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dimmio {

// SPD byte 2, the fundamental memory type.
enum class SpdMemoryType : uint8_t {
  FpmDram = 0x01,
  EdoDram = 0x02,
  SdrSdram = 0x04,
  DdrSdram = 0x07,
  Ddr2Sdram = 0x08,
  Ddr3Sdram = 0x0B,
  Ddr4Sdram = 0x0C,
};

// The maker of a module, from its JEDEC identification code: the number of
// continuation codes (0x7F) before the maker's code gives the bank.
struct JedecMaker {
  uint8_t Bank = 0;   // 1 for a code without continuation codes; 0 when none is stored
  uint8_t Code = 0;   // the maker's code within its bank, parity bit included
  std::string Name;   // "" when the code is not in the table
};

struct SpdFacts {
  uint8_t TypeByte = 0;
  std::string Type;           // "DDR SDRAM", "SDR SDRAM", ... or "unknown (0xNN)"
  bool Decoded = false;       // SDR or DDR: the fields below are filled
  uint32_t CapacityMb = 0;    // whole module
  uint8_t Ranks = 0;
  std::string SpeedGrade;     // module name of the speed: "PC3200", "PC133"; "" when unnamed
  std::string ChipSpeed;      // "DDR400", "SDR133" (data rate in MT/s)
  uint32_t CycleTimePs = 0;   // the shortest clock period, picoseconds
  uint16_t DataWidth = 0;     // bits, check bits included
  bool Ecc = false;           // 8 of those bits are ECC or parity bits
  JedecMaker Maker;
  std::string PartNumber;     // trailing blanks removed
  uint32_t SerialNumber = 0;
  uint8_t StoredChecksum = 0;    // byte 63
  uint8_t ComputedChecksum = 0;  // sum of bytes 0-62, modulo 256
  bool ChecksumOk() const { return StoredChecksum == ComputedChecksum; }
};

// The SPD bytes a decoder needs: the first 128 (the module maker's part).
constexpr size_t kSpdDecodedBytes = 128;

// Decodes `bytes` read from offset 0; fewer than 64 bytes give an undecoded
// result (no checksum either).
SpdFacts DecodeSpd(std::span<const uint8_t> bytes);

// The name of SPD memory type byte `type`; "unknown (0xNN)" for others.
std::string SpdMemoryTypeName(uint8_t type);

// The maker in a JEDEC identification field (up to 8 bytes: continuation
// codes, then the maker's code).
JedecMaker DecodeJedecId(std::span<const uint8_t> id);

// "Samsung" for bank 1 code 0xCE, ... ; nullptr for a code not in the table.
const char* JedecMakerName(uint8_t bank, uint8_t code);

}  // namespace dimmio
