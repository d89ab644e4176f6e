#include "spd_speed.h"

#include <span>

namespace dimmio::spd_speed {

namespace {

struct Grade {
  uint32_t CycleTimePs;  // the longest clock period of the grade, as SPD states it
  const char* Name;
};

// Slowest first.
constexpr Grade kSdrGrades[] = {
    {15000, "PC66"}, {10000, "PC100"}, {7500, "PC133"}, {6700, "PC150"}, {6000, "PC166"},
};
constexpr Grade kDdrGrades[] = {
    {10000, "PC1600"}, {7500, "PC2100"}, {6000, "PC2700"}, {5000, "PC3200"}, {4600, "PC3500"},
    {4300, "PC3700"},  {4000, "PC4000"}, {3750, "PC4200"}, {3600, "PC4400"}, {3330, "PC4800"},
};

constexpr StandardClock kDdr2Clocks[] = {
    {15000, 3, "PC2-3200", "DDR2-400"},  {15000, 4, "PC2-4200", "DDR2-533"},
    {15000, 5, "PC2-5300", "DDR2-667"},  {15000, 6, "PC2-6400", "DDR2-800"},
    {15000, 8, "PC2-8500", "DDR2-1066"},
};
constexpr StandardClock kDdr3Clocks[] = {
    {7500, 3, "PC3-6400", "DDR3-800"},   {7500, 4, "PC3-8500", "DDR3-1066"},
    {7500, 5, "PC3-10600", "DDR3-1333"}, {7500, 6, "PC3-12800", "DDR3-1600"},
    {7500, 7, "PC3-14900", "DDR3-1866"}, {7500, 8, "PC3-17000", "DDR3-2133"},
};
constexpr StandardClock kDdr4Clocks[] = {
    {7500, 6, "PC4-12800", "DDR4-1600"},  {7500, 7, "PC4-14900", "DDR4-1866"},
    {7500, 8, "PC4-17000", "DDR4-2133"},  {7500, 9, "PC4-19200", "DDR4-2400"},
    {7500, 10, "PC4-21300", "DDR4-2666"}, {7500, 11, "PC4-23400", "DDR4-2933"},
    {7500, 12, "PC4-25600", "DDR4-3200"},
};

}  // namespace

std::span<const StandardClock> StandardClocks(Family family) {
  if (family == Family::Ddr4) return kDdr4Clocks;
  return family == Family::Ddr3 ? std::span<const StandardClock>(kDdr3Clocks)
                                : std::span<const StandardClock>(kDdr2Clocks);
}

const StandardClock* FastestMet(uint32_t cycleTimePs, Family family) {
  const StandardClock* met = nullptr;
  if (cycleTimePs == 0) return met;
  for (const StandardClock& clock : StandardClocks(family)) {
    if (cycleTimePs <= clock.PeriodPs()) met = &clock;
  }
  return met;
}

uint32_t CycleTimePs(uint8_t value, bool ddr) {
  static constexpr uint32_t kDdrFraction[4] = {250, 330, 660, 750};  // 0xA-0xD
  const uint32_t whole = (value >> 4) * 1000u;
  const uint8_t low = value & 0x0F;
  if (whole == 0) return 0;
  if (low <= 9) return whole + low * 100u;
  if (ddr && low <= 0xD) return whole + kDdrFraction[low - 0xA];
  return 0;
}

std::string GradeMet(uint32_t cycleTimePs, bool ddr) {
  if (cycleTimePs == 0) return "";
  const char* met = "";
  for (const Grade& grade :
       ddr ? std::span<const Grade>(kDdrGrades) : std::span<const Grade>(kSdrGrades)) {
    if (cycleTimePs <= grade.CycleTimePs) met = grade.Name;
  }
  return met;
}

std::string ChipSpeed(uint32_t cycleTimePs, bool ddr) {
  if (cycleTimePs == 0) return "";
  return (ddr ? "DDR" : "SDR") + std::to_string((ddr ? 2000000u : 1000000u) / cycleTimePs);
}

}  // namespace dimmio::spd_speed
