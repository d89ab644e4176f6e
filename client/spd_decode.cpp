// Decoding of SDR and DDR SDRAM SPD contents.
#include <cstdio>

#include "dimmio/spd.h"

namespace dimmio {

namespace {

// Byte offsets in the module maker's part of the EEPROM.
constexpr size_t kMemoryType = 2;
constexpr size_t kRowBits = 3;         // low nibble: rank 1; high nibble: rank 2 when different
constexpr size_t kColumnBits = 4;
constexpr size_t kRanks = 5;           // physical banks on the module
constexpr size_t kDataWidthLow = 6;
constexpr size_t kDataWidthHigh = 7;
constexpr size_t kCycleTime = 9;       // tCK at the highest CAS latency
constexpr size_t kConfigType = 11;     // 0 none, 1 parity, 2 ECC
constexpr size_t kDeviceBanks = 17;    // internal banks of each device
constexpr size_t kChecksum = 63;       // sum of bytes 0-62
constexpr size_t kJedecId = 64;        // 8 bytes
constexpr size_t kJedecIdLength = 8;
constexpr size_t kPartNumber = 73;     // 18 bytes of ASCII, blank padded
constexpr size_t kPartNumberLength = 18;
constexpr size_t kSerialNumber = 95;   // 4 bytes, little-endian

constexpr uint8_t kContinuationCode = 0x7F;

struct NamedSpeed {
  SpdMemoryType Type;
  uint32_t CycleTimePs;
  const char* Grade;
};

// Module speed names by memory type and clock period.
constexpr NamedSpeed kSpeeds[] = {
    {SpdMemoryType::SdrSdram, 15000, "PC66"},   {SpdMemoryType::SdrSdram, 10000, "PC100"},
    {SpdMemoryType::SdrSdram, 7500, "PC133"},   {SpdMemoryType::DdrSdram, 10000, "PC1600"},
    {SpdMemoryType::DdrSdram, 7500, "PC2100"},  {SpdMemoryType::DdrSdram, 6000, "PC2700"},
    {SpdMemoryType::DdrSdram, 5000, "PC3200"},  {SpdMemoryType::DdrSdram, 4000, "PC4000"},
};

// Byte 9: whole nanoseconds in the high nibble; the low nibble gives tenths
// (0-9) or, for DDR, the quarters and thirds 0.25, 0.33, 0.66 and 0.75.
uint32_t CycleTimePs(uint8_t value) {
  static constexpr uint32_t kFraction[16] = {0,   100, 200, 300, 400, 500, 600, 700,
                                             800, 900, 250, 330, 660, 750, 0,   0};
  return (value >> 4) * 1000u + kFraction[value & 0x0F];
}

std::string PartNumber(std::span<const uint8_t> field) {
  std::string text;
  for (uint8_t c : field) text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::string SpdMemoryTypeName(uint8_t type) {
  switch (static_cast<SpdMemoryType>(type)) {
    case SpdMemoryType::FpmDram: return "FPM DRAM";
    case SpdMemoryType::EdoDram: return "EDO DRAM";
    case SpdMemoryType::SdrSdram: return "SDR SDRAM";
    case SpdMemoryType::DdrSdram: return "DDR SDRAM";
    case SpdMemoryType::Ddr2Sdram: return "DDR2 SDRAM";
    case SpdMemoryType::Ddr3Sdram: return "DDR3 SDRAM";
    case SpdMemoryType::Ddr4Sdram: return "DDR4 SDRAM";
  }
  char text[24];
  std::snprintf(text, sizeof text, "unknown (0x%02X)", type);
  return text;
}

JedecMaker DecodeJedecId(std::span<const uint8_t> id) {
  JedecMaker maker;
  uint8_t continuations = 0;
  for (uint8_t byte : id) {
    if (byte == kContinuationCode) {
      ++continuations;
      continue;
    }
    if (byte == 0x00 || byte == 0xFF) break;  // nothing stored
    maker.Bank = static_cast<uint8_t>(continuations + 1);
    maker.Code = byte;
    const char* name = JedecMakerName(maker.Bank, maker.Code);
    maker.Name = name != nullptr ? name : "";
    break;
  }
  return maker;
}

SpdFacts DecodeSpd(std::span<const uint8_t> bytes) {
  SpdFacts facts;
  if (bytes.size() <= kMemoryType) return facts;
  facts.TypeByte = bytes[kMemoryType];
  facts.Type = SpdMemoryTypeName(facts.TypeByte);
  if (bytes.size() <= kChecksum) return facts;

  unsigned sum = 0;
  for (size_t i = 0; i < kChecksum; ++i) sum += bytes[i];
  facts.ComputedChecksum = static_cast<uint8_t>(sum);
  facts.StoredChecksum = bytes[kChecksum];

  const auto type = static_cast<SpdMemoryType>(facts.TypeByte);
  if (type != SpdMemoryType::SdrSdram && type != SpdMemoryType::DdrSdram) return facts;
  if (bytes.size() < kSerialNumber + 4) return facts;
  facts.Decoded = true;

  facts.Ranks = bytes[kRanks];
  facts.DataWidth = static_cast<uint16_t>(bytes[kDataWidthLow] | bytes[kDataWidthHigh] << 8);
  facts.Ecc = bytes[kConfigType] == 1 || bytes[kConfigType] == 2;
  // Each address of a rank selects one word of the data width (check bits
  // left out) in each of the devices' internal banks.
  const unsigned addressBits = (bytes[kRowBits] & 0x0F) + (bytes[kColumnBits] & 0x0F);
  const uint32_t dataBits = facts.DataWidth - (facts.Ecc && facts.DataWidth > 8 ? 8 : 0);
  if (addressBits >= 12 && addressBits <= 40) {
    const uint64_t rankBytes = (uint64_t{1} << addressBits) * bytes[kDeviceBanks] * dataBits / 8;
    facts.CapacityMb = static_cast<uint32_t>((rankBytes * facts.Ranks) >> 20);
  }

  facts.CycleTimePs = CycleTimePs(bytes[kCycleTime]);
  if (facts.CycleTimePs != 0) {
    const bool ddr = type == SpdMemoryType::DdrSdram;
    const uint32_t rate = (ddr ? 2000000u : 1000000u) / facts.CycleTimePs;  // MT/s, truncated
    facts.ChipSpeed = (ddr ? "DDR" : "SDR") + std::to_string(rate);
    for (const NamedSpeed& speed : kSpeeds) {
      if (speed.Type == type && speed.CycleTimePs == facts.CycleTimePs) facts.SpeedGrade = speed.Grade;
    }
  }

  facts.Maker = DecodeJedecId(bytes.subspan(kJedecId, kJedecIdLength));
  facts.PartNumber = PartNumber(bytes.subspan(kPartNumber, kPartNumberLength));
  for (int i = 0; i < 4; ++i) {
    facts.SerialNumber |= static_cast<uint32_t>(bytes[kSerialNumber + i]) << (8 * i);
  }
  return facts;
}

}  // namespace dimmio
