#include "sim/models/fch_pm_window.h"

#include "sim/models/piix4_compat_host.h"

namespace sim {

bool FchPmWindow::Decodes() const {
  return (pm_.Reg(kDecodeRegister) & kDecodeEnable) != 0;
}

uint8_t FchPmWindow::ReadMemory8(uint32_t offset) {
  return Decodes() ? pm_.Reg(static_cast<uint8_t>(offset)) : 0xFF;
}

void FchPmWindow::WriteMemory8(uint32_t offset, uint8_t value) {
  if (Decodes()) pm_.Store(static_cast<uint8_t>(offset), value);
}

}  // namespace sim
