// The chips the Intel back-end drives: the PIIX4 power-management function's
// SMBus host, the ICH's to the ICH5, and the ICH6 and later PCH's (BAR4, a
// 32-port block). Header-only data, so that the simulated boards can ask a
// chip's traits without linking the driver.
#pragma once

#include "smbus/backend.h"

namespace intel {

// The switches this family drives: the PIIX4 boards' latch, the ICH
// boards' Super I/O register.
constexpr uint32_t kSwitches =
    SwitchBit(SegmentSwitch::BoardLatch) | SwitchBit(SegmentSwitch::SuperIo);

// Quirks (ChipDescriptor::Quirks).
constexpr uint32_t kQuirkHostConfigByte = 1u << 0;  // HOSTC at 0x40 (HST_EN, I2C_EN, SPD_WD)
constexpr uint32_t kQuirkAuxControl = 1u << 1;      // SMBAUXCTL at +0x0D (ICH4 on)

constexpr uint16_t kVendorIntel = 0x8086;
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

inline constexpr ChipId kPiix4Ids[] = {{.DeviceId = 0x7113}};
inline constexpr ChipId kPiix4MxIds[] = {{.DeviceId = 0x719B}};
inline constexpr ChipId kIchIds[] = {
    {.DeviceId = 0x2413}, {.DeviceId = 0x2423}, {.DeviceId = 0x2443},
    {.DeviceId = 0x2453}, {.DeviceId = 0x2483},
};
inline constexpr ChipId kIch4Ids[] = {{.DeviceId = 0x24C3}, {.DeviceId = 0x24D3}};
inline constexpr ChipId kLaterIchIds[] = {
    {.DeviceId = 0x266A, .Message = "smbcore: Found Intel ICH6\n"},
    {.DeviceId = 0x27DA, .Message = "smbcore: Found Intel ICH7/NM10\n"},
    {.DeviceId = 0x283E, .Message = "smbcore: Found Intel ICH8\n"},
    {.DeviceId = 0x2930, .Message = "smbcore: Found Intel ICH9\n"},
    {.DeviceId = 0x3A30, .Message = "smbcore: Found Intel ICH10\n"},
    {.DeviceId = 0x3A60, .Message = "smbcore: Found Intel ICH10D\n"},
    {.DeviceId = 0x3B30, .Message = "smbcore: Found Intel 5-series/3400\n"},
    {.DeviceId = 0x1C22, .Message = "smbcore: Found Intel 6-series\n"},
    {.DeviceId = 0x1E22, .Message = "smbcore: Found Intel 7-series\n"},
    {.DeviceId = 0x0F12, .Message = "smbcore: Found Intel Bay Trail\n"},
    {.DeviceId = 0x2292, .Message = "smbcore: Found Intel Braswell\n"},
    {.DeviceId = 0x1F3C, .Message = "smbcore: Found Intel Avoton/Rangeley\n"},
    {.DeviceId = 0x23B0, .Message = "smbcore: Found Intel Coleto Creek\n"},
    {.DeviceId = 0x25A4, .Message = "smbcore: Found Intel 6300ESB\n"},
    {.DeviceId = 0x269B, .Message = "smbcore: Found Intel ESB2\n"},
    {.DeviceId = 0x2330, .Message = "smbcore: Found Intel DH89xxCC\n"},
    {.DeviceId = 0x5032, .Message = "smbcore: Found Intel EP80579\n"},
};
inline constexpr ChipId kSpdWdIchIds[] = {
    {.DeviceId = 0x8C22, .Message = "smbcore: Found Intel 8-series\n"},
    {.DeviceId = 0x9C22, .Message = "smbcore: Found Intel 8-series LP\n"},
    {.DeviceId = 0x8CA2, .Message = "smbcore: Found Intel 9-series\n"},
    {.DeviceId = 0x9CA2, .Message = "smbcore: Found Intel 9-series LP\n"},
    {.DeviceId = 0xA123, .Message = "smbcore: Found Intel 100-series\n"},
    {.DeviceId = 0x9D23, .Message = "smbcore: Found Intel 100-series LP\n"},
    {.DeviceId = 0xA2A3, .Message = "smbcore: Found Intel 200-series\n"},
    {.DeviceId = 0xA1A3, .Message = "smbcore: Found Intel C620\n"},
    {.DeviceId = 0xA223, .Message = "smbcore: Found Intel C620 Super SKU\n"},
    {.DeviceId = 0xA323, .Message = "smbcore: Found Intel 300-series\n"},
    {.DeviceId = 0x9DA3, .Message = "smbcore: Found Intel 300-series LP\n"},
    {.DeviceId = 0xA3A3, .Message = "smbcore: Found Intel 400-series\n"},
    {.DeviceId = 0x02A3, .Message = "smbcore: Found Intel 400-series LP\n"},
    {.DeviceId = 0x06A3, .Message = "smbcore: Found Intel 400-series H\n"},
    {.DeviceId = 0x34A3, .Message = "smbcore: Found Intel Ice Lake-LP\n"},
    {.DeviceId = 0x38A3, .Message = "smbcore: Found Intel Ice Lake-N\n"},
    {.DeviceId = 0xA0A3, .Message = "smbcore: Found Intel 500-series LP\n"},
    {.DeviceId = 0x43A3, .Message = "smbcore: Found Intel 500-series\n"},
    {.DeviceId = 0x4DA3, .Message = "smbcore: Found Intel Jasper Lake\n"},
    {.DeviceId = 0x4B23, .Message = "smbcore: Found Intel Elkhart Lake\n"},
    {.DeviceId = 0x7AA3, .Message = "smbcore: Found Intel 600-series\n"},
    {.DeviceId = 0x51A3, .Message = "smbcore: Found Intel 600-series P\n"},
    {.DeviceId = 0x54A3, .Message = "smbcore: Found Intel 600-series M\n"},
    {.DeviceId = 0x7A23, .Message = "smbcore: Found Intel 700-series\n"},
    {.DeviceId = 0x19DF, .Message = "smbcore: Found Intel Denverton\n"},
    {.DeviceId = 0x18DF, .Message = "smbcore: Found Intel Cedar Fork\n"},
    {.DeviceId = 0x5AD4, .Message = "smbcore: Found Intel Apollo Lake\n"},
    {.DeviceId = 0x31D4, .Message = "smbcore: Found Intel Gemini Lake\n"},
};
inline constexpr ChipId kCpuBusIchIds[] = {
    {.DeviceId = 0x1D22, .Message = "smbcore: Found Intel C600/X79\n"},
};
inline constexpr ChipId kCpuBusSpdWdIchIds[] = {
    {.DeviceId = 0x8D22, .Message = "smbcore: Found Intel C610/X99\n"},
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
