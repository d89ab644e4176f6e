// SPD images for simulated memory modules: from the facts of a module (type,
// capacity, speed grade, width, maker, part number) to the 256 bytes its
// EEPROM holds, JEDEC-valid for SDR, DDR, DDR2, DDR3 and DDR4 SDRAM: the
// byte-63 checksum (SDR, DDR, DDR2) or the CRC-16 in bytes 126-127 (DDR3,
// DDR4; DDR4 a second one over bytes 128-253 in 254-255). The facts stay with
// the module description so that a decoder can be checked against them.
//
// Usage: fill a DimmSpec and call BuildSpdContents (all of the EEPROM: 512
// bytes for DDR4, 256 for the others) or BuildSpdImage (the first 256); a
// board slot takes the DimmSpec itself (SpdSlotSpec::dimm) and its EEPROM
// model gets the image.
// sim/boards/modules.h has one-line makers for each type, e.g.
//   Ddr2(1024, 2, "PC2-6400", "Samsung", kSamsung, "M378T2863QZS-CF7", 0x1234)
//   Ddr3(4096, 2, "PC3-10600", "Kingston", kKingston, "KVR1333D3N9/4G", 0x5678)
// DDR2 grades: "PC2-3200" "PC2-4200" "PC2-5300" "PC2-6400" "PC2-8500";
// DDR3 grades: "PC3-6400" "PC3-8500" "PC3-10600" "PC3-12800" "PC3-14900"
// "PC3-17000"; DDR4 grades: "PC4-12800" "PC4-14900" "PC4-17000" "PC4-19200"
// "PC4-21300" "PC4-23400" "PC4-25600" (DDR4-1600 ... DDR4-3200), e.g.
//   DimmSpec d{.type = MemoryType::Ddr4, .capacityMb = 8192, .ranks = 1,
//              .speedGrade = "PC4-19200", ...};  // 1Rx8 of 8 Gb dies, CL17
// The DDR2/DDR3/DDR4 fields of DimmSpec (form, deviceWidth, ...) have
// defaults that make a plain unbuffered module of x8 devices; SDR and DDR
// images ignore them.
#pragma once

#include <stdint.h>

#include <array>
#include <string>
#include <vector>

namespace sim {

enum class MemoryType : uint8_t {
  Sdr = 0x04,   // SDR SDRAM
  Ddr = 0x07,   // DDR SDRAM
  Ddr2 = 0x08,  // DDR2 SDRAM
  Ddr3 = 0x0B,  // DDR3 SDRAM
  Ddr4 = 0x0C,  // DDR4 SDRAM
};

// The module's form as DDR2 byte 20 and DDR3/DDR4 byte 3 state it (DDR2 has
// none of the last three, DDR4 no Micro-DIMM).
enum class ModuleForm : uint8_t {
  Udimm,   // unbuffered DIMM
  Rdimm,   // registered DIMM
  SoDimm,  // small-outline DIMM
  MicroDimm,
  MiniRdimm,
  MiniUdimm,
  Lrdimm,     // load-reduced DIMM
  SoUdimm72,  // 72-bit (ECC) unbuffered SO-DIMM
  SoRdimm72,  // 72-bit registered SO-DIMM
};

// An Intel XMP profile: a faster clock with its latencies and supply voltage
// (DDR3: XMP 1.3 in bytes 176-254; DDR4: XMP 2.0 in 384-486). The other
// times come from the module's JEDEC part, so the profile's clock sets them.
struct XmpProfile {
  uint32_t tckPs = 0;  // the clock period in ps: 555 for DDR4-3600, 1071 for DDR3-1866
  uint8_t cl = 0, trcd = 0, trp = 0, tras = 0;  // in clocks
  uint16_t millivolts = 0;                      // 1350, 1650
  uint8_t dimmsPerChannel = 1;
};

struct DimmSpec {
  MemoryType type = MemoryType::Ddr;
  uint32_t capacityMb = 256;     // whole module; a power of two per rank
  uint8_t ranks = 1;             // physical banks on the module
  std::string speedGrade;        // "PC100", "PC133", "PC2100", "PC2700", "PC3200", ...
  uint8_t dataWidth = 64;        // 72 with ECC
  std::string manufacturer;      // the maker's name, for people
  std::vector<uint8_t> jedecId;  // continuation codes (0x7F) then the maker's code
  std::string partNumber;        // at most 18 characters (DDR4: 20)
  uint32_t serial = 0;

  // DDR2, DDR3 and DDR4 only.
  ModuleForm form = ModuleForm::Udimm;
  uint8_t deviceWidth = 8;             // bits of each DRAM device: 4, 8 or 16
  std::vector<uint8_t> dramJedecId{};  // DDR3, DDR4: the DRAM maker; empty: the module's maker
  bool lowVoltage = false;             // DDR3: operable at 1.35 V as well as 1.5 V
  bool thermalSensor = false;          // DDR3, DDR4: a thermal sensor on the module
  bool extendedTemperature = false;    // DDR3: 0-95 C with the doubled refresh rate
  bool crcOver126Bytes = false;        // DDR3: the CRC covers bytes 0-125, not 0-116
  // DDR3, DDR4: year (2000-2099) and week of manufacture; 0 gives the
  // type's usual date (DDR3 2011 week 22, DDR4 2018 week 12).
  uint16_t year = 0;
  uint8_t week = 0;

  // DDR3, DDR4: up to two XMP profiles (profile 1 first); none: no XMP.
  std::vector<XmpProfile> xmp{};

  // DDR4 only.
  uint8_t dies = 1;        // dies in each package: above 1 a 3DS stack (2, 4 or 8)
  uint8_t casLatency = 0;  // CL = nRCD = nRP of the bin; 0: the grade's usual bin
};

// Geometry the builder derives from the facts (SDR and DDR: x8 devices, 4
// internal banks; DDR2 and DDR3: the device width the facts give).
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
constexpr uint8_t kJedecId = 64;     // 8 bytes
constexpr uint8_t kPartNumber = 73;  // 18 bytes, blank padded
constexpr uint8_t kPartNumberLength = 18;
constexpr uint8_t kSerial = 95;  // 4 bytes
}  // namespace spd

// The first 256 bytes of the EEPROM (for DDR4 its page 0).
std::array<uint8_t, 256> BuildSpdImage(const DimmSpec& dimm);

// Everything the EEPROM holds: 512 bytes for DDR4 (two pages), else 256.
std::vector<uint8_t> BuildSpdContents(const DimmSpec& dimm);

// Sum of bytes 0-62, modulo 256: what byte 63 holds (SDR, DDR, DDR2).
uint8_t SpdChecksum(const std::array<uint8_t, 256>& image);

// DDR3: the CRC-16 (polynomial 0x1021, initial 0) over bytes 0-116, or 0-125
// when byte 0 bit 7 is clear; what bytes 126 (low) and 127 (high) hold.
uint16_t SpdCrc16(const std::array<uint8_t, 256>& image);

// The module's capacity in MB as an image states it (rows, columns, banks,
// ranks, width; DDR3, DDR4: device density, widths and ranks, DDR4 3DS
// stacks their dies), for checking a
// builder or a decoder against the facts.
uint32_t SpdCapacityMb(const std::array<uint8_t, 256>& image);

}  // namespace sim
