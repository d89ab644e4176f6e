// The SiS device IDs (vendor kVendorSis) the SiS decisions of discovery and
// the SiS back-ends tell apart. A SiS host bridge's ID is its chip's number.
#pragma once

#include <stdint.h>

namespace sis::ids {

// Host bridges.
constexpr uint16_t kSis540 = 0x0540;
constexpr uint16_t kSis550 = 0x0550;
constexpr uint16_t kSis630 = 0x0630;
constexpr uint16_t kSis645 = 0x0645;
constexpr uint16_t kSis646 = 0x0646;
constexpr uint16_t kSis648 = 0x0648;
constexpr uint16_t kSis650 = 0x0650;
constexpr uint16_t kSis651 = 0x0651;
constexpr uint16_t kSis730 = 0x0730;
constexpr uint16_t kSis735 = 0x0735;
constexpr uint16_t kSis745 = 0x0745;
constexpr uint16_t kSis746 = 0x0746;
constexpr uint16_t kSis760 = 0x0760;
constexpr uint16_t kSis5511 = 0x5511;
constexpr uint16_t kSis5597 = 0x5597;
constexpr uint16_t kSis5598 = 0x5598;

// South-bridge functions. 0x0008 is the SiS 5595's (its ACPI block holds
// the SMBus host), the 630/730's south bridge's, and on the 96x boards the
// function whose words hold the ACPI bases: the ID alone does not tell them.
constexpr uint16_t kSisSouthBridge = 0x0008;
constexpr uint16_t kSis5595PowerManagement = 0x0009;
constexpr uint16_t kSisLpcBridge = 0x0018;
constexpr uint16_t kSis961 = 0x0961;
constexpr uint16_t kSis962 = 0x0962;
constexpr uint16_t kSis963 = 0x0963;
constexpr uint16_t kSis964 = 0x0964;

}  // namespace sis::ids
