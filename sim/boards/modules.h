// Memory modules the board profiles fit, with the facts their SPD states.
#pragma once

#include "sim/smbios_builder.h"
#include "sim/spd_builder.h"

namespace sim::boards {

inline DimmSpec Ddr(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
                    std::vector<uint8_t> jedec, const char* part, uint32_t serial,
                    uint8_t width = 64) {
  DimmSpec d;
  d.type = MemoryType::Ddr;
  d.capacityMb = mb;
  d.ranks = ranks;
  d.speedGrade = grade;
  d.dataWidth = width;
  d.manufacturer = maker;
  d.jedecId = std::move(jedec);
  d.partNumber = part;
  d.serial = serial;
  return d;
}

inline DimmSpec Sdr(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
                    std::vector<uint8_t> jedec, const char* part, uint32_t serial,
                    uint8_t width = 64) {
  DimmSpec d = Ddr(mb, ranks, grade, maker, std::move(jedec), part, serial, width);
  d.type = MemoryType::Sdr;
  return d;
}

// DDR2 and DDR3 modules: unbuffered, x8 devices unless the caller changes
// the returned facts (form, deviceWidth, ...).
inline DimmSpec Ddr2(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
                     std::vector<uint8_t> jedec, const char* part, uint32_t serial,
                     uint8_t width = 64) {
  DimmSpec d = Ddr(mb, ranks, grade, maker, std::move(jedec), part, serial, width);
  d.type = MemoryType::Ddr2;
  return d;
}

inline DimmSpec Ddr3(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
                     std::vector<uint8_t> jedec, const char* part, uint32_t serial,
                     uint8_t width = 64) {
  DimmSpec d = Ddr(mb, ranks, grade, maker, std::move(jedec), part, serial, width);
  d.type = MemoryType::Ddr3;
  return d;
}

inline DimmSpec Ddr4(uint32_t mb, uint8_t ranks, const char* grade, const char* maker,
                     std::vector<uint8_t> jedec, const char* part, uint32_t serial,
                     ModuleForm form = ModuleForm::Udimm) {
  DimmSpec d = Ddr(mb, ranks, grade, maker, std::move(jedec), part, serial);
  d.type = MemoryType::Ddr4;
  d.form = form;
  return d;
}

// The type-17 memory type the firmware states for such modules.
inline uint8_t SmbiosTypeOf(MemoryType type) {
  switch (type) {
    case MemoryType::Sdr: return kSmbiosSdram;
    case MemoryType::Ddr: return kSmbiosDdr;
    case MemoryType::Ddr2: return kSmbiosDdr2;
    case MemoryType::Ddr3: return kSmbiosDdr3;
    case MemoryType::Ddr4: return kSmbiosDdr4;
  }
  return kSmbiosDdr;
}

// JEDEC maker codes: continuation codes first.
inline const std::vector<uint8_t> kSamsung = {0xCE};
inline const std::vector<uint8_t> kMicron = {0x2C};
inline const std::vector<uint8_t> kHynix = {0xAD};
inline const std::vector<uint8_t> kInfineon = {0xC1};
inline const std::vector<uint8_t> kKingston = {0x7F, 0x98};

}  // namespace sim::boards
