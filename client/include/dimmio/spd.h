// What a memory module's SPD EEPROM says about the module, decoded from the
// bytes the module maker wrote (bytes 0-127; DDR3 bytes 0-175; DDR4 0-383),
// and the Intel XMP profiles a DDR3 or DDR4 module carries,
// for SDR, DDR, DDR2, DDR3 and DDR4 SDRAM modules: type, organisation and size of each rank,
// error checking, timings at each supported CAS latency (DDR2, DDR3: at each
// standard speed met) with the standard speed they reach, maker and
// manufacturing data, and the type's own checksum or CRC. Other memory types
// are named by their type byte.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  uint8_t Bank = 0;       // 1 for a code without continuation codes; 0 when none is stored
  uint8_t Code = 0;       // the maker's code within its bank, parity bit included
  bool ParityOk = false;  // the code has odd parity, as every JEDEC code does
  std::string Name;       // "" when the code is not in the table or its parity is wrong
};

enum class SpdErrorCheck : uint8_t { None, Parity, Ecc };

// How the type protects its bytes: SDR, DDR, DDR2 and older the sum of
// bytes 0-62 in byte 63; DDR3 a CRC-16 over bytes 0-116 or 0-125 (byte 0
// bit 7), DDR4 one over bytes 0-125, in bytes 126-127. None where the rule
// is not known or the bytes it covers were not read.
enum class SpdCheckRule : uint8_t { None, Sum, Crc16 };

// One supported CAS latency with the clock the module runs at there.
struct SpdCasTiming {
  uint16_t CasTenths = 0;     // CAS latency in tenths of a clock (25 = CL2.5)
  uint32_t CycleTimePs = 0;   // tCK at this latency
  uint32_t AccessTimePs = 0;  // tAC, data out after the clock, at this tCK; 0 when not stated
  uint32_t Trcd = 0, Trp = 0, Tras = 0;  // in clocks at this tCK
  std::string Grade;      // highest standard grade met: "PC3200"; "" when below every one
  std::string ChipSpeed;  // "DDR400", "SDR133"
};

// The groups of SpdFacts a decoded module's type states, which the listing
// and the JSON write: DDR2 and later the Ddr2 group, DDR3 and DDR4 the Ddr3
// group (and the common facts read as DDR3 states them: the operable
// voltages, not an interface level, and the rank sizes against the device
// density in byte 4), DDR4 alone the Ddr4 group.
struct SpdTypeFields {
  bool Ddr2 = false, Ddr3 = false, Ddr4 = false;
};

constexpr SpdTypeFields FieldsOf(SpdMemoryType type) {
  const bool ddr4 = type == SpdMemoryType::Ddr4Sdram;
  const bool ddr3 = type == SpdMemoryType::Ddr3Sdram || ddr4;
  return {.Ddr2 = ddr3 || type == SpdMemoryType::Ddr2Sdram, .Ddr3 = ddr3, .Ddr4 = ddr4};
}

// An Intel XMP profile (DDR3 XMP 1.x, DDR4 XMP 2.0): the clock the module
// runs at beyond its JEDEC grades, with its voltage and timings.
struct SpdXmpProfile {
  uint8_t Number = 0;  // 1 or 2
  uint8_t DimmsPerChannel = 0;
  uint16_t VoltageMv = 0;
  std::vector<uint16_t> CasTenths;  // the latencies the profile supports
  // At the profile's clock: the lowest of them covering tAA (DDR4 with the
  // guard band) and tRCD, tRP, tRAS in clocks. Grade and ChipSpeed name the
  // clock ("PC4-28800", "DDR4-3600"); CasTenths 0 when no latency covers tAA.
  SpdCasTiming At;
  uint32_t TaaPs = 0, TrcdPs = 0, TrpPs = 0, TrasPs = 0, TrcPs = 0;
  uint32_t TrfcPs = 0, Trfc2Ps = 0, Trfc4Ps = 0;           // DDR3 tRFC; DDR4 tRFC1, 2, 4
  uint32_t TrrdPs = 0, TrrdLPs = 0, TfawPs = 0;            // DDR4 tRRD_S and tRRD_L
  uint32_t TwrPs = 0, TwtrPs = 0, TrtpPs = 0, TcwlPs = 0;  // DDR3 only
};

// Each fact of the later types lives in the group of the type that first
// states it, and a later type that states it again fills that group too:
// one home for each fact, which the listing and the JSON read whatever the
// type. Zero and empty where the module's type does not state the fact.

// What DDR2 brings: the module's type and supply voltages, the standard
// speeds it meets and the write and precharge delays. DDR3 and DDR4 fill it
// as well, but for what they no longer state (DDR3 the longest clock, DDR4
// tRTP).
struct SpdDdr2Facts {
  std::string ModuleType;            // "UDIMM", "RDIMM", "SO-DIMM", ...
  std::vector<uint16_t> VoltagesMv;  // the supply voltages (DDR2: SSTL 1.8 V only), in mV
  // The lowest latency and the delays in clocks at each standard speed the
  // module meets, the fastest first.
  std::vector<SpdCasTiming> StandardSpeeds;
  uint32_t MaxCycleTimePs = 0;  // DDR2 byte 43, DDR4 byte 19: the longest clock period
  uint32_t TwrPs = 0, TwtrPs = 0, TrtpPs = 0;  // DDR4: tWR and tWTR_S
};

