// The SMBus function of the nVidia MCPs after the nForce2 (nForce2 Ultra 400
// to MCP79): two hosts with the nForce2 register block, channel 1 and
// channel 2, driven by the nVidia 0x0064 transfer code. Each channel's base
// is in BAR4 / BAR5 (dwords 0x20 / 0x24) when that is an I/O BAR; where a
// BAR reads 0 the part keeps it in word 0x50 / 0x54 instead. A function
// whose I/O decoding (command bit 0) is off has no channel at all, with a
// discovery message. Boards wire the modules' SPDs to either
// channel: channel 1 is used when a slot answers there, else channel 2 when
// one answers there, else channel 1. The choice is printed on the debug
// output as "smbcore: nVidia SMBus channel N at BASE".
#pragma once

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

namespace nvidia_mcp {

// Configuration registers of the SMBus function, per channel.
constexpr uint8_t kChannelBar[2] = {0x20, 0x24};   // BAR4, BAR5: I/O bases
constexpr uint8_t kChannelWord[2] = {0x50, 0x54};  // the bases on parts whose BAR reads 0
constexpr uint32_t kIoBaseMask = 0xFFFC;           // bits 1-0 are the I/O space flags
constexpr uint32_t kBarIoSpace = 0x01;             // the BAR is an I/O BAR
constexpr uint8_t kCommandRegister = 0x04;
constexpr uint32_t kCommandIoSpace = 0x01;  // the function decodes its I/O BARs

// The I/O base of channel 0 (channel 1) or 1 (channel 2); 0 when the BIOS
// programmed none or the BAR is a memory BAR.
uint32_t ChannelBase(PciLocation function, uint32_t channel);

// The family's object: the MCPs after the nForce2. Its acquire chooses the
// channel (channel 2 not touched where the board forbids it) and installs
// the nVidia 0x0064 transfer on its base; -1 (controller untouched, no port
// touched) when no base is usable or the context cannot be allocated.
extern const SmbusBackend kNvidiaMcpBackend;

// The MCPs' descriptor, for the boards that forbid channel 2.
extern const ChipDescriptor kMcpChip;

}  // namespace nvidia_mcp
