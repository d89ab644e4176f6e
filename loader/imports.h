// The kernel and HAL calls a driver image may import, each bound by name to
// a host function with the kernel's x86 calling convention.
#pragma once

#include <string>

namespace loader {

struct KnownImport {
  const char* module;  // the module the kernel exports it from
  const char* name;
  const void* function;
};

// Null when the loader does not implement `name`.
const KnownImport* FindImport(const std::string& name);

}  // namespace loader