// What DDR3 brings: the access time, the four-activate window, the
// temperature range (DDR3 alone), the thermal sensor and the maker of the
// DRAM devices (DDR3 bytes 148-149, DDR4 350-351; bank 0 when not stated).
// DDR4 fills it as well.
struct SpdDdr3Facts {
  uint32_t TaaPs = 0, TfawPs = 0;
  uint8_t MaxTemperatureC = 0;  // the operating range's top: 85 or 95 C
  bool ThermalSensor = false;
  JedecMaker DramMaker;
};

// What DDR4 alone states.
struct SpdDdr4Facts {
  // The dies of each package, the package ("monolithic", "3DS (2 dies)"),
  // and the times of bank groups and the finer refresh modes.
  uint8_t Dies = 0;
  std::string Package;
  uint32_t Trfc2Ps = 0, Trfc4Ps = 0, TrrdLPs = 0, TccdLPs = 0, TwtrLPs = 0;
  // The CRC of bytes 128-253 in bytes 254-255; not checked when the bytes
  // end before 256.
  bool Crc2Checked = false;
  uint16_t StoredCrc2 = 0, ComputedCrc2 = 0;
};

// The facts every memory type has, and the group of each type that states
// more (the listing and the JSON write a group's facts only for the types
// that state them: see FieldsOf).
struct SpdFacts {
  SpdMemoryType Memory{};     // byte 2, whatever it holds
  std::string Type;           // "DDR SDRAM", "SDR SDRAM", "DDR2 SDRAM", ... or "unknown (0xNN)"
  bool Blank = false;         // bytes 0-127 all 0x00 or all 0xFF: nothing written
  bool Decoded = false;       // SDR, DDR, DDR2, DDR3 or DDR4: the fields below are filled
  uint16_t BytesWritten = 0;  // byte 0 (DDR3: its bits 3-0 coded)
  uint32_t EepromBytes = 0;   // from byte 1 (log2)
  uint8_t SpdRevision = 0;    // byte 62 (DDR3 byte 1): major in the high nibble, minor in the low

  // Organisation: rank 1, and rank 2 where the high nibbles of bytes 3-4 differ.
  uint8_t Ranks = 0;
  uint8_t RowBits[2] = {}, ColumnBits[2] = {};
  uint8_t DeviceBanks = 0;      // internal banks of each device
  uint8_t DeviceWidth = 0;      // bits of each device (byte 13)
  uint32_t RankMb[2] = {};      // size of rank 1 and of rank 2 (0 when the module has one rank)
  uint32_t CapacityMb = 0;      // whole module
  bool Asymmetric = false;      // rank 2 has its own rows or columns
  bool DensityMatches = false;  // every rank's size is a bit of byte 31
  uint8_t DensityByte = 0;      // byte 31

  uint16_t DataWidth = 0;  // bits, check bits included
  SpdErrorCheck ErrorCheck = SpdErrorCheck::None;
  bool Ecc = false;         // ErrorCheck == Ecc
  std::string Voltage;      // "SSTL 2.5V", "LVTTL"; DDR3 the operable set: "1.5V, 1.35V"
  bool Registered = false;  // byte 21: registered address and control inputs
  bool Buffered = false;    // byte 21: buffered address and control inputs
  std::vector<std::string> Attributes;  // every bit of byte 21 that is set, in words

  std::vector<uint16_t> CasTenths;    // every supported CAS latency, tenths of a clock
  std::vector<SpdCasTiming> Timings;  // the highest supported latencies first, up to three
  uint32_t CycleTimePs = 0;           // the shortest clock period, picoseconds
  std::string SpeedGrade;             // the grade of the shortest clock period: "PC3200", "PC133"
  std::string ChipSpeed;              // "DDR400", "SDR133" (data rate in MT/s)
  uint32_t MaxClockKHz = 0;           // 1 / shortest clock period
  uint32_t TrcdPs = 0, TrpPs = 0, TrasPs = 0, TrrdPs = 0;
  uint32_t TrcPs = 0;       // DDR byte 41 and its fraction in byte 40; SDR: tRAS + tRP
  bool TrcDerived = false;  // SDR: computed, not stated
  uint32_t TrfcPs = 0;      // DDR byte 42 and byte 40's fraction and 256 ns; 0 for SDR
  // Bytes 32-35: setup and hold of the address and command inputs and of the
  // data inputs around the clock; 0 when not stated.
  uint32_t AddressSetupPs = 0, AddressHoldPs = 0, DataSetupPs = 0, DataHoldPs = 0;
  std::string Refresh;  // "7.8 us, self refresh"
  std::vector<uint8_t> BurstLengths;
  bool BurstFullPage = false;

