# The sources of the tool's Windows target: the installed driver through the
# Windows transport, its service through the Service Control Manager (and the
# installed driver file's version through the PE reader). The nt
# build makes dimmio.exe of them; the host build's tests compile them against
# the test bed's stand-in for the Win32 calls (tests/support/win32).
set(DIMMIO_CLI_WINDOWS_SOURCES
  ${PROJECT_SOURCE_DIR}/tools/dimmio/windows_target.cpp
  ${PROJECT_SOURCE_DIR}/tools/dimmio/windows_service.cpp
  ${PROJECT_SOURCE_DIR}/tools/dimmio/windows_bus_locks.cpp
  ${PROJECT_SOURCE_DIR}/tools/dimmio/windows_files.cpp
  ${PROJECT_SOURCE_DIR}/tools/dimmio/sha256.cpp
  ${PROJECT_SOURCE_DIR}/client/windows/windows_transport.cpp
  ${PROJECT_SOURCE_DIR}/tools/pe/pe_file.cpp)
