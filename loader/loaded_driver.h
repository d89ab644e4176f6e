// A 32-bit x86 driver image loaded into the host kernel: its sections mapped
// somewhere other than its preferred base (so that the base relocations are
// applied), every import bound by name to the host function of the same
// name, and a driver object. Start() runs its entry point; Unload() its
// unload routine, after which nothing of it may remain in the kernel.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "loader/kernel.h"

namespace loader {

class LoadedDriver {
 public:
  // Null with `error` naming what is wrong: not an image the loader can
  // place, or an import it does not implement (by name and module).
  static std::unique_ptr<LoadedDriver> Load(Kernel& kernel, const std::string& path,
                                            std::string* error);
  ~LoadedDriver();
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;

  // Calls the entry point as the platform's thread does, with the driver
  // object and a registry path.
  int32_t Start();
  // Calls the unload routine the driver installed, once no handle the kernel
  // opened is left open (the stop waits until then); false when it installed
  // none.
  bool Unload();

  nt::DriverObject* Driver() { return &driver_; }

 private:
  explicit LoadedDriver(Kernel& kernel) : kernel_(kernel) {}
  // Maps, relocates and binds the image; false with `error` set.
  bool Place(const std::vector<uint8_t>& file, std::string* error);
  bool Relocate(uint32_t rva, uint32_t size, uint32_t preferredBase, std::string* error);
  bool InImage(uint32_t rva, uint32_t length) const;

  Kernel& kernel_;
  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  uint32_t entryRva_ = 0;
  nt::DriverObject driver_{};
  std::u16string registryPath_;
  nt::UnicodeString registryString_{};
  std::u16string driverName_;
};

}  // namespace loader
