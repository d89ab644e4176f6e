// The ALi boards' SMBus segment switch: driven by bits 5-6 of the M7101's
// configuration dword 0xB8, which switch the second bank of modules in when
// they read 10b (bit 6 set, bit 5 clear).
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/smbus_mux.h"

namespace sim {

class AliSegmentBits : public SegmentLines {
 public:
  static constexpr uint8_t kRegister = 0xB8;
  static constexpr uint8_t kSecondBank = 2;  // the selector value of bits 5-6

  explicit AliSegmentBits(const PciFunction& m7101) : m7101_(m7101) {}
  uint8_t SegmentSelector() const override { return (m7101_.Dword(kRegister) >> 5) & 3u; }

 private:
  const PciFunction& m7101_;
};

}  // namespace sim
