// The FCH's power-management registers in memory: from the Mullins-era FCH
// on, the ACPI MMIO space at 0xFED80000 carries the same bytes as the
// index/data pair 0xCD6/0xCD7 at its offset 0x300, and the Zen parts are
// reached there alone. The window decodes while PM 0x04 bit 1 is set, as
// firmware leaves it; with the bit clear it reads all ones and takes no
// stores.
#pragma once

#include <stdint.h>

#include "sim/machine.h"

namespace sim {

class AmdPmRegisters;

class FchPmWindow : public MemoryDevice {
 public:
  static constexpr uint32_t kBase = 0xFED80300;
  static constexpr uint32_t kSize = 0x100;
  static constexpr uint8_t kDecodeRegister = 0x04;
  static constexpr uint8_t kDecodeEnable = 0x02;

  explicit FchPmWindow(AmdPmRegisters& pm) : pm_(pm) {}
  uint8_t ReadMemory8(uint32_t offset) override;
  void WriteMemory8(uint32_t offset, uint8_t value) override;
  bool Decodes() const;

 private:
  AmdPmRegisters& pm_;
};

}  // namespace sim
