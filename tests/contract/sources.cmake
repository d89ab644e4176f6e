# The contract tests of the request path: one source list, built once per
# build against that build's driver under test (MakeDriverUnderTest).
set(DIMMIO_CONTRACT_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/checks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/envelopes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/queue_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spd_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fault_matrix_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reply_bytes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/piix4_compat_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/access_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/firmware_test.cpp
)
