// The chips the Intel back-end drives: the PIIX4 power-management function's
// SMBus host, the ICH's to the ICH5, and the ICH6 and later PCH's (BAR4, a
// 32-port block). Header-only data, so that the simulated boards can ask a
// chip's traits without linking the driver.
#pragma once

#include "smbus/backend.h"
#include "smbus/pci_vendors.h"

namespace intel {

// The switches this family drives: the PIIX4 boards' latch, the ICH
// boards' Super I/O register.
constexpr uint32_t kSwitches =
    SwitchBit(SegmentSwitch::BoardLatch) | SwitchBit(SegmentSwitch::SuperIo);

// Quirks (ChipDescriptor::Quirks).
constexpr uint32_t kQuirkHostConfigByte = 1u << 0;  // HOSTC at 0x40 (HST_EN, I2C_EN, SPD_WD)
constexpr uint32_t kQuirkAuxControl = 1u << 1;      // SMBAUXCTL at +0x0D (ICH4 on)

constexpr uint8_t kPiix4BaseRegister = 0x90;  // SMBBA in the PM function
constexpr uint8_t kPiix4HostConfig = 0xD2;    // SMBHSTCFG: bit 0 SMB_HST_EN
constexpr uint8_t kIchBaseRegister = 0x20;    // BAR4, SMB_BASE
constexpr uint8_t kIchHostConfig = 0x40;      // HOSTC: bit 0 HST_EN
constexpr uint8_t kHostEnableBit = 0x01;

// A host whose enable bit is clear decodes nothing, and the base it still
// shows may be another device's by now: the PIIX4's SMBHSTCFG bit 0, the
// ICH's (to the ICH5) HOSTC bit 0; from the ICH6 on the acquire reads HOSTC.
inline constexpr ChipDescriptor kPiix4 =
    DrivenBy(kSwitches, {.BaseRegister = kPiix4BaseRegister,
                         .BaseMask = 0xFFF0,
                         .EnableRegister = kPiix4HostConfig,
                         .EnableBits = kHostEnableBit,
                         .Segments = SegmentSwitch::BoardLatch});
// The 440MX's host is a PIIX4's; no board latch is known for it.
inline constexpr ChipDescriptor kPiix4Mx = DrivenBy(kSwitches, {.BaseRegister = kPiix4BaseRegister,
                                                                .BaseMask = 0xFFF0,
                                                                .EnableRegister = kPiix4HostConfig,
                                                                .EnableBits = kHostEnableBit});
inline constexpr ChipDescriptor kIch = DrivenBy(kSwitches, {.BaseRegister = kIchBaseRegister,
                                                            .BaseMask = 0xFFF0,
                                                            .EnableRegister = kIchHostConfig,
                                                            .EnableBits = kHostEnableBit,
                                                            .Segments = SegmentSwitch::SuperIo,
                                                            .Traits = kChipInUseSemaphore});
// ICH4 and ICH5: the ICH with the auxiliary control register.
inline constexpr ChipDescriptor kIch4 = DrivenBy(kSwitches, {.BaseRegister = kIchBaseRegister,
                                                             .BaseMask = 0xFFF0,
                                                             .EnableRegister = kIchHostConfig,
                                                             .EnableBits = kHostEnableBit,
                                                             .Segments = SegmentSwitch::SuperIo,
                                                             .Traits = kChipInUseSemaphore,
                                                             .Quirks = kQuirkAuxControl});
// ICH6 and later: BAR4, a 32-port block; every SPD on one bus; send and
// receive byte for the DDR4 pages of the boards that carry them.
constexpr ChipDescriptor LaterIch(uint32_t traits) {
  return {.BaseRegister = kIchBaseRegister,
          .BaseMask = 0xFFE0,
          .Traits = kChipInUseSemaphore | kChipPageTransfers | traits,
          .Quirks = kQuirkHostConfigByte | kQuirkAuxControl};
}
inline constexpr ChipDescriptor kLaterIch = DrivenBy(kSwitches, LaterIch(0));
// From the 8-series (Lynx Point) on, SPD_WD holds once firmware set it.
inline constexpr ChipDescriptor kSpdWdIch = DrivenBy(kSwitches, LaterIch(kChipSpdWriteDisable));
// The C600/X79 boards wire the modules' SPDs to the processor's memory
// controller SMBus; the C610/X99 as well, with SPD_WD.
inline constexpr ChipDescriptor kCpuBusIch = DrivenBy(kSwitches, LaterIch(kChipSpdsOnCpuBus));
inline constexpr ChipDescriptor kCpuBusSpdWdIch =
    DrivenBy(kSwitches, LaterIch(kChipSpdsOnCpuBus | kChipSpdWriteDisable));

// The device IDs, as the datasheets name the chips: the PIIX4's (and the
// 440MX's) power-management function, from the ICH on the SMBus function.
namespace ids {
constexpr uint16_t kPiix4 = 0x7113;  // PIIX4, PIIX4E and PIIX4M
constexpr uint16_t k440Mx = 0x719B;  // the 440MX's PIIX4-class function
constexpr uint16_t kIch = 0x2413;    // 82801AA
constexpr uint16_t kIch0 = 0x2423;   // 82801AB
constexpr uint16_t kIch2 = 0x2443;   // 82801BA
constexpr uint16_t kCIch = 0x2453;   // 82801E, the C-ICH
constexpr uint16_t kIch3 = 0x2483;   // 82801CA
constexpr uint16_t kIch4 = 0x24C3;   // 82801DB
constexpr uint16_t kIch5 = 0x24D3;   // 82801EB
constexpr uint16_t kIch6 = 0x266A;
constexpr uint16_t kIch7 = 0x27DA;  // ICH7 and NM10
constexpr uint16_t kIch8 = 0x283E;
constexpr uint16_t kIch9 = 0x2930;
constexpr uint16_t kIch10 = 0x3A30;         // 82801JI
constexpr uint16_t kIch10D = 0x3A60;        // 82801JD, ICH10D/DO
constexpr uint16_t kIbexPeak = 0x3B30;      // 5-series, 3400
constexpr uint16_t kCougarPoint = 0x1C22;   // 6-series
constexpr uint16_t kPatsburg = 0x1D22;      // C600/X79
constexpr uint16_t kPantherPoint = 0x1E22;  // 7-series
constexpr uint16_t kBayTrail = 0x0F12;
constexpr uint16_t kBraswell = 0x2292;
constexpr uint16_t kAvoton = 0x1F3C;  // Avoton and Rangeley
constexpr uint16_t kColetoCreek = 0x23B0;
constexpr uint16_t k6300Esb = 0x25A4;
constexpr uint16_t kEsb2 = 0x269B;
constexpr uint16_t kDh89xxCc = 0x2330;
constexpr uint16_t kEp80579 = 0x5032;
constexpr uint16_t kLynxPoint = 0x8C22;          // 8-series
constexpr uint16_t kLynxPointLp = 0x9C22;        // 8-series LP
constexpr uint16_t kWellsburg = 0x8D22;          // C610/X99
constexpr uint16_t kWildcatPoint = 0x8CA2;       // 9-series
constexpr uint16_t kWildcatPointLp = 0x9CA2;     // 9-series LP
constexpr uint16_t kSunrisePointH = 0xA123;      // 100-series
constexpr uint16_t kSunrisePointLp = 0x9D23;     // 100-series LP
constexpr uint16_t kKabyLakeH = 0xA2A3;          // 200-series
constexpr uint16_t kLewisburg = 0xA1A3;          // C620
constexpr uint16_t kLewisburgSuperSku = 0xA223;  // C620 Super SKU
constexpr uint16_t kCannonLakeH = 0xA323;        // 300-series
constexpr uint16_t kCannonLakeLp = 0x9DA3;       // 300-series LP
constexpr uint16_t kCometLakeV = 0xA3A3;         // 400-series
constexpr uint16_t kCometLakeLp = 0x02A3;        // 400-series LP
constexpr uint16_t kCometLakeH = 0x06A3;         // 400-series H
constexpr uint16_t kIceLakeLp = 0x34A3;
constexpr uint16_t kIceLakeN = 0x38A3;
constexpr uint16_t kTigerLakeLp = 0xA0A3;  // 500-series LP
constexpr uint16_t kTigerLakeH = 0x43A3;   // 500-series
constexpr uint16_t kJasperLake = 0x4DA3;
constexpr uint16_t kElkhartLake = 0x4B23;
constexpr uint16_t k600Series = 0x7AA3;
constexpr uint16_t k600SeriesP = 0x51A3;
constexpr uint16_t k600SeriesM = 0x54A3;
constexpr uint16_t k700Series = 0x7A23;
constexpr uint16_t kDenverton = 0x19DF;
constexpr uint16_t kCedarFork = 0x18DF;
constexpr uint16_t kApolloLake = 0x5AD4;
constexpr uint16_t kGeminiLake = 0x31D4;
}  // namespace ids

inline constexpr ChipId kPiix4Ids[] = {{.DeviceId = ids::kPiix4}};
inline constexpr ChipId kPiix4MxIds[] = {{.DeviceId = ids::k440Mx}};
inline constexpr ChipId kIchIds[] = {
    {.DeviceId = ids::kIch},  {.DeviceId = ids::kIch0}, {.DeviceId = ids::kIch2},
    {.DeviceId = ids::kCIch}, {.DeviceId = ids::kIch3},
};
inline constexpr ChipId kIch4Ids[] = {{.DeviceId = ids::kIch4}, {.DeviceId = ids::kIch5}};
inline constexpr ChipId kLaterIchIds[] = {
    {.DeviceId = ids::kIch6, .Message = "smbcore: Found Intel ICH6\n"},
    {.DeviceId = ids::kIch7, .Message = "smbcore: Found Intel ICH7/NM10\n"},
    {.DeviceId = ids::kIch8, .Message = "smbcore: Found Intel ICH8\n"},
    {.DeviceId = ids::kIch9, .Message = "smbcore: Found Intel ICH9\n"},
    {.DeviceId = ids::kIch10, .Message = "smbcore: Found Intel ICH10\n"},
    {.DeviceId = ids::kIch10D, .Message = "smbcore: Found Intel ICH10D\n"},
    {.DeviceId = ids::kIbexPeak, .Message = "smbcore: Found Intel 5-series/3400\n"},
    {.DeviceId = ids::kCougarPoint, .Message = "smbcore: Found Intel 6-series\n"},
    {.DeviceId = ids::kPantherPoint, .Message = "smbcore: Found Intel 7-series\n"},
    {.DeviceId = ids::kBayTrail, .Message = "smbcore: Found Intel Bay Trail\n"},
    {.DeviceId = ids::kBraswell, .Message = "smbcore: Found Intel Braswell\n"},
    {.DeviceId = ids::kAvoton, .Message = "smbcore: Found Intel Avoton/Rangeley\n"},
    {.DeviceId = ids::kColetoCreek, .Message = "smbcore: Found Intel Coleto Creek\n"},
    {.DeviceId = ids::k6300Esb, .Message = "smbcore: Found Intel 6300ESB\n"},
    {.DeviceId = ids::kEsb2, .Message = "smbcore: Found Intel ESB2\n"},
    {.DeviceId = ids::kDh89xxCc, .Message = "smbcore: Found Intel DH89xxCC\n"},
    {.DeviceId = ids::kEp80579, .Message = "smbcore: Found Intel EP80579\n"},
};
inline constexpr ChipId kSpdWdIchIds[] = {
    {.DeviceId = ids::kLynxPoint, .Message = "smbcore: Found Intel 8-series\n"},
    {.DeviceId = ids::kLynxPointLp, .Message = "smbcore: Found Intel 8-series LP\n"},
    {.DeviceId = ids::kWildcatPoint, .Message = "smbcore: Found Intel 9-series\n"},
    {.DeviceId = ids::kWildcatPointLp, .Message = "smbcore: Found Intel 9-series LP\n"},
    {.DeviceId = ids::kSunrisePointH, .Message = "smbcore: Found Intel 100-series\n"},
    {.DeviceId = ids::kSunrisePointLp, .Message = "smbcore: Found Intel 100-series LP\n"},
    {.DeviceId = ids::kKabyLakeH, .Message = "smbcore: Found Intel 200-series\n"},
    {.DeviceId = ids::kLewisburg, .Message = "smbcore: Found Intel C620\n"},
    {.DeviceId = ids::kLewisburgSuperSku, .Message = "smbcore: Found Intel C620 Super SKU\n"},
    {.DeviceId = ids::kCannonLakeH, .Message = "smbcore: Found Intel 300-series\n"},
    {.DeviceId = ids::kCannonLakeLp, .Message = "smbcore: Found Intel 300-series LP\n"},
    {.DeviceId = ids::kCometLakeV, .Message = "smbcore: Found Intel 400-series\n"},
    {.DeviceId = ids::kCometLakeLp, .Message = "smbcore: Found Intel 400-series LP\n"},
    {.DeviceId = ids::kCometLakeH, .Message = "smbcore: Found Intel 400-series H\n"},
    {.DeviceId = ids::kIceLakeLp, .Message = "smbcore: Found Intel Ice Lake-LP\n"},
    {.DeviceId = ids::kIceLakeN, .Message = "smbcore: Found Intel Ice Lake-N\n"},
    {.DeviceId = ids::kTigerLakeLp, .Message = "smbcore: Found Intel 500-series LP\n"},
    {.DeviceId = ids::kTigerLakeH, .Message = "smbcore: Found Intel 500-series\n"},
    {.DeviceId = ids::kJasperLake, .Message = "smbcore: Found Intel Jasper Lake\n"},
    {.DeviceId = ids::kElkhartLake, .Message = "smbcore: Found Intel Elkhart Lake\n"},
    {.DeviceId = ids::k600Series, .Message = "smbcore: Found Intel 600-series\n"},
    {.DeviceId = ids::k600SeriesP, .Message = "smbcore: Found Intel 600-series P\n"},
    {.DeviceId = ids::k600SeriesM, .Message = "smbcore: Found Intel 600-series M\n"},
    {.DeviceId = ids::k700Series, .Message = "smbcore: Found Intel 700-series\n"},
    {.DeviceId = ids::kDenverton, .Message = "smbcore: Found Intel Denverton\n"},
    {.DeviceId = ids::kCedarFork, .Message = "smbcore: Found Intel Cedar Fork\n"},
    {.DeviceId = ids::kApolloLake, .Message = "smbcore: Found Intel Apollo Lake\n"},
    {.DeviceId = ids::kGeminiLake, .Message = "smbcore: Found Intel Gemini Lake\n"},
};
inline constexpr ChipId kCpuBusIchIds[] = {
    {.DeviceId = ids::kPatsburg, .Message = "smbcore: Found Intel C600/X79\n"},
};
inline constexpr ChipId kCpuBusSpdWdIchIds[] = {
    {.DeviceId = ids::kWellsburg, .Message = "smbcore: Found Intel C610/X99\n"},
};

inline constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorIntel, .Chip = &kPiix4, .Ids = kPiix4Ids, .IdCount = CountOf(kPiix4Ids)},
    {.VendorId = kVendorIntel,
     .Chip = &kPiix4Mx,
     .Ids = kPiix4MxIds,
     .IdCount = CountOf(kPiix4MxIds)},
    {.VendorId = kVendorIntel, .Chip = &kIch, .Ids = kIchIds, .IdCount = CountOf(kIchIds)},
    {.VendorId = kVendorIntel, .Chip = &kIch4, .Ids = kIch4Ids, .IdCount = CountOf(kIch4Ids)},
    {.VendorId = kVendorIntel,
     .Chip = &kLaterIch,
     .Ids = kLaterIchIds,
     .IdCount = CountOf(kLaterIchIds)},
    {.VendorId = kVendorIntel,
     .Chip = &kSpdWdIch,
     .Ids = kSpdWdIchIds,
     .IdCount = CountOf(kSpdWdIchIds)},
    {.VendorId = kVendorIntel,
     .Chip = &kCpuBusIch,
     .Ids = kCpuBusIchIds,
     .IdCount = CountOf(kCpuBusIchIds)},
    {.VendorId = kVendorIntel,
     .Chip = &kCpuBusSpdWdIch,
     .Ids = kCpuBusSpdWdIchIds,
     .IdCount = CountOf(kCpuBusSpdWdIchIds)},
};

// The descriptor of Intel device `deviceId`, or null: what the simulated
// boards ask of a chip.
constexpr const ChipDescriptor* ChipOf(uint16_t deviceId) {
  for (const ChipGroup& group : kGroups) {
    for (size_t i = 0; i < group.IdCount; ++i) {
      if (group.Ids[i].DeviceId == deviceId) return group.Chip;
    }
  }
  return nullptr;
}

}  // namespace intel