  SpdDdr2Facts Ddr2;  // DDR2, DDR3, DDR4
  SpdDdr3Facts Ddr3;  // DDR3, DDR4
  SpdDdr4Facts Ddr4;  // DDR4 only

  // Intel XMP, DDR3 (bytes 176-254) and DDR4 (384-486): carried (false also
  // when the bytes end before them), its revision (major in the high
  // nibble) and the profiles it enables.
  bool HasXmp = false;
  uint8_t XmpRevision = 0;
  std::vector<SpdXmpProfile> Xmp;

  JedecMaker Maker;
  bool IdentityRead = true;  // DDR3: false when the bytes end before 150 (part number, DRAM
                             // maker); DDR4 before 352 (the maker and the rest of page 1)
  uint16_t IdentityEnd = 0;  // the byte IdentityRead needs the bytes to reach
  uint8_t Location = 0;      // byte 72, the maker's own code for the plant
  std::string PartNumber;    // printable, trailing blanks removed
  uint16_t Revision = 0;     // bytes 91-92, first byte high
  uint8_t YearByte = 0, WeekByte = 0;  // bytes 93-94 as stored
  bool DateBcd = false;  // both bytes BCD and the week 1-53: the two fields below hold it
  uint16_t Year = 0;     // 1990-2089 from the year's last two digits
  uint8_t Week = 0;
  uint32_t SerialNumber = 0;  // bytes 95-98, little-endian
  std::string SerialHex;      // bytes 95-98 in hex in byte order

  SpdCheckRule CheckRule = SpdCheckRule::None;
  uint8_t StoredChecksum = 0;    // byte 63
  uint8_t ComputedChecksum = 0;  // sum of bytes 0-62, modulo 256
  uint16_t StoredCrc = 0;        // bytes 126 (low) and 127
  uint16_t ComputedCrc = 0;
  uint8_t CrcLastByte = 0;  // the last byte the CRC covers: 116 or 125
  // The sum rule, with byte 63 and the sum of bytes 0-62 both 0: no sum was
  // written (the listing of an undecoded module leaves the check out).
  bool SumUnwritten = false;
  // The type's rule holds; false where no rule applies (CheckRule None).
  bool ChecksumOk() const {
    if (CheckRule == SpdCheckRule::Crc16) return StoredCrc == ComputedCrc;
    return CheckRule == SpdCheckRule::Sum && StoredChecksum == ComputedChecksum;
  }
};

// The SPD bytes a decoder needs: the first 128 (the module maker's part).
constexpr size_t kSpdDecodedBytes = 128;
// DDR3 keeps its part number and DRAM maker in bytes 128-149.
constexpr size_t kSpdDdr3DecodedBytes = 150;
// DDR4 keeps its maker, date, serial, part number and DRAM maker in 320-351;
// all 512 bytes are its two pages.
constexpr size_t kSpdDdr4DecodedBytes = 352;
constexpr size_t kSpdDdr4Bytes = 512;

// Decodes `bytes` read from offset 0; fewer than 64 bytes give an undecoded
// result (no checksum either), fewer than 128 no decode beyond the type
// (and no DDR3 CRC); a DDR3 image of 128-149 bytes lacks the part number
// and the DRAM maker (IdentityRead false), a DDR4 image of fewer than 352
// its manufacturing data.
SpdFacts DecodeSpd(std::span<const uint8_t> bytes);

// The name of SPD memory type byte `type`; "unknown (0xNN)" for others.
std::string SpdMemoryTypeName(uint8_t type);

// The maker in a JEDEC identification field (up to 8 bytes: continuation
// codes, then the maker's code).
JedecMaker DecodeJedecId(std::span<const uint8_t> id);

// The maker as DDR3 and later store it: the number of continuation codes
// (bits 6-0, odd parity in bit 7) and the maker's code. Both bytes 0x00 or
// 0xFF: not stated (bank 0). A wrong parity bit in either byte: not named.
JedecMaker DecodeJedecBankCode(uint8_t continuations, uint8_t code);

// The CRC-16 of SPD bytes (polynomial 0x1021, initial value 0).
uint16_t SpdCrc16(std::span<const uint8_t> bytes);

// "Samsung" for bank 1 code 0xCE, ... ; nullptr for a code not in the table
// or one whose parity bit is wrong.
const char* JedecMakerName(uint8_t bank, uint8_t code);

// True when `code` has odd parity (bit 7 makes the count of one bits odd).
bool JedecParityOk(uint8_t code);

// "CL2.5", "CL3" for a latency in tenths of a clock.
std::string CasText(uint16_t tenths);

// The decoded module as the lines of a listing, one "name: value" each,
// every text from the module escaped (see PrintableText).
std::string SpdDecodeText(const SpdFacts& facts);

// The same lines as name and value; a line that continues the one before
// has an empty name.
struct SpdLine {
  std::string Name, Value;
};
std::vector<SpdLine> SpdDecodeLines(const SpdFacts& facts);

// Bytes from hardware as text that prints safely: valid UTF-8 is kept,
// control characters and bytes that are not valid UTF-8 become "\xNN".
std::string PrintableText(std::string_view bytes);

}  // namespace dimmio
