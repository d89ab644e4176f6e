// The start of the image: the multiboot header the loader looks for in the
// first 8 KB, the entry point with its stack, and the hand-over to the
// program. The loader enters in 32-bit protected mode with flat segments,
// paging off and interrupts off; nothing here turns any of that on.
#include <stdint.h>

#include "platform/baremetal/baremetal.h"
#include "platform/baremetal/console.h"
#include "platform/baremetal/io.h"

namespace {

constexpr uint32_t kMultibootMagic = 0x1BADB002u;  // the header's signature
constexpr uint32_t kMultibootFlags = 0;            // ELF image, nothing asked of the loader

struct MultibootHeader {
  uint32_t Magic;
  uint32_t Flags;
  uint32_t Checksum;  // magic + flags + checksum == 0
};

constexpr uint16_t kDebugExitPort = 0xF4;  // QEMU's isa-debug-exit, iobase 0xf4

}  // namespace

// The linker script puts .multiboot first in the image.
__attribute__((used, section(".multiboot"), aligned(4))) const MultibootHeader g_multibootHeader = {
    kMultibootMagic, kMultibootFlags, 0u - kMultibootMagic - kMultibootFlags};

// Zeroes .bss (the loader should, but it costs nothing to be sure), sets up
// the stack and calls BareMetalStart(magic, info). EAX and EBX hold the
// loader's magic and information pointer; the fill uses EAX, ECX and EDI.
asm(R"(
    .pushsection .bss.stack, "aw", @nobits
    .balign 16
boot_stack_bottom:
    .skip 65536
boot_stack_top:
    .popsection

    .pushsection .text.boot, "ax", @progbits
    .global _start
    .type _start, @function
_start:
    cli
    cld
    movl %eax, %edx
    movl %ebx, %esi
    movl $__bss_start, %edi
    movl $__bss_end, %ecx
    subl %edi, %ecx
    xorl %eax, %eax
    rep stosb
    movl $boot_stack_top, %esp
    xorl %ebp, %ebp
    subl $8, %esp
    pushl %esi
    pushl %edx
    call BareMetalStart
1:  cli
    hlt
    jmp 1b
    .size _start, . - _start
    .popsection
)");

extern "C" [[noreturn]] void BareMetalStart(uint32_t loaderMagic, uint32_t) {
  baremetal::ConsoleInit();
  if (loaderMagic != baremetal::kMultibootLoaderMagic) {
    baremetal::ConsolePrint("boot: loader magic %08X, not a multiboot loader\n", loaderMagic);
  }
  const int result = BareMetalMain();
  baremetal::ExitEmulator(static_cast<uint32_t>(result));
}

namespace baremetal {

void ExitEmulator(uint32_t code) {
  Out32(kDebugExitPort, code);
  for (;;) asm volatile("cli; hlt");
}

}  // namespace baremetal
