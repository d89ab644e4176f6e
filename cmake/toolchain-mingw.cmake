# Cross build for Windows with Debian's mingw-w64 compilers. The toolchain
# file of each target (toolchain-mingw-i686.cmake, toolchain-mingw-x86_64.cmake)
# names the processor and the compiler prefix, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${DIMMIO_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${DIMMIO_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${DIMMIO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DIMMIO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CMake would append the Win32 user-mode libraries to every link line; the
# compiler driver already links what a user-mode program needs, and the driver
# image must not see them at all.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
