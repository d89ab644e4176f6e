# Warnings are errors on every compiler the project builds with (the resource
# compiler takes no such options).
add_compile_options("$<$<NOT:$<COMPILE_LANGUAGE:RC>>:-Wall;-Wextra;-Werror>")

# What the driver image may contain: no exceptions, no RTTI, no guarded
# statics (no static constructors at all), nothing from the C++ runtime.
add_library(dimmio_kernel_flags INTERFACE)
target_compile_options(dimmio_kernel_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)

# Sanitizers for a whole build tree: DIMMIO_SANITIZE=address,undefined or thread.
set(DIMMIO_SANITIZE "" CACHE STRING "Sanitizers for the whole build tree")
if(DIMMIO_SANITIZE)
  add_compile_options(-fsanitize=${DIMMIO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${DIMMIO_SANITIZE})
endif()

# The driver image is freestanding: no hosted library behind the compiler, and
# no unwind tables since nothing unwinds.
if(DIMMIO_PLATFORM MATCHES "^nt(64)?$")
  target_compile_options(dimmio_kernel_flags INTERFACE
    -ffreestanding -fno-asynchronous-unwind-tables)
endif()

# The Windows images are the same bytes whenever and wherever they are built:
# no link time in the PE headers, and no path of this machine in the code
# (__FILE__ and the like name files relative to the source and build trees).
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(
    "$<$<NOT:$<COMPILE_LANGUAGE:RC>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.;-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
endif()
