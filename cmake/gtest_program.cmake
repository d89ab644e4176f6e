# dimmio_gtest(TARGET [PREFIX p] [LABELS l...] [SHARDS n]): a GoogleTest
# program as CTest tests. The program runs whole, in one process: starting a
# process per case cost far more than the cases themselves (a third of a
# second each under qemu-i386 and the sanitizers, against milliseconds for
# most cases). SHARDS splits it into that many parts (GoogleTest's own
# sharding, every case in exactly one part) that CTest runs side by side.
function(dimmio_gtest target)
  cmake_parse_arguments(G "" "PREFIX;SHARDS" "LABELS" ${ARGN})
  if(NOT G_SHARDS)
    set(G_SHARDS 1)
  endif()
  math(EXPR last "${G_SHARDS} - 1")
  foreach(shard RANGE ${last})
    set(test ${G_PREFIX}${target})
    if(G_SHARDS GREATER 1)
      string(APPEND test ".${shard}")
    endif()
    add_test(NAME ${test} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${test} PROPERTIES LABELS "${G_LABELS}" TIMEOUT 900
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${G_SHARDS};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endfunction()
