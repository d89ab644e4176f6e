# 32-bit x86 Linux programs with the host's g++ (multilib): the loader that
# runs the driver image, and the simulated machine it runs it on.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
# Kernels without 32-bit support run the programs under QEMU's user-mode emulator.
find_program(DIMMIO_QEMU_I386 qemu-i386)
