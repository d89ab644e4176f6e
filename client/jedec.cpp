// JEDEC manufacturer identification codes of memory makers: the makers of
// common modules and of the memory chips on them. Codes carry their odd
// parity bit; the bank is one more than the number of continuation codes.
#include "dimmio/spd.h"

namespace dimmio {

namespace {

struct Maker {
  uint8_t Bank;
  uint8_t Code;
  const char* Name;
};

constexpr Maker kMakers[] = {
    {1, 0x01, "AMD"},
    {1, 0x04, "Fujitsu"},
    {1, 0x07, "Hitachi"},
    {1, 0x10, "NEC"},
    {1, 0x1C, "Mitsubishi"},
    {1, 0x2C, "Micron"},
    {1, 0x40, "Mosel Vitelic"},
    {1, 0x89, "Intel"},
    {1, 0x97, "Texas Instruments"},
    {1, 0x98, "Toshiba"},
    {1, 0xA4, "IBM"},
    {1, 0xAD, "Hynix"},
    {1, 0xAE, "OKI"},
    {1, 0xB0, "Sharp"},
    {1, 0xC1, "Infineon"},
    {1, 0xCE, "Samsung"},
    {1, 0xDA, "Winbond"},
    {1, 0xE0, "LG Semicon"},
    {1, 0xFE, "Elpida"},
    {2, 0x98, "Kingston"},
    {3, 0x9E, "Corsair"},
    {4, 0x0B, "Nanya"},
};

}  // namespace

const char* JedecMakerName(uint8_t bank, uint8_t code) {
  for (const Maker& maker : kMakers) {
    if (maker.Bank == bank && maker.Code == code) return maker.Name;
  }
  return nullptr;
}

}  // namespace dimmio
