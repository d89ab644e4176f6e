# The bare-metal image: a 32-bit, freestanding, statically linked ELF that a
# multiboot loader (QEMU's -kernel) starts in protected mode with paging off.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

# No floating point and no vector registers: nothing saves or sets them up.
set(_dimmio_baremetal_flags
    "-m32 -ffreestanding -fno-pie -fno-stack-protector -fno-asynchronous-unwind-tables -fcf-protection=none -mgeneral-regs-only")
set(CMAKE_C_FLAGS_INIT "${_dimmio_baremetal_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_dimmio_baremetal_flags} -fno-exceptions -fno-rtti")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-m32 -nostdlib -static -no-pie -Wl,--build-id=none -Wl,-z,max-page-size=0x1000")

# The compiler checks cannot link a hosted program here.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
