// What a chipset back-end is to discovery: a typed description of the chip
// a discovery row found (which back-end drives it, where its I/O base is,
// which bits enable its host, how segment 1 is switched), one acquire entry
// of one signature that sets the back-end up from that description, and
// the constant table of operations the entry puts into the controller.
#pragma once

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/smbus.h"

// The back-ends, in the order of discovery's registration table.
enum class BackendId : uint8_t {
  None,         // a row that only announces its chip
  Intel,        // PIIX4, ICH, ICH6 and later
  AmdNvidia,    // AMD-756/766/768, nForce 01B4
  Via,          // VIA 596, 686, VT8231, VT8233/5 and the later VIA bridges
  Nvidia0064,   // nForce2
  Sis,          // SiS 5595
  I2c,          // the bit-banged bus of the SiS 96x and VIA 586B
  Ali,          // ALi M7101 next to an M1533
  NvidiaMcp,    // the later nVidia MCPs: two channels
  AliM1563,     // ALi/ULi M1563
  Piix4Compat,  // ServerWorks and ATI/AMD
  Sis630,       // SiS 630/730 and 760/964
  Count,
};

// How segment 1 reaches the second bank of modules.
enum class SegmentSwitch : uint8_t {
  None,         // every SPD on one bus
  BoardLatch,   // bits 4-3 of the board latch at port 0xE437
  SuperIo,      // bits 4-3 of register 0xF1 of the Super I/O's logical device 8
  Gpo596,       // bit 3 of the VIA 596's general-purpose outputs at port 0xE44F
  Gpo686,       // bit 0 of the VIA 686's outputs at port 0xE44D, bit 3 cleared with it
  M7101Config,  // bits 5-6 of the ALi M7101's configuration dword 0xB8
};

// What an Intel-layout host has beyond the PIIX4 register block.
enum HostFeature : uint8_t {
  kHostPlain = 0,
  kHostInUseSemaphore = 1u << 0,  // INUSE_STS in the status register (every ICH)
  kHostConfigByte = 1u << 1,      // the host configuration byte 0x40 (ICH6 and later)
  // The auxiliary control at +0x0D (packet error checking, the 32-byte
  // buffer): ICH4 and later.
  kHostAuxControl = 1u << 2,
};

struct ChipDescriptor {
  BackendId Backend;
  uint8_t BaseRegister;    // configuration dword holding the I/O base; 0: the back-end finds it
  uint32_t BaseMask;
  uint32_t BaseSubtract;   // taken off after masking (unsigned 32-bit)
  // A configuration byte whose EnableBits must all be set for the host to
  // answer; with one clear the back-end is not set up (no port touched).
  uint8_t EnableRegister;
  uint8_t EnableBits;      // 0: nothing to check
  SegmentSwitch Segments;
  uint8_t Features;        // HostFeature bits
  int32_t Model;           // the back-end's own named chip constant (pin driver, chip family)
};

// Every back-end's one entry: the chip, the PCI function it was found at,
// and the I/O base discovery read for it (from the chip's base register, or
// by the SiS and ALi decisions; 0 for a back-end that finds its own). 0
// installed, -1 not (controller untouched).
using AcquireChipFn = int32_t (*)(SmbusController* controller, const ChipDescriptor& chip,
                                  PciLocation function, uint32_t ioBase);

// The operations a back-end puts into the controller's slots.
struct SmbusOps {
  SmbusReadByteFn ReadByte;
  SmbusReadWordFn ReadWord;
  SmbusWriteByteFn WriteByte;
  SmbusReleaseFn ReleaseDevice;
  SmbusSegmentFn SelectSegment;    // null: no segment switch
  SmbusSegmentFn DeselectSegment;
  SmbusSendByteFn SendByte = nullptr;  // null: no send / receive byte (no DDR4 pages)
  SmbusReceiveByteFn ReceiveByte = nullptr;
};

inline void InstallOps(SmbusController* controller, void* context, const SmbusOps& ops) {
  controller->Context = context;
  controller->ReadByte = ops.ReadByte;
  controller->ReadWord = ops.ReadWord;
  controller->WriteByte = ops.WriteByte;
  controller->ReleaseDevice = ops.ReleaseDevice;
  controller->SelectSegment = ops.SelectSegment;
  controller->DeselectSegment = ops.DeselectSegment;
  controller->SendByte = ops.SendByte;
  controller->ReceiveByte = ops.ReceiveByte;
}
