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
    {10000, "PC1600"}, {7500, "PC2100"}, {6000, "PC2700"}, {5000, "PC3200"},
    {4600, "PC3500"},  {4300, "PC3700"}, {4000, "PC4000"}, {3750, "PC4200"},
    {3600, "PC4400"},  {3330, "PC4800"},
};

}  // namespace

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
  for (const Grade& grade : ddr ? std::span<const Grade>(kDdrGrades) : std::span<const Grade>(kSdrGrades)) {
    if (cycleTimePs <= grade.CycleTimePs) met = grade.Name;
  }
  return met;
}

std::string ChipSpeed(uint32_t cycleTimePs, bool ddr) {
  if (cycleTimePs == 0) return "";
  return (ddr ? "DDR" : "SDR") + std::to_string((ddr ? 2000000u : 1000000u) / cycleTimePs);
}

}  // namespace dimmio::spd_speed
