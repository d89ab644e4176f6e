// The PCI vendor IDs of the chipset makers whose functions the back-ends'
// rows and discovery's decisions match.
#pragma once

#include <stdint.h>

namespace pci_vendor {

constexpr uint16_t kIntel = 0x8086;
constexpr uint16_t kAmd = 0x1022;
constexpr uint16_t kAti = 0x1002;  // the IXP and SB600-SB800 south bridges
constexpr uint16_t kHygon = 0x1D94;
constexpr uint16_t kNvidia = 0x10DE;
constexpr uint16_t kVia = 0x1106;
constexpr uint16_t kSis = 0x1039;
constexpr uint16_t kAli = 0x10B9;  // ALi, later ULi
constexpr uint16_t kServerWorks = 0x1166;
constexpr uint16_t kEfar = 0x1055;  // the SLC90E66

}  // namespace pci_vendor
