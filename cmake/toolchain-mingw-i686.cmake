# 32-bit Windows: the kernel driver image and dimmio.exe, the dimmio tool.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(DIMMIO_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
