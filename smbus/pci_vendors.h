// The PCI vendor IDs of the chipset makers whose functions the back-ends'
// rows and discovery's decisions match.
#pragma once

#include <stdint.h>

constexpr uint16_t kVendorIntel = 0x8086;
constexpr uint16_t kVendorAmd = 0x1022;
constexpr uint16_t kVendorAti = 0x1002;  // the IXP and SB600-SB800 south bridges
constexpr uint16_t kVendorHygon = 0x1D94;
constexpr uint16_t kVendorNvidia = 0x10DE;
constexpr uint16_t kVendorVia = 0x1106;
constexpr uint16_t kVendorSis = 0x1039;
constexpr uint16_t kVendorAli = 0x10B9;  // ALi, later ULi
constexpr uint16_t kVendorServerWorks = 0x1166;
constexpr uint16_t kVendorEfar = 0x1055;  // the SLC90E66
