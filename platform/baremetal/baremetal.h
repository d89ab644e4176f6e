// What the bare-metal image offers the program it carries, and what that
// program provides: BareMetalMain, called once the console is up.
#pragma once

#include <stdint.h>

// Provided by the program linked into the image; its result ends QEMU
// through the isa-debug-exit device (exit status (result << 1) | 1).
int BareMetalMain();

namespace baremetal {

// Multiboot's handshake: the value a compliant loader leaves in EAX.
constexpr uint32_t kMultibootLoaderMagic = 0x2BADB002u;

struct PoolUsage {
  uint32_t LiveBlocks;
  uint32_t LiveBytes;
  uint32_t PeakBytes;
  uint32_t BadFrees;
  uint32_t OpenMappings;  // MapPhysical calls not yet matched by UnmapPhysical
};

PoolUsage CurrentPoolUsage();

// Symbolic links the driver created and has not deleted.
uint32_t OpenLinks();

// Ends the emulator through the isa-debug-exit device at port 0xF4; on a
// machine without one, halts for good.
[[noreturn]] void ExitEmulator(uint32_t code);

}  // namespace baremetal
