# CLI11 and nlohmann-json for a cross build. Both are header-only; the
# target's sysroot has neither, and the cross compiler must not see all of the
# build machine's /usr/include, so the build tree gets an include directory
# holding just their headers, copied from the build machine's packages.
find_path(DIMMIO_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(DIMMIO_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(DIMMIO_HEADER_LIBRARIES ${PROJECT_BINARY_DIR}/header-libraries/include)
file(COPY ${DIMMIO_CLI11_INCLUDE}/CLI DESTINATION ${DIMMIO_HEADER_LIBRARIES})
file(COPY ${DIMMIO_JSON_INCLUDE}/nlohmann DESTINATION ${DIMMIO_HEADER_LIBRARIES})

foreach(library CLI11::CLI11 nlohmann_json::nlohmann_json)
  if(NOT TARGET ${library})
    add_library(${library} INTERFACE IMPORTED)
    set_target_properties(${library} PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${DIMMIO_HEADER_LIBRARIES})
  endif()
endforeach()
