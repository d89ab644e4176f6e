# 64-bit Windows: the dimmio tool alone, the same sources as the 32-bit
# dimmio.exe, for running its Win32 code under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DIMMIO_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
